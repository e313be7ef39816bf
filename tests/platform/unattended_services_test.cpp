// What an unattended run needs of the platform: outputs replaced as a whole, and the time in
// UTC.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/runtime.h"
#include "platform/window.h"
#include "support/scratch_folder.h"

namespace {

namespace rt = platform::runtime;
using kelvra::test::ScratchFolder;

// A part file in the folder: what a write that went wrong could leave behind.
std::string PartLeftIn(const ScratchFolder& scratch) {
    return rt::Dir(scratch / "*.part");
}

TEST(ReplaceFileWhole, CreatesAndReplacesWithNothingLeftBeside) {
    ScratchFolder scratch;
    const std::string path = scratch / "report.json";
    ASSERT_TRUE(rt::ReplaceFileWhole(path, "first"));
    EXPECT_EQ(rt::ReadFileBytes(path), "first");
    ASSERT_TRUE(rt::ReplaceFileWhole(path, std::string(100000, 'x') + "second"));
    EXPECT_EQ(rt::ReadFileBytes(path)->size(), 100006u);
    EXPECT_EQ(PartLeftIn(scratch), "");
    EXPECT_EQ(rt::Dir(scratch / "*.json"), "report.json");
}

TEST(ReplaceFileWhole, FailureLeavesTheOldFileAndNoPart) {
    ScratchFolder scratch;
    EXPECT_FALSE(rt::ReplaceFileWhole(scratch / "missing folder\\report.txt", "x"));
    // A folder in the file's place cannot be replaced.
    ASSERT_TRUE(rt::CreateDirectory(scratch / "taken"));
    EXPECT_FALSE(rt::ReplaceFileWhole(scratch / "taken", "x"));
    EXPECT_FALSE(rt::FileLen(scratch / "taken").has_value());
    EXPECT_EQ(PartLeftIn(scratch), "");
    rt::RemoveDirectory(scratch / "taken");
    EXPECT_EQ(rt::Dir(scratch / "*"), "");
}

// The computer's name is checked end to end: under the test run's redirection of the
// machine-wide registry, Wine finds none.
TEST(UnattendedServices, UtcTimeIsWithinADayOfLocalTime) {
    const rt::DateTime utc = rt::NowUtc();
    const rt::DateTime local = rt::Now();
    EXPECT_GE(utc.year, 2026);
    // Local time is within a day of UTC.
    const int days =
        (local.year - utc.year) * 366 + (local.month - utc.month) * 31 + (local.day - utc.day);
    EXPECT_LE(std::abs(days), 1);
}

// While a sink is set no box is shown (a box here would wait for a click that never comes):
// the texts go to the sink in order; once it is taken away, boxes are shown again.
TEST(UnattendedServices, MessageBoxesGoToTheSinkWhileOneIsSet) {
    std::vector<std::string> texts;
    platform::window::RedirectMessageBoxes(
        [&](std::string_view text) { texts.emplace_back(text); });
    platform::window::MessageBox("first");
    platform::window::MessageBox("second\r\nline");
    platform::window::RedirectMessageBoxes({});
    EXPECT_EQ(texts, (std::vector<std::string>{"first", "second\r\nline"}));
}

}  // namespace
