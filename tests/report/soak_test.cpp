// A thousand report runs, and a thousand export and import cycles, in one process: what the
// process holds (handles, the GDI and USER objects of the platform layer's owners, the bytes
// in use on its heaps) must not grow after the first runs, and every report run must tell the
// same.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/runtime.h"
#include "platform/window.h"
#include "registry/registry_access.h"
#include "report/background_run.h"
#include "report/verification_report.h"
#include "support/resource_check.h"
#include "support/scratch_folder.h"

namespace {

using kelvra::test::CurrentlyHeld;
using kelvra::test::HeldResources;
using kelvra::test::NothingGrew;

constexpr int kRuns = 1000;
constexpr int kWarmUp = 20;

// Whether two report texts tell the same, but for their first line: the title, which carries
// the date. Report lines are separated by CR alone.
bool TellTheSame(std::string_view first, std::string_view second) {
    const auto withoutTitle = [](std::string_view text) {
        return text.substr(std::min(text.size(), text.find('\r')));
    };
    return withoutTitle(first) == withoutTitle(second);
}

TEST(Soak, ReportsTellTheSameButForTheirTitle) {
    const std::string report = "  Title 12/9/2026\t File\r\r  File version\r  C:\\A.dll, n/a";
    EXPECT_TRUE(
        TellTheSame(report, "  Title 12/10/2026\t File\r\r  File version\r  C:\\A.dll, n/a"));
    EXPECT_FALSE(
        TellTheSame(report, "  Title 12/9/2026\t File\r\r  File version\r  C:\\B.dll, n/a"));
    EXPECT_FALSE(TellTheSame(report, "  Title 12/9/2026\t File\r\r  File version"));
}

TEST(Soak, AThousandReportRunsHoldNothingMore) {
    kelvra::test::ScratchFolder scratch;
    report::VerificationReport report;
    // As the window runs it: on a worker of its own, which makes the run's surface; the
    // drawing is handed over at the end and dropped when the next run's drawing comes.
    std::unique_ptr<platform::window::OffscreenSurface> shown;
    // Every run of the same machine tells the same: a probe that fails now and then would
    // turn a row into a wrong one.
    std::string firstText;
    int otherTexts = 0;
    const auto run = [&] {
        std::mutex mutex;
        std::condition_variable changed;
        report::BackgroundRun background(report, {16800, 13290, 0}, [&] {
            const std::lock_guard lock(mutex);
            changed.notify_all();
        });
        std::unique_lock lock(mutex);
        ASSERT_TRUE(
            changed.wait_for(lock, std::chrono::minutes(1), [&] { return background.Ended(); }));
        auto result = background.TakeResult();
        shown = std::move(result->drawing);
        if (firstText.empty()) {
            firstText = result->reportText;
        } else if (!TellTheSame(result->reportText, firstText) && otherTexts++ == 0) {
            ADD_FAILURE() << "a run told otherwise:\n" << result->reportText;
        }
    };
    for (int index = 0; index < kWarmUp; ++index) {
        run();
    }
    const HeldResources before = CurrentlyHeld();
    EXPECT_GT(before.owned.gdi, 0) << "the drawing shown holds a font and a bitmap";
    for (int index = kWarmUp; index < kRuns; ++index) {
        run();
    }
    EXPECT_TRUE(NothingGrew(before, CurrentlyHeld()));
    EXPECT_EQ(otherTexts, 0) << "runs whose report differed from the first";
}

TEST(Soak, AThousandExportImportCyclesHoldNothingMore) {
    kelvra::test::ScratchFolder scratch;
    registry::clsRegistryAccess registry;
    const std::string key = "HKCU\\Software\\KelvraTests\\Soak";
    const std::string file = scratch / "soak.reg";
    registry.WriteString(key, "", "default");
    registry.WriteString(key + "\\Sub", "text", "value");
    registry.WriteDWORD(key + "\\Sub", "number", 26);
    registry.WriteBinary(key + "\\Sub\\Deeper", "bytes", "0A FF 00");
    const auto cycle = [&] {
        ASSERT_EQ(registry.ExportToReg(key, file), 1);
        ASSERT_NE(registry.ImportFromReg(file), 0);
        ASSERT_TRUE(platform::runtime::DeleteFile(file));
    };
    for (int run = 0; run < kWarmUp; ++run) {
        cycle();
    }
    const HeldResources before = CurrentlyHeld();
    for (int run = kWarmUp; run < kRuns; ++run) {
        cycle();
    }
    EXPECT_TRUE(NothingGrew(before, CurrentlyHeld()));
    EXPECT_EQ(registry.ReadString(key + "\\Sub", "text"), "value");
    std::vector<std::string> names;
    EXPECT_EQ(registry.EnumKeys(key, names), 1);
    platform::registry::DeleteTree(
        platform::registry::PredefinedKey(platform::registry::kCurrentUser),
        "Software\\KelvraTests\\Soak");
}

}  // namespace
