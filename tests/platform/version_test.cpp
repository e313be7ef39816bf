// version.dll on the test DLLs, the same on Windows and on the simulated machine.
#include "platform/version.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_data.h"

namespace {

using kelvra::test::NativeArchFolder;
using kelvra::test::OtherArchFolder;
using kelvra::test::PlatformTestFile;
namespace version = platform::version;

std::optional<version::FixedFileInfo> RootBlockOf(const std::string& path) {
    const auto block = version::GetFileVersionInfo(path);
    return block ? version::QueryRootBlock(*block) : std::nullopt;
}

TEST(VersionResource, FixedFileInfoOfTheTestDlls) {
    const std::string native(NativeArchFolder());
    const auto ver2 = RootBlockOf(PlatformTestFile(native + "/kelvra_ver2.dll"));
    ASSERT_TRUE(ver2);
    EXPECT_EQ(ver2->signature, 0xFEEF04BDu);
    EXPECT_EQ(ver2->fileVersionMS, 0x00020000u);
    EXPECT_EQ(ver2->fileVersionLS, 0xC627002Au);

    const auto ver6 = RootBlockOf(PlatformTestFile(native + "/kelvra_ver6.dll"));
    ASSERT_TRUE(ver6);
    EXPECT_EQ(ver6->fileVersionMS, 0x00060000u);
    EXPECT_EQ(ver6->fileVersionLS, 0x1FE90000u);

    // The resource is read from the file: an image of the other machine has it too.
    const auto other =
        RootBlockOf(PlatformTestFile(std::string(OtherArchFolder()) + "/kelvra_ver2.dll"));
    ASSERT_TRUE(other);
    EXPECT_EQ(other->fileVersionLS, 0xC627002Au);
}

TEST(VersionResource, NoneForFilesWithoutOne) {
    const std::string native(NativeArchFolder());
    EXPECT_EQ(version::GetFileVersionInfo(PlatformTestFile(native + "/kelvra_nover.dll")),
              std::nullopt);
    EXPECT_EQ(version::GetFileVersionInfo(PlatformTestFile(native + "/kelvra_badimport.dll")),
              std::nullopt);
    EXPECT_EQ(version::GetFileVersionInfo("Unable to locate"), std::nullopt);
}

TEST(VersionResource, RootBlockOfDamagedBlocks) {
    const auto block = version::GetFileVersionInfo(
        PlatformTestFile(std::string(NativeArchFolder()) + "/kelvra_ver2.dll"));
    ASSERT_TRUE(block);
    // A length field beyond the bytes given, and blocks cut short.
    auto tooLong = *block;
    tooLong[0] = 0xFF;
    tooLong[1] = 0xFF;
    EXPECT_EQ(version::QueryRootBlock(tooLong), std::nullopt);
    EXPECT_EQ(version::QueryRootBlock({}), std::nullopt);
    const std::vector<std::uint8_t> header(block->begin(), block->begin() + 40);
    EXPECT_EQ(version::QueryRootBlock(header), std::nullopt);
}

}  // namespace
