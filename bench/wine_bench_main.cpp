// The Windows side of the benchmarks, one operation per process so that the script can time
// each (and its peak memory) the same way as Wine's own registry tools:
//   kelvra_wine_bench generate SUBKEY     write the benchmark tree below HKCU\SUBKEY
//   kelvra_wine_bench delete SUBKEY       delete it
//   kelvra_wine_bench count SUBKEY        the number of keys and values below HKCU\SUBKEY
//   kelvra_wine_bench export PATH FILE    ExportToReg
//   kelvra_wine_bench import FILE         ImportFromReg
//   kelvra_wine_bench report RUNS         median time of one complete report run, in ms
//   kelvra_wine_bench soak RUNS           what the process holds after RUNS report runs
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/tree_generator.h"
#include "platform/process_stats.h"
#include "platform/window.h"
#include "registry/registry_access.h"
#include "report/verification_report.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int Report(int runs) {
    report::VerificationReport report;
    const auto surface = platform::window::CreateOffscreenSurface(16800, 13290);
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        report.Run(*surface);
        times.push_back(MillisecondsSince(start));
    }
    std::sort(times.begin(), times.end());
    std::printf("report_run_median_ms %.3f\n", times[times.size() / 2]);
    return 0;
}

void PrintResources(const char* label, const platform::process::Resources& r) {
    std::printf("%s handles=%u gdi=%u user=%u private_kb=%llu\n", label, r.handles, r.gdiObjects,
                r.userObjects, static_cast<unsigned long long>(r.privateBytes / 1024));
}

int Soak(int runs) {
    report::VerificationReport report;
    const auto surface = platform::window::CreateOffscreenSurface(16800, 13290);
    for (int run = 0; run < 20; ++run) {
        report.Run(*surface);
    }
    PrintResources("after_20_runs", platform::process::CurrentResources());
    for (int run = 20; run < runs; ++run) {
        report.Run(*surface);
    }
    PrintResources(("after_" + std::to_string(runs) + "_runs").c_str(),
                   platform::process::CurrentResources());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "generate") {
        std::printf("values %lld\n",
                    static_cast<long long>(kelvra::bench::GenerateTree(args[1], {}, 1)));
        return 0;
    }
    if (args.size() == 2 && args[0] == "count") {
        const auto [keys, values] = kelvra::bench::CountTree(args[1]);
        std::printf("keys %lld values %lld\n", static_cast<long long>(keys),
                    static_cast<long long>(values));
        return 0;
    }
    if (args.size() == 2 && args[0] == "delete") {
        kelvra::bench::DeleteTree(args[1]);
        return 0;
    }
    registry::clsRegistryAccess registry;
    if (args.size() == 3 && args[0] == "export") {
        return registry.ExportToReg(args[1], args[2]) == 1 ? 0 : 1;
    }
    if (args.size() == 2 && args[0] == "import") {
        return registry.ImportFromReg(args[1]) == 1 ? 0 : 1;
    }
    if (args.size() == 2 && args[0] == "report") {
        return Report(std::max(1, std::atoi(args[1].c_str())));
    }
    if (args.size() == 2 && args[0] == "soak") {
        return Soak(std::max(21, std::atoi(args[1].c_str())));
    }
    std::fprintf(stderr,
                 "usage: kelvra_wine_bench generate|delete|export|import|report|soak ...\n");
    return 2;
}
