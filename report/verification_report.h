// One complete "System Files verification". A run first collects its facts into one model
// (report_facts.h): the 20 passes in order, each skipped when it fails on an error of the
// report's own. Then each output is made from that model alone (report_rendering.h): the
// drawing on a surface, the three lines that head the file table in "DLLver.log", and the
// report text that "Copy Text" puts on the clipboard. No window is needed: the window shows a
// run's drawing, and any other caller may run it onto an off-screen surface of its own.
#pragma once

#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "pathcheck/path_table.h"
#include "platform/library_probe.h"
#include "platform/scripting.h"
#include "platform/window.h"
#include "report/report_facts.h"
#include "report/report_rendering.h"

namespace report {

inline constexpr std::string_view kLogFileName = "DLLver.log";
inline constexpr int kPassCount = 20;

class VerificationReport {
  public:
    // Where a run has got to: the pass that starts (1 to 20) and, for the passes 1 to 19,
    // the file it checks, and whether that file's start-up code is showing a window.
    struct Progress {
        int pass = 0;
        std::string_view fileName;  // one of kFileList; empty for pass 20
        bool startUpWindowShown = false;
    };
    using ProgressCallback = std::function<void(const Progress&)>;

    // How the files' start-up code is given its time (it runs in a probe process).
    struct Settings {
        int timeoutSeconds = platform::library_probe::kDefaultLimitSeconds;
        // A person may be reading a box that the code shows: the time does not run out then.
        bool waitWhileStartUpShowsWindow = false;
        // With /compare: the reference the run's facts are compared with.
        std::optional<Reference> reference;
    };

    // The file system object is its member.
    VerificationReport() = default;
    explicit VerificationReport(Settings settings) : settings_(std::move(settings)) {}

    // One complete run: collects the facts, clears `surface` and draws the report on it,
    // rewrites the log file and returns the report text, whose lines are separated by CR
    // alone. `progress` is told at the start of every pass and when a file's start-up code
    // starts or stops showing a window, on the calling thread. Once `stop` is requested, the
    // files still to be checked are not loaded and the run ends soon.
    std::string Run(platform::window::Surface& surface, const ProgressCallback& progress = {},
                    std::stop_token stop = {});

    // What the latest run found (empty before the first run). A run without a window
    // reports it; the texts of its message boxes are not among them.
    [[nodiscard]] const ReportFacts& Facts() const { return facts_; }

  private:
    ReportFacts Collect(const ProgressCallback& progress, std::stop_token stop);

    Settings settings_;
    platform::scripting::FileSystemObject fileSystem_;
    // Built at the first run and kept for the object's life.
    pathcheck::PathFolderTable pathTable_;
    ReportFacts facts_;
};

}  // namespace report
