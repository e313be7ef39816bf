// The report run's frame on the platform at hand: the report text, the log file, the
// clipboard and the column positions.
#include "report/form1.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <vector>

#include "platform/runtime.h"
#include "platform/window.h"
#include "support/scratch_folder.h"

namespace {

using kelvra::test::ScratchFolder;

std::unique_ptr<platform::window::Surface> ReportSurface() {
    return platform::window::CreateOffscreenSurface(16800, 13290);
}

constexpr std::string_view kTitlePrefix = "  Kelvra System Files verification ";

// The date the title lines show: today in the user's short date format. The simulated
// machine's clock and format are fixed (8 December 2026, M/d/yyyy); on Windows the user's
// format decides, so today's day, month and year must be its numbers, in any order.
::testing::AssertionResult IsToday(const std::string& date) {
    if (kelvra::test::kSimulated) {
        return date == "12/8/2026" ? ::testing::AssertionSuccess()
                                   : ::testing::AssertionFailure() << date;
    }
    const std::time_t now = std::time(nullptr);
    const std::tm today = *std::localtime(&now);
    std::vector<int> numbers;
    std::string digits;
    for (const char c : date + " ") {
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (!digits.empty()) {
            numbers.push_back(std::stoi(digits));
            digits.clear();
        }
    }
    std::sort(numbers.begin(), numbers.end());
    std::vector<int> expected = {today.tm_mday, today.tm_mon + 1, today.tm_year + 1900};
    std::sort(expected.begin(), expected.end());
    if (numbers == expected) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "'" << date << "' is not today's date";
}

// The date of the report's title line.
std::string TitleDate(const std::string& report) {
    const std::size_t end = report.find(" on ");
    if (!report.starts_with(kTitlePrefix) || end == std::string::npos) {
        return "";
    }
    return report.substr(kTitlePrefix.size(), end - kTitlePrefix.size());
}

std::string ExpectedLog(const std::string& date) {
    return "  File version verification " + date +
           " on Unknown\r\n\r\n  File,Reg_Info,Date,Size,Version\r\n";
}

// The report text up to the first result line.
std::string ExpectedReportHead(const std::string& date) {
    return "  Kelvra System Files verification " + date +
           " on Unknown\t File\t Reg_Info\tDate\tSize\t Version\r\r"
           "  File version verification " +
           date + " on Unknown\r\r  File,Reg_Info,Date,Size,Version";
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
    const std::string date = TitleDate(form.ReportText());
    EXPECT_TRUE(IsToday(date));
    EXPECT_EQ(form.ReportText().substr(0, ExpectedReportHead(date).size()),
              ExpectedReportHead(date));
    EXPECT_EQ(form.ReportText().find('\n'), std::string::npos) << "lines end in CR alone";
    EXPECT_EQ(platform::runtime::ReadFileBytes(folder / "DLLver.log"), ExpectedLog(date));
}

TEST(ReportRun, ASecondRunReplacesTheLogAndTheText) {
    ScratchFolder folder;
    ASSERT_TRUE(platform::runtime::WriteFileBytes(folder / "DLLver.log", "old content\r\n"));
    report::Form1 form;
    form.Paint(*ReportSurface());
    const std::string first = form.ReportText();
    form.Paint(*ReportSurface());
    EXPECT_EQ(form.ReportText(), first);
    EXPECT_EQ(platform::runtime::ReadFileBytes(folder / "DLLver.log"),
              ExpectedLog(TitleDate(first)));
}

TEST(ReportRun, GoesOnSilentlyWhenTheLogCannotBeOpened) {
    ScratchFolder folder;
    // A folder in the log file's place cannot be opened for output.
    ASSERT_TRUE(platform::runtime::CreateDirectory(folder / "DLLver.log"));
    report::Form1 form;
    form.Paint(*ReportSurface());
    const std::string head = ExpectedReportHead(TitleDate(form.ReportText()));
    EXPECT_EQ(form.ReportText().substr(0, head.size()), head);
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
