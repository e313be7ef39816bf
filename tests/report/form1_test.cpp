// The report run and the window's logic on the platform at hand: the report text, the log
// file, the clipboard, the column positions, the progress of a run, and a run on a worker
// giving what a run on the calling thread gives.
#include "report/form1.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <vector>

#include "platform/runtime.h"
#include "platform/window.h"
#include "report/file_table.h"
#include "report/verification_report.h"
#include "support/scratch_folder.h"
#include "support/test_data.h"

namespace {

using kelvra::test::ScratchFolder;
using platform::window::Canvas;
using platform::window::OffscreenSurface;

constexpr Canvas kCanvas{16800, 13290, 0};

std::unique_ptr<OffscreenSurface> ReportSurface() {
    return platform::window::CreateOffscreenSurface(kCanvas.widthTwips, kCanvas.heightTwips);
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

// A window of the test's own: it keeps what it is told to show, and delivers a run's
// notifications on the test's thread when the test waits for them.
class TestWindow final : public platform::window::ReportWindow {
  public:
    void ShowStatus(std::string_view text) override { statuses.emplace_back(text); }
    void ShowNotice(std::string_view text) override { notices.emplace_back(text); }
    void ShowReport(std::unique_ptr<OffscreenSurface> shown) override {
        drawing = std::move(shown);
        ++reportsShown;
    }
    [[nodiscard]] Canvas RunCanvas() const override { return kCanvas; }
    [[nodiscard]] std::function<void()> Notifier() override {
        return [mailbox = mailbox_] {
            const std::lock_guard lock(mailbox->mutex);
            ++mailbox->pending;
            mailbox->arrived.notify_all();
        };
    }

    // Delivers notifications until the form's run has ended; false after a minute without.
    bool DeliverUntilRunEnds(report::Form1& form) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (form.RunInProgress()) {
            std::unique_lock lock(mailbox_->mutex);
            if (!mailbox_->arrived.wait_until(lock, deadline,
                                              [&] { return mailbox_->pending > 0; })) {
                return false;
            }
            mailbox_->pending = 0;
            lock.unlock();
            form.RunNotified(*this);
        }
        return true;
    }

    // Delivers the notifications that arrive within `time`.
    void DeliverFor(std::chrono::milliseconds time, report::Form1& form) {
        std::unique_lock lock(mailbox_->mutex);
        if (mailbox_->arrived.wait_for(lock, time, [&] { return mailbox_->pending > 0; })) {
            mailbox_->pending = 0;
            lock.unlock();
            form.RunNotified(*this);
        }
    }

    std::vector<std::string> statuses;
    std::vector<std::string> notices;
    std::unique_ptr<OffscreenSurface> drawing;
    int reportsShown = 0;

  private:
    struct Mailbox {
        std::mutex mutex;
        std::condition_variable arrived;
        int pending = 0;
    };
    std::shared_ptr<Mailbox> mailbox_ = std::make_shared<Mailbox>();
};

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
    report::VerificationReport report;
    const std::string text = report.Run(*ReportSurface());
    const std::string date = TitleDate(text);
    EXPECT_TRUE(IsToday(date));
    EXPECT_EQ(text.substr(0, ExpectedReportHead(date).size()), ExpectedReportHead(date));
    EXPECT_EQ(text.find('\n'), std::string::npos) << "lines end in CR alone";
    EXPECT_EQ(platform::runtime::ReadFileBytes(folder / "DLLver.log"), ExpectedLog(date));
}

TEST(ReportRun, ASecondRunReplacesTheLogAndTheText) {
    ScratchFolder folder;
    ASSERT_TRUE(platform::runtime::WriteFileBytes(folder / "DLLver.log", "old content\r\n"));
    report::VerificationReport report;
    const std::string first = report.Run(*ReportSurface());
    EXPECT_EQ(report.Run(*ReportSurface()), first);
    EXPECT_EQ(platform::runtime::ReadFileBytes(folder / "DLLver.log"),
              ExpectedLog(TitleDate(first)));
}

TEST(ReportRun, GoesOnSilentlyWhenTheLogCannotBeOpened) {
    ScratchFolder folder;
    // A folder in the log file's place cannot be opened for output.
    ASSERT_TRUE(platform::runtime::CreateDirectory(folder / "DLLver.log"));
    report::VerificationReport report;
    const std::string text = report.Run(*ReportSurface());
    const std::string head = ExpectedReportHead(TitleDate(text));
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_FALSE(platform::runtime::FileLen(folder / "DLLver.log").has_value());
    platform::runtime::RemoveDirectory(folder / "DLLver.log");
}

TEST(ReportRun, TellsEveryPassAsItStarts) {
    ScratchFolder folder;
    report::VerificationReport report;
    std::vector<std::string> told;
    report.Run(*ReportSurface(), [&](const report::VerificationReport::Progress& progress) {
        told.push_back(report::ProgressText(progress));
    });
    ASSERT_EQ(told.size(), 20u);
    EXPECT_EQ(told[0], "Checking COMDLG32.ocx (1 of 19)");
    EXPECT_EQ(told[14], "Checking DravikLib.dll (15 of 19)");
    EXPECT_EQ(told[18], "Checking libiomp5md.dll (19 of 19)");
    EXPECT_EQ(told[19], "Checking the install folder and the PATH");
    EXPECT_EQ(report::ProgressText({}), "Starting the report");
}

TEST(ReportRun, OnAWorkerGivesWhatItGivesOnTheCallingThread) {
    ScratchFolder folder;
    report::VerificationReport here;
    const std::string expected = here.Run(*ReportSurface());
    ASSERT_TRUE(platform::runtime::DeleteFile(folder / "DLLver.log"));

    report::VerificationReport elsewhere;
    std::mutex mutex;
    std::condition_variable changed;
    int notifications = 0;
    auto run = std::make_unique<report::BackgroundRun>(elsewhere, kCanvas, [&] {
        const std::lock_guard lock(mutex);
        ++notifications;
        changed.notify_all();
    });
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::minutes(1), [&] { return run->Ended(); }));
    }
    auto result = run->TakeResult();
    ASSERT_TRUE(result.has_value());
    EXPECT_FALSE(run->TakeResult().has_value()) << "the result is handed over once";
    run.reset();
    EXPECT_EQ(result->reportText, expected);
    ASSERT_NE(result->drawing, nullptr);
    EXPECT_GT(result->drawing->DrawnHeightTwips(), 0);
    EXPECT_EQ(platform::runtime::ReadFileBytes(folder / "DLLver.log"),
              ExpectedLog(TitleDate(result->reportText)));
    EXPECT_EQ(notifications, 21) << "one for each pass and one at the end";
}

TEST(ReportRun, ItsDrawingIsMadeAgainForAnotherDpiWithoutRunning) {
    ScratchFolder folder;
    report::VerificationReport report;
    const auto at96 = platform::window::CreateOffscreenSurface(16800, 13290, 96);
    report.Run(*at96);
    ASSERT_TRUE(platform::runtime::DeleteFile(folder / "DLLver.log"));
    const auto at144 = at96->RedrawnAt(144);
    EXPECT_FALSE(platform::runtime::FileLen(folder / "DLLver.log").has_value());
    EXPECT_DOUBLE_EQ(at144->TwipsPerPixelY(), 10);
    EXPECT_DOUBLE_EQ(at144->Width(), 16800);
    // The same lines at the same places: only the height of the last one may differ a little
    // with the font's size in whole pixels.
    EXPECT_GT(at96->DrawnHeightTwips(), 30 * 195);
    EXPECT_NEAR(at144->DrawnHeightTwips(), at96->DrawnHeightTwips(), 40);
}

TEST(CopyText, PutsExactlyTheReportTextOfTheEndedRunOnTheClipboard) {
    ScratchFolder folder;
    report::Form1 form;
    TestWindow window;
    form.Shown(window);
    ASSERT_TRUE(window.DeliverUntilRunEnds(form));
    EXPECT_EQ(window.reportsShown, 1);
    ASSERT_NE(window.drawing, nullptr);
    ASSERT_FALSE(window.statuses.empty());
    EXPECT_EQ(window.statuses.front(), "Starting the report");
    const std::string head = ExpectedReportHead(TitleDate(form.ReportText()));
    EXPECT_EQ(form.ReportText().substr(0, head.size()), head);
    form.CopyTextClicked(window);
    EXPECT_EQ(platform::window::GetClipboardText(), form.ReportText());
    EXPECT_TRUE(window.notices.empty());
}

// "Done" while a file's start-up code never returns: the window's logic ends its probe and
// the run, and the program can end normally.
TEST(ReportRun, EndingTheWindowEndsAProbeThatNeverFinishes) {
    ScratchFolder folder;
    ASSERT_TRUE(platform::runtime::WriteFileBytes(
        folder / "DravikLib.dll",
        kelvra::test::TestDataBytes(std::string(kelvra::test::NativeArchFolder()) +
                                    "/kelvra_startup_hangs.dll")));
    auto form = std::make_unique<report::Form1>(600);
    TestWindow window;
    form->Shown(window);
    const auto started = std::chrono::steady_clock::now();
    const auto checking = [&] {
        return std::any_of(window.statuses.begin(), window.statuses.end(),
                           [](const std::string& s) { return s.find("DravikLib") != s.npos; });
    };
    // (The simulated probe lets no time pass: there the run ends at once.)
    while (!checking() && form->RunInProgress() &&
           std::chrono::steady_clock::now() - started < std::chrono::minutes(1)) {
        window.DeliverFor(std::chrono::milliseconds(50), *form);
    }
    ASSERT_TRUE(checking() || !form->RunInProgress());
    form->DoneClicked();
    const auto ending = std::chrono::steady_clock::now();
    form.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - ending, std::chrono::seconds(20));
}

TEST(CopyText, DoesNothingBeforeTheWindowIsShown) {
    ScratchFolder folder;
    ASSERT_TRUE(platform::window::SetClipboardText("kept"));
    report::Form1 form;
    TestWindow window;
    form.CopyTextClicked(window);
    EXPECT_EQ(platform::window::GetClipboardText(), "kept");
}

}  // namespace
