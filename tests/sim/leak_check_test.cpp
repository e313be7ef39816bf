// The leak check of the soak runs must catch a run that keeps one font: shown on the
// simulated machine, whose surfaces can be told to leak theirs.
#include <gtest/gtest.h>

#include "platform/sim/machine.h"
#include "platform/window.h"
#include "report/verification_report.h"
#include "support/resource_check.h"
#include "support/scratch_folder.h"

namespace {

using kelvra::test::CurrentlyHeld;
using kelvra::test::NothingGrew;

TEST(LeakCheck, CatchesARunThatKeepsOneFont) {
    kelvra::test::ScratchFolder scratch;
    report::VerificationReport form;
    const auto runOnAFreshSurface = [&] {
        form.Run(*platform::window::CreateOffscreenSurface(16800, 13290));
    };
    runOnAFreshSurface();
    const auto before = CurrentlyHeld();
    for (int run = 0; run < 10; ++run) {
        runOnAFreshSurface();
    }
    EXPECT_TRUE(NothingGrew(before, CurrentlyHeld()));

    platform::sim::machine().surfacesLeakTheirFont = true;
    const auto beforeLeaks = CurrentlyHeld();
    for (int run = 0; run < 10; ++run) {
        runOnAFreshSurface();
    }
    const auto after = CurrentlyHeld();
    const ::testing::AssertionResult verdict = NothingGrew(beforeLeaks, after);
    EXPECT_FALSE(verdict);
    EXPECT_NE(std::string(verdict.message()).find("GDI objects held by the program grew"),
              std::string::npos)
        << verdict.message();
    EXPECT_EQ(after.owned.gdi - beforeLeaks.owned.gdi, 10);
    // The leaked fonts are the machine's for good; the count keeps them.
}

}  // namespace
