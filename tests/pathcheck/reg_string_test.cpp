// Reading one registry string from a key path text: the root key names, the cleaning of the
// text read, and values of every length and type on the platform's registry.
#include "pathcheck/reg_string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"
#include "support/scratch_folder.h"

namespace {

namespace reg = platform::registry;
using pathcheck::myRegGetKeys;
using pathcheck::myRegReadString;
using pathcheck::TrimNull;

struct KeyPathCase {
    std::string path;
    std::uint32_t root;
    std::string rewritten;
    std::string subkey;
};

void ExpectKeys(const KeyPathCase& c) {
    std::string path = c.path;
    std::string subkey = "stale";
    EXPECT_EQ(myRegGetKeys(path, subkey), c.root) << c.path;
    EXPECT_EQ(path, c.rewritten) << c.path;
    EXPECT_EQ(subkey, c.subkey) << c.path;
}

TEST(RegStringKeys, LongAndShortNamesInAnyCase) {
    const std::vector<KeyPathCase> cases{
        {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
         reg::kLocalMachine,
         "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
         "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"},
        {"HKEY_CURRENT_USER\\a", reg::kCurrentUser, "HKCU\\a", "a"},
        {"HKEY_CLASSES_ROOT\\a", reg::kClassesRoot, "HKCR\\a", "a"},
        {"HKEY_USERS\\a", reg::kUsers, "HKUS\\a", "a"},
        {"HKEY_PERFORMANCE_DATA\\a", reg::kPerformanceData, "HKPD\\a", "a"},
        {"HKEY_DYN_DATA\\a", reg::kDynData, "HKDD\\a", "a"},
        {"HKEY_CURRENT_CONFIG\\a", reg::kCurrentConfig, "HKCC\\a", "a"},
        {"hkey_local_machine\\Software", reg::kLocalMachine, "HKLM\\Software", "Software"},
        {"hklm\\Software", reg::kLocalMachine, "hklm\\Software", "Software"},
        {"HkUs\\.DEFAULT", reg::kUsers, "HkUs\\.DEFAULT", ".DEFAULT"},
        {"HKCU\\", reg::kCurrentUser, "HKCU\\", ""},
    };
    for (const KeyPathCase& c : cases) {
        ExpectKeys(c);
    }
}

TEST(RegStringKeys, LeadingBackslashRootAloneAndUnknownRoots) {
    const std::vector<KeyPathCase> cases{
        {"\\HKEY_CURRENT_USER\\Software\\x", reg::kCurrentUser, "HKCU\\Software\\x", "Software\\x"},
        {"\\hkey_classes_root\\.txt", reg::kClassesRoot, "HKCR\\.txt", ".txt"},
        {"HKEY_LOCAL_MACHINE", reg::kLocalMachine, "HKLM", ""},
        {"\\HKEY_LOCAL_MACHINE", reg::kLocalMachine, "HKLM", ""},
        {"hklm", reg::kLocalMachine, "hklm", ""},
        // A short name after a backslash selects no root.
        {"\\HKLM\\SOFTWARE", 0, "\\HKLM\\SOFTWARE", "HKLM\\SOFTWARE"},
        {"HKEY_NOWHERE\\x", 0, "HKEY_NOWHERE\\x", "x"},
        {"", 0, "", ""},
        {"Software\\HKEY_CURRENT_USER", 0, "Software\\HKEY_CURRENT_USER", "HKEY_CURRENT_USER"},
    };
    for (const KeyPathCase& c : cases) {
        ExpectKeys(c);
    }
}

// The root is the whole text before the first backslash, and a root name further on is part
// of the subkey path.
TEST(RegStringKeys, OnlyTheLeadingRootNameCounts) {
    const std::vector<KeyPathCase> cases{
        {"HKLMXYZ\\x", 0, "HKLMXYZ\\x", "x"},
        {"HKEY_LOCAL_MACHINEXYZ\\x", 0, "HKEY_LOCAL_MACHINEXYZ\\x", "x"},
        {"HKCU\\Software\\HKEY_USERS", reg::kCurrentUser, "HKCU\\Software\\HKEY_USERS",
         "Software\\HKEY_USERS"},
        {"HKEY_CURRENT_USER\\HKEY_LOCAL_MACHINE\\HKEY_USERS", reg::kCurrentUser,
         "HKCU\\HKEY_LOCAL_MACHINE\\HKEY_USERS", "HKEY_LOCAL_MACHINE\\HKEY_USERS"},
    };
    for (const KeyPathCase& c : cases) {
        ExpectKeys(c);
    }
}

TEST(RegStringTrim, SpacesAroundAndTheFirstNul) {
    using namespace std::string_literals;
    EXPECT_EQ(TrimNull("  value \0   "s), "value");
    EXPECT_EQ(TrimNull("a\0b"s), "a");
    EXPECT_EQ(TrimNull("\0text"s), "");
}

// Values of a test key below HKEY_CURRENT_USER, removed first and last.
class RegStringRead : public ::testing::Test {
  protected:
    static constexpr std::string_view kSubkey = "Software\\KelvraTests\\PathStringTest";
    static constexpr std::string_view kPath =
        "HKEY_CURRENT_USER\\Software\\KelvraTests\\PathStringTest";

    void SetUp() override {
        reg::DeleteTree(Root(), kSubkey);
        ASSERT_EQ(reg::CreateKey(Root(), kSubkey, key_), reg::kErrorSuccess);
    }
    void TearDown() override {
        key_.reset();
        reg::DeleteTree(Root(), kSubkey);
    }

    static reg::RawKey Root() { return reg::PredefinedKey(reg::kCurrentUser); }

    void SetString(std::string_view name, std::string_view text, std::uint32_t type = reg::kRegSz) {
        ASSERT_EQ(reg::SetValue(key_.get(), name, type, platform::text::EncodeRegistryString(text)),
                  reg::kErrorSuccess);
    }
    void SetBytes(std::string_view name, std::uint32_t type, std::vector<std::uint8_t> bytes) {
        ASSERT_EQ(reg::SetValue(key_.get(), name, type, bytes), reg::kErrorSuccess);
    }

    kelvra::test::ScratchFolder scratch_;
    reg::Key key_;
};

TEST_F(RegStringRead, ValuesOfEveryLength) {
    const std::string v254(254, 'a');
    const std::string v255(255, 'b');
    const std::string v4095(4095, 'c');
    const std::string v20000(20000, 'd');
    SetString("v254", v254);
    SetString("v255", v255);
    SetString("v4095", v4095);
    SetString("v20000", v20000, reg::kRegExpandSz);
    SetString("empty", "");
    EXPECT_EQ(myRegReadString(std::string(kPath), "v254", "def"), v254);
    EXPECT_EQ(myRegReadString(std::string(kPath), "v255", "def"), v255);
    EXPECT_EQ(myRegReadString(std::string(kPath), "v4095", "def"), v4095);
    EXPECT_EQ(myRegReadString(std::string(kPath), "v20000", "def"), v20000);
    EXPECT_EQ(myRegReadString(std::string(kPath), "empty", "def"), "");
}

TEST_F(RegStringRead, TextAsStoredWithoutSurroundingSpaces) {
    SetString("spaced", "  two spaces  ");
    SetString("expand", "%SystemRoot%\\system32", reg::kRegExpandSz);
    SetString("non-ascii", "C:\\Caf\xC3\xA9");
    EXPECT_EQ(myRegReadString(std::string(kPath), "spaced", ""), "two spaces");
    EXPECT_EQ(myRegReadString(std::string(kPath), "expand", ""), "%SystemRoot%\\system32");
    EXPECT_EQ(myRegReadString("hkcu\\Software\\KelvraTests\\PathStringTest", "non-ascii", ""),
              "C:\\Caf\xC3\xA9");
}

// The type is not looked at: other data comes back as its bytes up to the first NUL.
TEST_F(RegStringRead, OtherTypesAsTheirBytes) {
    SetBytes("dword", reg::kRegDword, {0x41, 0x42, 0x00, 0x00});
    SetBytes("binary", reg::kRegBinary, {'x', 'y', 'z'});
    SetBytes("multi", reg::kRegMultiSz, {'o', 0, 'n', 0, 'e', 0, 0, 0, 't', 0, 0, 0, 0, 0});
    EXPECT_EQ(myRegReadString(std::string(kPath), "dword", "def"), "AB");
    EXPECT_EQ(myRegReadString(std::string(kPath), "binary", "def"), "xyz");
    EXPECT_EQ(myRegReadString(std::string(kPath), "multi", "def"), "one");
}

TEST_F(RegStringRead, DefaultWhenKeyValueOrRootIsMissing) {
    SetString("there", "yes");
    EXPECT_EQ(myRegReadString(std::string(kPath), "missing", "def"), "def");
    EXPECT_EQ(myRegReadString(std::string(kPath) + "\\Nowhere", "there", "def"), "def");
    EXPECT_EQ(myRegReadString("\\HKCU\\Software\\KelvraTests\\PathStringTest", "there", "def"),
              "def");
    EXPECT_EQ(myRegReadString("HKCUX\\Software\\KelvraTests\\PathStringTest", "there", "def"),
              "def");
    EXPECT_EQ(myRegReadString("\\HKEY_CURRENT_USER\\Software\\KelvraTests\\PathStringTest", "there",
                              "def"),
              "yes");
}

// A root name alone opens the root key itself.
TEST_F(RegStringRead, RootAlone) {
    const std::string name = "KelvraPathStringTestValue";
    ASSERT_EQ(reg::SetValue(Root(), name, reg::kRegSz,
                            platform::text::EncodeRegistryString("at the root")),
              reg::kErrorSuccess);
    EXPECT_EQ(myRegReadString("HKEY_CURRENT_USER", name, "def"), "at the root");
    EXPECT_EQ(myRegReadString("hkcu", name, "def"), "at the root");
    reg::DeleteValue(Root(), name);
}

}  // namespace
