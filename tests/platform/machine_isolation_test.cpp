// A test run never changes the machine outside its scratch keys: the machine-wide roots stand
// for scratch keys while the tests run (support/machine_isolation.h).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/registry.h"
#include "platform/runtime.h"
#include "platform/text.h"
#include "support/machine_isolation.h"
#include "support/scratch_folder.h"

namespace {

namespace reg = platform::registry;
using kelvra::test::kSimulated;

reg::RawKey CurrentUser() {
    return reg::PredefinedKey(reg::kCurrentUser);
}

void WriteProbe(reg::RawKey parent, std::string_view subkey, std::string_view text) {
    reg::Key key;
    ASSERT_EQ(reg::CreateKey(parent, subkey, key), reg::kErrorSuccess);
    ASSERT_EQ(
        reg::SetValue(key.get(), "probe", reg::kRegSz, platform::text::EncodeRegistryString(text)),
        reg::kErrorSuccess);
}

std::string ReadProbe(reg::RawKey parent, std::string_view subkey) {
    reg::Key key;
    reg::Value value;
    if (reg::OpenKey(parent, subkey, reg::kKeyRead, key) != reg::kErrorSuccess ||
        reg::QueryValue(key.get(), "probe", value) != reg::kErrorSuccess) {
        return "";
    }
    return platform::text::DecodeRegistryString(value.data);
}

// HKEY_USERS is not redirected for the run, so this test may override it and put it back.
TEST(RootOverride, WritesThroughAnOverriddenRootReachTheKeyItStandsFor) {
    kelvra::test::ScratchFolder scratch;
    const std::string target = std::string(kelvra::test::kScratchRegistryKey) + "\\Override";
    reg::Key replacement;
    ASSERT_EQ(reg::CreateKey(CurrentUser(), target, replacement), reg::kErrorSuccess);
    ASSERT_EQ(reg::OverridePredefinedKey(reg::kUsers, replacement.get()), reg::kErrorSuccess);
    WriteProbe(reg::PredefinedKey(reg::kUsers), "KelvraOverrideProbe", "through the root");
    EXPECT_EQ(reg::OverridePredefinedKey(reg::kUsers, 0), reg::kErrorSuccess);

    EXPECT_EQ(ReadProbe(CurrentUser(), target + "\\KelvraOverrideProbe"), "through the root");
    EXPECT_EQ(ReadProbe(reg::PredefinedKey(reg::kUsers), "KelvraOverrideProbe"), "")
        << "the root is itself again";
    EXPECT_NE(reg::OverridePredefinedKey(reg::kUsers, reg::PredefinedKey(reg::kLocalMachine)),
              reg::kErrorSuccess)
        << "a root cannot stand for another root";
    replacement.reset();
    reg::DeleteTree(CurrentUser(), target);
}

TEST(MachineIsolation, MachineWideWritesLandInTheRunsScratchKeys) {
    if (kSimulated) {
        GTEST_SKIP() << "the simulated machine is fresh for every test";
    }
    WriteProbe(reg::PredefinedKey(reg::kLocalMachine), "SOFTWARE\\KelvraIsolationProbe", "hklm");
    WriteProbe(reg::PredefinedKey(reg::kClassesRoot), "KelvraIsolationProbe", "hkcr");
    EXPECT_EQ(ReadProbe(CurrentUser(), std::string(kelvra::test::kScratchLocalMachineKey) +
                                           "\\SOFTWARE\\KelvraIsolationProbe"),
              "hklm");
    EXPECT_EQ(ReadProbe(CurrentUser(), std::string(kelvra::test::kScratchClassesRootKey) +
                                           "\\KelvraIsolationProbe"),
              "hkcr");
}

// Used by the test command to kill a run while it has changed the machine-wide PATH: it
// changes it, says so and waits to be killed. Runs only when asked for.
TEST(MachineIsolation, WaitsToBeKilledWhileTheMachineWidePathIsChanged) {
    if (platform::runtime::Environ("KELVRA_WAIT_TO_BE_KILLED").empty()) {
        GTEST_SKIP() << "set KELVRA_WAIT_TO_BE_KILLED=1 to run it";
    }
    reg::Key environment;
    ASSERT_EQ(reg::CreateKey(reg::PredefinedKey(reg::kLocalMachine),
                             "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
                             environment),
              reg::kErrorSuccess);
    ASSERT_EQ(reg::SetValue(environment.get(), "Path", reg::kRegExpandSz,
                            platform::text::EncodeRegistryString("C:\\KelvraKilledRun")),
              reg::kErrorSuccess);
    std::puts("KELVRA: the machine-wide PATH is changed; waiting to be killed");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::minutes(2));
    FAIL() << "was not killed";
}

}  // namespace
