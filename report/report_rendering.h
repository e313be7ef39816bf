// The outputs of a run, each made from the run's model alone: the drawing on a surface (the
// window shows it), the report text that "Copy Text" puts on the clipboard, and the lines of
// "DLLver.log". The JSON is the fourth (json_report.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/window.h"
#include "report/report_facts.h"

namespace report {

inline constexpr std::string_view kReportTitlePrefix = "  Kelvra System Files verification ";
inline constexpr std::string_view kFileSectionTitlePrefix = "  File version verification ";
inline constexpr std::string_view kLogColumnHeader = "  File,Reg_Info,Date,Size,Version";

// A step of a run, or a part of its drawing, that fails is skipped without a trace on the
// report, and the run goes on. False when it failed.
template <typename Step>
bool SkipOnFailure(Step&& step) noexcept {
    try {
        step();
        return true;
    } catch (...) {  // NOLINT(bugprone-empty-catch): skipping is the run's rule
        return false;
    }
}

// Clears the surface and draws the report: the title and the column header, the separator,
// the rows, the install folder checks and the blocks after the PATH block. A part that
// cannot be drawn is skipped, as every step of a run is; the passes whose part that was are
// returned.
std::vector<int> DrawReport(platform::window::Surface& surface, const ReportFacts& facts);

// The report text: the title with the column names after TABs, the file section heading, one
// result line per row, the install folder lines and the blocks after the PATH block; lines
// are separated by CR alone.
std::string ReportText(const ReportFacts& facts);

// What "DLLver.log" receives: the file section heading, an empty line and the column header.
std::vector<std::string> LogLines(const ReportFacts& facts);

}  // namespace report
