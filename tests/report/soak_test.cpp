// A thousand report runs, and a thousand export and import cycles, in one process: what the
// process holds (handles, the GDI and USER objects of the platform layer's owners, private
// memory) must not grow after the first runs.
#include <gtest/gtest.h>

#include "platform/runtime.h"
#include "platform/window.h"
#include "registry/registry_access.h"
#include "report/form1.h"
#include "support/resource_check.h"
#include "support/scratch_folder.h"

namespace {

using kelvra::test::CurrentlyHeld;
using kelvra::test::HeldResources;
using kelvra::test::NothingGrew;

constexpr int kRuns = 1000;
constexpr int kWarmUp = 20;

TEST(Soak, AThousandReportRunsHoldNothingMore) {
    kelvra::test::ScratchFolder scratch;
    report::Form1 form;
    const auto surface = platform::window::CreateOffscreenSurface(16800, 13290);
    // Most runs repaint the same surface; every tenth draws on a surface of its own, as a
    // window does when it is resized.
    const auto run = [&](int index) {
        if (index % 10 == 9) {
            form.Paint(*platform::window::CreateOffscreenSurface(16800, 13290));
        } else {
            form.Paint(*surface);
        }
    };
    for (int index = 0; index < kWarmUp; ++index) {
        run(index);
    }
    const HeldResources before = CurrentlyHeld();
    EXPECT_GT(before.owned.gdi, 0) << "the surface holds a font and a bitmap";
    for (int index = kWarmUp; index < kRuns; ++index) {
        run(index);
    }
    EXPECT_TRUE(NothingGrew(before, CurrentlyHeld()));
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
