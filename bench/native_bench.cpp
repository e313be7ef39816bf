// Benchmarks on the simulated platform: one complete report run, and the export and import
// of a generated registry tree in both forms of the script (values per second).
#include <benchmark/benchmark.h>

#include "bench/tree_generator.h"
#include "platform/runtime.h"
#include "platform/sim/machine.h"
#include "registry/registry_access.h"
#include "report/verification_report.h"

namespace {

constexpr const char* kTree = "Software\\KelvraBench";

void BM_ReportRun(benchmark::State& state) {
    platform::sim::Reset();
    report::VerificationReport report;
    platform::sim::RecordingSurface surface(platform::window::kDesignWindowWidthTwips);
    for (auto _ : state) {
        const std::string text = report.Run(surface);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_ReportRun)->Unit(benchmark::kMicrosecond);

void BM_ExportTree(benchmark::State& state, registry::RegScriptForm form) {
    platform::sim::Reset();
    const auto values = kelvra::bench::GenerateTree(kTree, {}, 1);
    registry::clsRegistryAccess registry;
    for (auto _ : state) {
        platform::runtime::DeleteFile("C:\\bench.reg");
        if (registry.ExportToReg(std::string("HKCU\\") + kTree, "C:\\bench.reg", true, {}, {},
                                 form) != 1) {
            state.SkipWithError("export failed");
        }
    }
    state.SetItemsProcessed(state.iterations() * values);
    state.counters["file_MB"] =
        static_cast<double>(platform::runtime::FileLen("C:\\bench.reg").value_or(0)) / 1e6;
}
BENCHMARK_CAPTURE(BM_ExportTree, regedit4, registry::RegScriptForm::kRegedit4)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportTree, unicode, registry::RegScriptForm::kUnicode)
    ->Unit(benchmark::kMillisecond);

void BM_ImportTree(benchmark::State& state, registry::RegScriptForm form) {
    platform::sim::Reset();
    const auto values = kelvra::bench::GenerateTree(kTree, {}, 1);
    registry::clsRegistryAccess registry;
    registry.ExportToReg(std::string("HKCU\\") + kTree, "C:\\bench.reg", true, {}, {}, form);
    for (auto _ : state) {
        state.PauseTiming();
        kelvra::bench::DeleteTree(kTree);
        state.ResumeTiming();
        if (registry.ImportFromReg("C:\\bench.reg") != 1) {
            state.SkipWithError("import failed");
        }
    }
    state.SetItemsProcessed(state.iterations() * values);
}
BENCHMARK_CAPTURE(BM_ImportTree, regedit4, registry::RegScriptForm::kRegedit4)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportTree, unicode, registry::RegScriptForm::kUnicode)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
