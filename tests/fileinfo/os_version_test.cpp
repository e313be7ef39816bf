#include "fileinfo/os_version.h"

#include <gtest/gtest.h>

#include "fileinfo/dll_version.h"

namespace {

using platform::kernel32::OsVersionInfo;

std::string Name(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor,
                 std::uint32_t build = 0) {
    return fileinfo::OsNameFor(OsVersionInfo{major, minor, build, platformId});
}

TEST(OsName, NamesEveryVersionOfTheTable) {
    EXPECT_EQ(Name(1, 4, 0), "Windows 95");
    EXPECT_EQ(Name(1, 4, 10), "Windows 98");
    EXPECT_EQ(Name(2, 3, 51), "Windows NT 3.51");
    EXPECT_EQ(Name(2, 4, 0, 1381), "Windows NT 4.0");
    EXPECT_EQ(Name(2, 4, 0, 99999), "Windows NT 4.0");
    EXPECT_EQ(Name(2, 5, 0, 2195), "Windows 2000 (Build 2195)");
}

TEST(OsName, EveryOtherVersionAndAFailedQueryAreUnknown) {
    EXPECT_EQ(Name(2, 5, 1, 2600), "Unknown");
    EXPECT_EQ(Name(2, 5, 2), "Unknown");
    EXPECT_EQ(Name(2, 6, 1), "Unknown");
    EXPECT_EQ(Name(2, 10, 0, 19045), "Unknown");
    EXPECT_EQ(Name(1, 4, 90), "Unknown");
    EXPECT_EQ(Name(1, 3, 51), "Unknown");  // the platform decides as much as the numbers
    EXPECT_EQ(Name(2, 4, 10), "Unknown");
    EXPECT_EQ(Name(0, 4, 0), "Unknown");
    EXPECT_EQ(fileinfo::OsNameFor(std::nullopt), "Unknown");
}

// Every Windows that runs this program (7 and later) and Wine report versions beyond the
// table; so does the simulated machine's default record (5.1, build 2600).
TEST(OsName, TheRunningSystemIsUnknown) {
    EXPECT_EQ(fileinfo::CDLLVersion{}.GetOSVersion(), "Unknown");
}

}  // namespace
