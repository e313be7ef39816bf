#include "report/report_rendering.h"

#include <array>

#include "report/column_layout.h"
#include "report/file_table.h"
#include "report/install_folder_checks.h"
#include "report/report_blocks.h"

namespace report {
namespace {

constexpr char kCr = '\r';
constexpr int kInstallFolderPass = 20;

struct Column {
    std::string_view name;
    long ColumnPositions::*x;  // nullptr: the left edge
};
constexpr std::array<Column, 5> kColumns = {{{" File", nullptr},
                                             {" Reg_Info", &ColumnPositions::regInfo},
                                             {"Date", &ColumnPositions::date},
                                             {"Size", &ColumnPositions::size},
                                             {" Version", &ColumnPositions::version}}};

// A title line: the prefix, the date, " on " and the name of the running Windows version.
std::string Title(std::string_view prefix, const RunTitle& title) {
    return std::string(prefix) + platform::runtime::FormatShortDate(title.date) + " on " +
           title.osName;
}

void DrawTitleAndHeader(platform::window::Surface& s, const ColumnPositions& columns,
                        const RunTitle& title) {
    s.Print(Title(kReportTitlePrefix, title), true);
    s.Print("", true);
    for (const Column& column : kColumns) {
        if (column.x != nullptr && columns.*column.x != 0) {
            s.SetCurrentX(static_cast<double>(columns.*column.x));
        }
        s.Print(column.name, false);
    }
    s.Print("", true);
    s.Print("", true);
}

void DrawSeparator(platform::window::Surface& s) {
    const double width = s.Width();
    s.Line(0, s.CurrentY(), width, 0, platform::window::kButtonShadow);
    s.SetCurrentY(s.CurrentY() + s.TwipsPerPixelY());
    s.Line(0, s.CurrentY(), width, 0, platform::window::k3DHighlight);
    s.SetCurrentX(0);
    s.SetCurrentY(s.TwipsPerPixelY() * 4 + s.CurrentY());
}

// The blocks after the PATH block one after another, as the report text and the drawing
// carry them: each is set off by an empty line before its heading.
std::string BlocksAfterPathText(const ReportFacts& facts) {
    std::string text;
    bool emptyLineBefore = facts.pathReport.ends_with("\r\r");
    for (const BlockAfterPath& block : kBlocksAfterPath) {
        const std::string blockText = block.text(facts);
        if (blockText.empty()) {
            continue;
        }
        if (!emptyLineBefore) {
            text += kCr;
        }
        text += blockText;
        emptyLineBefore = blockText.ends_with("\r\r");
    }
    return text;
}

// The install folder checks and the blocks after the PATH block, where it ended.
void DrawInstallFolderPass(platform::window::Surface& surface, const ReportFacts& facts) {
    DrawInstallFolderChecks(surface, facts);
    if (const std::string blocks = BlocksAfterPathText(facts); !blocks.empty()) {
        surface.Print(blocks, false);
    }
}

}  // namespace

std::vector<int> DrawReport(platform::window::Surface& surface, const ReportFacts& facts) {
    std::vector<int> failedPasses;
    ColumnPositions columns;
    SkipOnFailure([&] { surface.Cls(); });
    SkipOnFailure([&] { columns = ComputeColumnPositions(surface.Width()); });
    if (facts.title) {
        SkipOnFailure([&] { DrawTitleAndHeader(surface, columns, *facts.title); });
    }
    SkipOnFailure([&] { DrawSeparator(surface); });
    for (const FileRowRecord& row : facts.files) {
        if (!SkipOnFailure([&] { DrawFileRow(surface, columns, row); })) {
            failedPasses.push_back(PassOfRow(row));
        }
    }
    if (facts.installFolderChecked &&
        !SkipOnFailure([&] { DrawInstallFolderPass(surface, facts); })) {
        failedPasses.push_back(kInstallFolderPass);
    }
    return failedPasses;
}

std::string ReportText(const ReportFacts& facts) {
    std::string text;
    if (facts.title) {
        text = Title(kReportTitlePrefix, *facts.title);
        for (const Column& column : kColumns) {
            text += '\t';
            text += column.name;
        }
        text += kCr;
        for (const std::string& line : LogLines(facts)) {  // the file section's heading
            text += kCr + line;
        }
    }
    for (const FileRowRecord& row : facts.files) {
        text += kCr + FileRowLine(row);
    }
    if (facts.installFolderChecked) {
        text += kCr + InstallFolderMessage(facts.installFolder.exists);
        text += kCr + facts.pathReport;
        text += BlocksAfterPathText(facts);
    }
    return text;
}

std::vector<std::string> LogLines(const ReportFacts& facts) {
    if (!facts.title) {
        return {};
    }
    return {Title(kFileSectionTitlePrefix, *facts.title), "", std::string(kLogColumnHeader)};
}

}  // namespace report
