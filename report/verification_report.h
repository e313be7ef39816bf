// One complete "System Files verification": the report drawn on a surface, the three lines
// that head the file table written to "DLLver.log", and the report text that "Copy Text"
// puts on the clipboard. No window is needed: the window shows a run's drawing, and any
// other caller may run it onto an off-screen surface of its own.
#pragma once

#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>

#include "fileinfo/dll_version.h"
#include "pathcheck/path_table.h"
#include "platform/runtime.h"
#include "platform/scripting.h"
#include "platform/window.h"
#include "report/column_layout.h"
#include "report/json_report.h"

namespace report {

inline constexpr std::string_view kLogFileName = "DLLver.log";
inline constexpr std::string_view kReportTitlePrefix = "  Kelvra System Files verification ";
inline constexpr std::string_view kFileSectionTitlePrefix = "  File version verification ";
inline constexpr std::string_view kLogColumnHeader = "  File,Reg_Info,Date,Size,Version";
inline constexpr int kPassCount = 20;

// A title line: the prefix, the date, " on " and the name of the running Windows version.
std::string TitleLine(std::string_view prefix, std::string_view date, std::string_view osName);

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
        int timeoutSeconds = 10;
        // A person may be reading a box that the code shows: the time does not run out then.
        bool waitWhileStartUpShowsWindow = false;
    };

    // The file system object is its member.
    VerificationReport() = default;
    explicit VerificationReport(Settings settings) : settings_(settings) {}

    // One complete run: clears `surface` and draws the report on it, rewrites the log file
    // and returns the report text, whose lines are separated by CR alone. `progress` is told
    // at the start of every pass and when a file's start-up code starts or stops showing a
    // window, on the calling thread. Once `stop` is requested, the files still to be checked
    // are not loaded and the run ends soon.
    std::string Run(platform::window::Surface& surface, const ProgressCallback& progress = {},
                    std::stop_token stop = {});

    // What the latest run found, row by row (empty before the first run). A run without a
    // window reports it; the texts of its message boxes are not among them.
    [[nodiscard]] const ReportFacts& Facts() const { return facts_; }

  private:
    // What one run shares between its steps and passes.
    struct RunState {
        platform::window::Surface& surface;
        fileinfo::CDLLVersion version;
        ColumnPositions columns;
        std::unique_ptr<platform::runtime::OutputFile> log;
        std::string text;
        ReportFacts facts;
    };

    void DrawTitleAndHeader(RunState& run);
    static void DrawSeparator(RunState& run);
    static void WriteFileSectionHeading(RunState& run);
    void RunPass(RunState& run, int pass);
    static void AppendLine(RunState& run, std::string_view line);
    static void RecordFileRow(RunState& run, int pass, std::string_view line);

    Settings settings_;
    platform::scripting::FileSystemObject fileSystem_;
    std::string installFolder_;
    // Built at the first run and kept for the object's life.
    pathcheck::PathFolderTable pathTable_;
    ReportFacts facts_;
};

}  // namespace report
