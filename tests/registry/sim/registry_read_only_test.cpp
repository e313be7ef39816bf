// Keys the user may read but not change, which only the simulated registry can set up.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/sim/machine.h"
#include "registry/registry_access.h"

namespace registry {
namespace {

namespace reg = platform::registry;

class RegistryReadOnly : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::sim::Reset();
        auto& m = platform::sim::machine();
        m.RegistryKey(reg::kCurrentUser, "Software\\Locked\\Child");
        m.RegistryKey(reg::kCurrentUser, "Software\\Locked")->readOnly = true;
        m.RegistryKey(reg::kCurrentUser, "Software\\Open\\Child");
        m.RegistryKey(reg::kCurrentUser, "Software\\Open")->readOnly = true;
        m.RegistryKey(reg::kCurrentUser, "Software\\Open\\Child")->readOnly = false;
    }
    void TearDown() override { platform::sim::Reset(); }

    clsRegistryAccess reg_;
};

TEST_F(RegistryReadOnly, KeyExistsNeedsOnlyReadAccess) {
    EXPECT_TRUE(reg_.KeyExists("HKCU\\Software\\Locked"));
    EXPECT_TRUE(reg_.HaveSubkey("HKCU\\Software\\Locked"));
}

TEST_F(RegistryReadOnly, KillKeyReportsAKeyThePlatformWouldNotDelete) {
    // The child opens with full access, but its read-only parent refuses the deletion.
    EXPECT_EQ(reg_.KillKey("HKCU\\Software\\Open\\Child"), 0u);
    EXPECT_TRUE(reg_.KeyExists("HKCU\\Software\\Open\\Child"));
    EXPECT_EQ(reg_.KillKey("HKCU\\Software\\Locked\\Child"), 0u);
}

TEST_F(RegistryReadOnly, WritesFailWithoutCreatingOrChanging) {
    EXPECT_EQ(reg_.WriteString("HKCU\\Software\\Locked", "a", "b"), 0u);
    EXPECT_EQ(reg_.WriteDWORD("HKCU\\Software\\Locked\\New", "a", 1), 0u);
    EXPECT_FALSE(reg_.KeyExists("HKCU\\Software\\Locked\\New"));
    EXPECT_EQ(reg_.KillValue("HKCU\\Software\\Locked", "a"), 0u);
}

TEST_F(RegistryReadOnly, AnImportWithoutTheRightsFailsAndNamesEveryLine) {
    // As HKEY_LOCAL_MACHINE is for a user without administrator rights.
    platform::sim::machine().registryRoots.at(reg::kLocalMachine)->readOnly = true;
    platform::sim::machine().AddFile("C:\\machine.reg",
                                     "REGEDIT4\r\n"
                                     "[HKEY_LOCAL_MACHINE\\Software\\New]\r\n"
                                     "\"a\"=\"1\"\r\n"
                                     "[HKEY_CURRENT_USER\\Software\\Locked]\r\n"
                                     "\"b\"=dword:00000001\r\n"
                                     "\"c\"=-\r\n"
                                     "[-HKEY_CURRENT_USER\\Software\\Locked\\Child]\r\n");
    std::vector<std::size_t> lines;
    EXPECT_EQ(reg_.ImportFromReg("C:\\machine.reg",
                                 [&](const ImportProblem& p) { lines.push_back(p.lineNumber); }),
              0);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::size_t>{2, 3, 5, 6, 7}));
    EXPECT_FALSE(reg_.KeyExists("HKLM\\Software\\New"));
    EXPECT_TRUE(reg_.KeyExists("HKCU\\Software\\Locked\\Child"));
}

}  // namespace
}  // namespace registry
