// Form1, the report window's logic: every paint runs the whole "System Files verification"
// and puts the report on the window, into "DLLver.log" and into the report text that
// "Copy Text" puts on the clipboard.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "fileinfo/dll_version.h"
#include "pathcheck/path_table.h"
#include "platform/runtime.h"
#include "platform/scripting.h"
#include "platform/window.h"
#include "report/column_layout.h"

namespace report {

inline constexpr std::string_view kLogFileName = "DLLver.log";
inline constexpr std::string_view kReportTitlePrefix = "  Kelvra System Files verification ";
inline constexpr std::string_view kFileSectionTitlePrefix = "  File version verification ";
inline constexpr std::string_view kLogColumnHeader = "  File,Reg_Info,Date,Size,Version";
inline constexpr std::string_view kCopyFailedMessage =
    "The report could not be copied to the clipboard.";
inline constexpr int kPassCount = 20;

// A title line: the prefix, the date, " on " and the name of the running Windows version.
std::string TitleLine(std::string_view prefix, std::string_view date, std::string_view osName);

class Form1 final : public platform::window::FormEvents {
  public:
    Form1() = default;  // the window's file system object is its member

    // One complete report run.
    void Paint(platform::window::Surface& surface) override;
    void CopyTextClicked() override;
    void DoneClicked() override;

    // The report text of the latest run: lines separated by CR alone.
    [[nodiscard]] const std::string& ReportText() const { return reportText_; }

  private:
    // What one run shares between its steps and passes.
    struct Run {
        platform::window::Surface& surface;
        fileinfo::CDLLVersion version;
        ColumnPositions columns;
        std::unique_ptr<platform::runtime::OutputFile> log;
    };

    void DrawTitleAndHeader(Run& run);
    void DrawSeparator(Run& run);
    void WriteFileSectionHeading(Run& run);
    void RunPass(Run& run, int pass);
    void AppendLine(std::string_view line);

    platform::scripting::FileSystemObject fileSystem_;
    std::string reportText_;
    std::string installFolder_;
    // Built at the first run and kept for the window's life.
    pathcheck::PathFolderTable pathTable_;
};

}  // namespace report
