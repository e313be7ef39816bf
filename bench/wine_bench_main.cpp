// The report side of the benchmarks under Wine (the registry side is kelvra_registry_bench):
//   kelvra_wine_bench report RUNS         median time of one complete report run, in ms
//   kelvra_wine_bench soak RUNS           what the process holds after RUNS report runs
//   kelvra_wine_bench walk PATH RUNS      median time of the walk of one copy's imports, in ms
// Each report run starts the program once more as its probe (platform/library_probe.h).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fileinfo/file_locator.h"
#include "platform/library_probe.h"
#include "platform/process_stats.h"
#include "platform/window.h"
#include "platform/window_layout.h"
#include "registry/registry_access.h"
#include "report/verification_report.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int Report(int runs) {
    report::VerificationReport report;
    const auto surface = platform::window::CreateOffscreenSurface(
        platform::window::kDesignWindowWidthTwips, platform::window::kDesignClientHeightTwips);
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        report.Run(*surface);
        times.push_back(MillisecondsSince(start));
    }
    std::sort(times.begin(), times.end());
    std::printf("report_run_median_ms %.3f\n", times[times.size() / 2]);
    std::printf("probes_started_per_run %.2f\n",
                static_cast<double>(platform::library_probe::ProbesStarted()) / runs);
    return 0;
}

void PrintResources(const char* label, const platform::process::Resources& r) {
    std::printf("%s handles=%u gdi=%u user=%u private_kb=%llu heap_in_use_kb=%llu\n", label,
                r.handles, r.gdiObjects, r.userObjects,
                static_cast<unsigned long long>(r.privateBytes / 1024),
                static_cast<unsigned long long>(r.heapBytesInUse / 1024));
}

// The walk of the imports of the copy at `path` as one run makes it: every DLL it reaches read
// once into its record, and the search folders listed once.
int Walk(const std::string& path, int runs) {
    std::vector<double> times;
    bool broken = false;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        fileinfo::FileLocator locator;
        broken = locator.WalkOf(path).brokenLink.has_value();
        times.push_back(MillisecondsSince(start));
    }
    std::sort(times.begin(), times.end());
    std::printf("walk_median_ms %.3f\n", times[times.size() / 2]);
    std::printf("broken_link %s\n", broken ? "yes" : "no");
    return 0;
}

int Soak(int runs) {
    report::VerificationReport report;
    const auto surface = platform::window::CreateOffscreenSurface(
        platform::window::kDesignWindowWidthTwips, platform::window::kDesignClientHeightTwips);
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
    if (args.size() == 1 && args[0] == platform::library_probe::kProbeArgument) {
        return platform::library_probe::Serve();  // the report runs' probe
    }
    if (args.size() == 2 && args[0] == "report") {
        return Report(std::max(1, std::atoi(args[1].c_str())));
    }
    if (args.size() == 2 && args[0] == "soak") {
        return Soak(std::max(21, std::atoi(args[1].c_str())));
    }
    if (args.size() == 3 && args[0] == "walk") {
        return Walk(args[1], std::max(1, std::atoi(args[2].c_str())));
    }
    std::fprintf(stderr, "usage: kelvra_wine_bench report|soak RUNS, or walk PATH RUNS\n");
    return 2;
}
