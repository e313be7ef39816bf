// LoadLibrary on the test DLLs by full path, the same on Windows and on the simulated
// machine: the simulated loader must refuse what Windows refuses, with the same code.
#include <gtest/gtest.h>

#include <string>

#include "platform/kernel32.h"
#include "platform/text.h"
#include "support/test_data.h"

namespace {

using kelvra::test::NativeArchFolder;
using kelvra::test::OtherArchFolder;
using kelvra::test::PlatformTestFile;
namespace k32 = platform::kernel32;

// 0 when the DLL loads, else the last-error code of the failed load.
std::uint32_t LoadErrorOf(const std::string& path) {
    const k32::Module module = k32::LoadLibrary(path);
    return module ? 0 : k32::GetLastError();
}

TEST(LibraryLoad, ImagesOfTheProcessMachineLoad) {
    const std::string path = PlatformTestFile(std::string(NativeArchFolder()) + "/kelvra_ver2.dll");
    const k32::Module module = k32::LoadLibrary(path);
    ASSERT_TRUE(module);
    EXPECT_TRUE(platform::text::EqualsIgnoringCase(k32::GetModuleFileName(module.get()), path));
}

TEST(LibraryLoad, ImagesOfTheOtherMachineGiveBadExeFormat) {
    EXPECT_EQ(LoadErrorOf(PlatformTestFile(std::string(OtherArchFolder()) + "/kelvra_ver2.dll")),
              193u);
    EXPECT_EQ(LoadErrorOf(PlatformTestFile(std::string(OtherArchFolder()) + "/kelvra_nover.dll")),
              193u);
}

TEST(LibraryLoad, AMissingImportGivesModuleNotFound) {
    const std::string native(NativeArchFolder());
    EXPECT_EQ(LoadErrorOf(PlatformTestFile(native + "/kelvra_badimport.dll")), 126u);

    // kelvra_usesver2.dll finds kelvra_ver2.dll only while that module is loaded: the folder
    // of the DLL being loaded is not searched for its imports.
    const std::string uses = PlatformTestFile(native + "/kelvra_usesver2.dll");
    EXPECT_EQ(LoadErrorOf(uses), 126u);
    const k32::Module ver2 = k32::LoadLibrary(PlatformTestFile(native + "/kelvra_ver2.dll"));
    ASSERT_TRUE(ver2);
    EXPECT_EQ(LoadErrorOf(uses), 0u);
}

}  // namespace
