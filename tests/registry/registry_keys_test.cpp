#include <gtest/gtest.h>

#include "registry_fixture.h"

namespace registry::test {
namespace {

using RegistryKeys = RegistryFixture;

TEST_F(RegistryKeys, CreateKeyMakesMissingLevelsAndOpensExistingKeys) {
    EXPECT_FALSE(reg_.KeyExists(Key("a\\b\\c")));
    EXPECT_NE(reg_.CreateKey(Key("a\\b\\c")), 0u);
    EXPECT_TRUE(reg_.KeyExists(Key("a")));
    EXPECT_TRUE(reg_.KeyExists(Key("a\\b\\c")));
    EXPECT_NE(reg_.CreateKey(Key("a\\b\\c")), 0u);
    // Long root names and any letter case address the same key.
    EXPECT_TRUE(reg_.KeyExists(LongKey("A\\B")));
}

TEST_F(RegistryKeys, PathsWithoutAKnownRootFail) {
    EXPECT_EQ(reg_.CreateKey("SOFTWARE\\KelvraTests"), 0u);
    EXPECT_EQ(reg_.CreateKey(std::string("HKCUX\\") + SubKey()), 0u);
    EXPECT_FALSE(reg_.KeyExists(std::string("HKCUX\\") + SubKey()));
    EXPECT_EQ(reg_.KillKey(std::string("HKCUX\\") + SubKey()), 0u);
    EXPECT_FALSE(reg_.HaveSubkey("HKC\\Software"));
    std::vector<std::string> names{"stale"};
    EXPECT_EQ(reg_.EnumKeys("SOFTWARE\\Test", names), -1);
    EXPECT_TRUE(names.empty());
}

TEST_F(RegistryKeys, KeyExistsOnRootsPresentAndMissingKeys) {
    EXPECT_TRUE(reg_.KeyExists("HKCU"));
    EXPECT_TRUE(reg_.KeyExists("HKEY_CURRENT_USER"));
    EXPECT_FALSE(reg_.KeyExists(Key()));
    reg_.CreateKey(Key());
    EXPECT_TRUE(reg_.KeyExists(Key()));
    EXPECT_TRUE(reg_.KeyExists(std::string("\\") + LongKey()));
}

TEST_F(RegistryKeys, KillKeyDeletesOnlyAKeyWithoutSubkeys) {
    reg_.CreateKey(Key("parent\\child"));
    EXPECT_EQ(reg_.KillKey(Key("missing")), 0u);

    // A key that still exists afterwards is a failure.
    EXPECT_EQ(reg_.KillKey(Key("parent")), 0u);
    EXPECT_TRUE(reg_.KeyExists(Key("parent\\child")));

    EXPECT_NE(reg_.KillKey(Key("parent\\child")), 0u);
    EXPECT_FALSE(reg_.KeyExists(Key("parent\\child")));
    EXPECT_NE(reg_.KillKey(Key("parent")), 0u);
    EXPECT_FALSE(reg_.KeyExists(Key("parent")));
    EXPECT_EQ(reg_.KillKey(Key("parent")), 0u);
}

TEST_F(RegistryKeys, KillKeyNeverDeletesARoot) {
    ASSERT_NE(reg_.CreateKey(Key()), 0u);
    EXPECT_EQ(reg_.KillKey("HKCU"), 0u);
    EXPECT_EQ(reg_.KillKey("HKCU\\\\"), 0u);
    EXPECT_TRUE(reg_.KeyExists("HKCU\\Software"));
}

TEST_F(RegistryKeys, ARootAsAWholePathIsTheRootsOwnHandle) {
    // The platform hands a root back as itself (sign-extended on x64): the component sees the
    // predefined value, on every build, and never closes it.
    EXPECT_EQ(reg_.KillValue("HKCU", "KelvraTests value that is not there"),
              platform::registry::kCurrentUser);
    EXPECT_EQ(reg_.KillValue("HKEY_LOCAL_MACHINE", "KelvraTests value that is not there"),
              platform::registry::kLocalMachine);
    EXPECT_TRUE(reg_.KeyExists("HKLM"));
}

TEST_F(RegistryKeys, EnumKeysListsNamesAsSpelledInNameOrder) {
    reg_.CreateKey(Key("beta"));
    reg_.CreateKey(Key("Alpha\\inner"));
    reg_.CreateKey(Key("gamma"));
    std::vector<std::string> names{"stale"};
    ASSERT_EQ(reg_.EnumKeys(Key(), names), 3);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "gamma"}));

    EXPECT_EQ(reg_.EnumKeys(Key("gamma"), names), 0);
    EXPECT_TRUE(names.empty());

    names = {"stale"};
    EXPECT_EQ(reg_.EnumKeys(Key("missing"), names), -1);
    EXPECT_TRUE(names.empty());
}

TEST_F(RegistryKeys, HaveSubkey) {
    reg_.CreateKey(Key("leaf"));
    EXPECT_TRUE(reg_.HaveSubkey(Key()));
    EXPECT_FALSE(reg_.HaveSubkey(Key("leaf")));
    EXPECT_FALSE(reg_.HaveSubkey(Key("missing")));
}

}  // namespace
}  // namespace registry::test
