// The data-access version on a simulated machine where the key can be arranged freely,
// including one that the user may only read.
#include <gtest/gtest.h>

#include "fileinfo/mdac_version.h"
#include "platform/sim/machine.h"
#include "platform/text.h"

namespace {

namespace reg = platform::registry;

TEST(SimDataAccessVersion, ReadsTheInstalledVersionEvenWhereTheUserMayOnlyRead) {
    platform::sim::Reset();
    EXPECT_EQ(fileinfo::GetMdacVersion(), "N/A");
    auto key =
        platform::sim::machine().RegistryKey(reg::kLocalMachine, "SOFTWARE\\Microsoft\\DataAccess");
    key->values.emplace_back(
        "FullInstallVer",
        reg::Value{reg::kRegSz, platform::text::EncodeRegistryString("2.81.1117.0")});
    key->readOnly = true;
    EXPECT_EQ(fileinfo::GetMdacVersion(), "2.81.1117.0");
    key->values.back().second = reg::Value{reg::kRegDword, {0x05, 0x00, 0x01, 0x00}};
    EXPECT_EQ(fileinfo::GetMdacVersion(), "&h10005");
    key->values.back().second = reg::Value{reg::kRegBinary, {1}};
    EXPECT_EQ(fileinfo::GetMdacVersion(), "");
}

}  // namespace
