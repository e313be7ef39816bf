#include "registry/key_path.h"

#include <gtest/gtest.h>

#include "platform/registry.h"

namespace registry {
namespace {

namespace reg = platform::registry;

struct PathCase {
    const char* path;
    std::uint32_t root;
    const char* subKey;
};

TEST(KeyPath, RootNamesInEveryFormAndCase) {
    const PathCase cases[] = {
        {"HKCU\\Software\\Test", reg::kCurrentUser, "Software\\Test"},
        {"HKEY_CURRENT_USER\\Software\\Test", reg::kCurrentUser, "Software\\Test"},
        {"hkey_current_user\\Software\\Test", reg::kCurrentUser, "Software\\Test"},
        {"hkcu\\Software\\Test", reg::kCurrentUser, "Software\\Test"},
        {"\\HKEY_LOCAL_MACHINE\\SOFTWARE", reg::kLocalMachine, "SOFTWARE"},
        {"HKLM", reg::kLocalMachine, ""},
        {"HKLM\\", reg::kLocalMachine, ""},
        {"HKCR\\.txt", reg::kClassesRoot, ".txt"},
        {"HKEY_CLASSES_ROOT\\.txt", reg::kClassesRoot, ".txt"},
        {"HKUS\\.DEFAULT", reg::kUsers, ".DEFAULT"},
        {"HKEY_USERS\\.DEFAULT", reg::kUsers, ".DEFAULT"},
        {"HKPD", reg::kPerformanceData, ""},
        {"HKEY_PERFORMANCE_DATA", reg::kPerformanceData, ""},
        {"HKDD\\x", reg::kDynData, "x"},
        {"HKEY_DYN_DATA\\x", reg::kDynData, "x"},
        {"HKCC\\System", reg::kCurrentConfig, "System"},
        {"HKEY_CURRENT_CONFIG\\System", reg::kCurrentConfig, "System"},
    };
    for (const PathCase& c : cases) {
        const KeyPath parsed = ParseKeyPath(c.path);
        EXPECT_EQ(parsed.root, c.root) << c.path;
        EXPECT_EQ(parsed.subKey, c.subKey) << c.path;
    }
}

TEST(KeyPath, OnlyTheTextBeforeTheFirstBackslashNamesTheRoot) {
    const PathCase cases[] = {
        // A short name after the leading backslash is a root name too.
        {"\\HKLM\\SOFTWARE", reg::kLocalMachine, "SOFTWARE"},
        // Root names inside the subkey path are ordinary key names.
        {"HKCU\\Software\\HKEY_USERS", reg::kCurrentUser, "Software\\HKEY_USERS"},
        {"HKCU\\Software\\hkcuTools", reg::kCurrentUser, "Software\\hkcuTools"},
        // A root name must be the whole first part.
        {"HKCUX\\Software", 0, "Software"},
        {"HKC\\Software", 0, "Software"},
        {"SOFTWARE\\Test", 0, "Test"},
        {"HKEY_CURRENT_USERX\\Software", 0, "Software"},
        {"\\\\HKCU\\Software", 0, "HKCU\\Software"},
        {"", 0, ""},
    };
    for (const PathCase& c : cases) {
        const KeyPath parsed = ParseKeyPath(c.path);
        EXPECT_EQ(parsed.root, c.root) << c.path;
        EXPECT_EQ(parsed.subKey, c.subKey) << c.path;
    }
}

TEST(KeyPath, LongRootPathExpandsOnlyTheLeadingRoot) {
    EXPECT_EQ(LongRootPath("HKCU\\Software\\hkcuTools"), "HKEY_CURRENT_USER\\Software\\hkcuTools");
    EXPECT_EQ(LongRootPath("\\hklm\\SOFTWARE"), "HKEY_LOCAL_MACHINE\\SOFTWARE");
    EXPECT_EQ(LongRootPath("hkey_users\\x"), "HKEY_USERS\\x");
    EXPECT_EQ(LongRootPath("HKCC"), "HKEY_CURRENT_CONFIG");
    EXPECT_EQ(LongRootPath("SOFTWARE\\HKCU"), "SOFTWARE\\HKCU");
}

}  // namespace
}  // namespace registry
