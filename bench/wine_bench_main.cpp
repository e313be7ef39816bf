// The report side of the benchmarks under Wine (the registry side is kelvra_registry_bench):
//   kelvra_wine_bench report RUNS         median time of one complete report run, in ms
//   kelvra_wine_bench soak RUNS           what the process holds after RUNS report runs
// Each report run starts the program once more as its probe (platform/library_probe.h).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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
    if (args.size() == 1 && args[0] == platform::library_probe::kProbeArgument) {
        return platform::library_probe::Serve();  // the report runs' probe
    }
    if (args.size() == 2 && args[0] == "probe") {
        const int runs = std::max(1, std::atoi(args[1].c_str()));
        std::vector<double> times;
        for (int run = 0; run < runs; ++run) {
            const auto start = Clock::now();
            {
                platform::library_probe::Probe probe;
                (void)probe.LoadLibrary("kernel32.dll");
                std::printf("first %.1f\n", MillisecondsSince(start));
                auto t = Clock::now();
                for (int i = 0; i < 50; ++i)
                    (void)probe.LoadLibrary("kernel32.dll");
                std::printf("50 loaded %.1f\n", MillisecondsSince(t));
                t = Clock::now();
                for (int i = 0; i < 50; ++i)
                    (void)probe.LoadLibrary("nowhere_at_all.dll");
                std::printf("50 missing %.1f\n", MillisecondsSince(t));
                t = Clock::now();
                for (int i = 0; i < 50; ++i)
                    (void)probe.FindFileInPath("nowhere_at_all.dll", std::string(1024, ' '));
                std::printf("50 find %.1f\n", MillisecondsSince(t));
            }
            times.push_back(MillisecondsSince(start));
        }
        std::sort(times.begin(), times.end());
        std::printf("probe_median_ms %.3f\n", times[times.size() / 2]);
        return 0;
    }
    if (args.size() == 2 && args[0] == "report") {
        return Report(std::max(1, std::atoi(args[1].c_str())));
    }
    if (args.size() == 2 && args[0] == "soak") {
        return Soak(std::max(21, std::atoi(args[1].c_str())));
    }
    std::fprintf(stderr, "usage: kelvra_wine_bench report|soak RUNS\n");
    return 2;
}
