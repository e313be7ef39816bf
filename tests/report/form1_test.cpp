// The report run's frame on the platform at hand: the report text, the log file, the
// clipboard and the column positions.
#include "report/form1.h"

#include <gtest/gtest.h>

#include "fileinfo/dll_version.h"
#include "platform/runtime.h"
#include "platform/window.h"
#include "support/scratch_folder.h"

namespace {

using kelvra::test::ScratchFolder;

std::unique_ptr<platform::window::Surface> ReportSurface() {
    return platform::window::CreateOffscreenSurface(16800, 13290);
}

// The title lines as this machine words them now.
std::string Title(std::string_view prefix) {
    return report::TitleLine(prefix,
                             platform::runtime::FormatShortDate(platform::runtime::Now()),
                             fileinfo::CDLLVersion{}.GetOSVersion());
}

std::string ExpectedLog() {
    return Title(report::kFileSectionTitlePrefix) + "\r\n\r\n  File,Reg_Info,Date,Size,Version\r\n";
}

// The report text up to the first result line.
std::string ExpectedReportHead() {
    return Title(report::kReportTitlePrefix) + "\t File\t Reg_Info\tDate\tSize\t Version\r\r" +
           Title(report::kFileSectionTitlePrefix) + "\r\r  File,Reg_Info,Date,Size,Version";
}

TEST(ColumnPositions, FollowTheWidthWithHalvesToEven) {
    const auto a = report::ComputeColumnPositions(16800);
    EXPECT_EQ(a.regInfo, 6720);
    EXPECT_EQ(a.date, 8400);
    EXPECT_EQ(a.size, 10920);
    EXPECT_EQ(a.version, 14280);
    const auto b = report::ComputeColumnPositions(16815);
    EXPECT_EQ(b.regInfo, 6726);
    EXPECT_EQ(b.date, 8408);  // 8407.5
    EXPECT_EQ(b.size, 10930);
    EXPECT_EQ(b.version, 14293);
    EXPECT_EQ(report::RoundHalfEven(2.5), 2);
    EXPECT_EQ(report::RoundHalfEven(3.5), 4);
    EXPECT_EQ(report::RoundHalfEven(-0.5), 0);
}

TEST(ReportRun, WritesTheLogAndTheReportTextHead) {
    ScratchFolder folder;
    report::Form1 form;
    form.Paint(*ReportSurface());
    EXPECT_EQ(form.ReportText().substr(0, ExpectedReportHead().size()), ExpectedReportHead());
    EXPECT_EQ(form.ReportText().find('\n'), std::string::npos) << "lines end in CR alone";
    EXPECT_EQ(platform::runtime::ReadFileBytes(folder / "DLLver.log"), ExpectedLog());
}

TEST(ReportRun, ASecondRunReplacesTheLogAndTheText) {
    ScratchFolder folder;
    ASSERT_TRUE(platform::runtime::WriteFileBytes(folder / "DLLver.log", "old content\r\n"));
    report::Form1 form;
    form.Paint(*ReportSurface());
    const std::string first = form.ReportText();
    form.Paint(*ReportSurface());
    EXPECT_EQ(form.ReportText(), first);
    EXPECT_EQ(platform::runtime::ReadFileBytes(folder / "DLLver.log"), ExpectedLog());
}

TEST(ReportRun, GoesOnSilentlyWhenTheLogCannotBeOpened) {
    ScratchFolder folder;
    // A folder in the log file's place cannot be opened for output.
    ASSERT_TRUE(platform::runtime::CreateDirectory(folder / "DLLver.log"));
    report::Form1 form;
    form.Paint(*ReportSurface());
    EXPECT_EQ(form.ReportText().substr(0, ExpectedReportHead().size()), ExpectedReportHead());
    EXPECT_FALSE(platform::runtime::FileLen(folder / "DLLver.log").has_value());
    platform::runtime::RemoveDirectory(folder / "DLLver.log");
}

TEST(CopyText, PutsExactlyTheReportTextOnTheClipboard) {
    ScratchFolder folder;
    report::Form1 form;
    form.Paint(*ReportSurface());
    form.CopyTextClicked();
    EXPECT_EQ(platform::window::GetClipboardText(), form.ReportText());
}

TEST(CopyText, DoesNothingBeforeTheFirstRun) {
    ScratchFolder folder;
    ASSERT_TRUE(platform::window::SetClipboardText("kept"));
    report::Form1 form;
    form.CopyTextClicked();
    EXPECT_EQ(platform::window::GetClipboardText(), "kept");
}

}  // namespace
