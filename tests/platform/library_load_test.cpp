// LoadLibrary on the test DLLs by full path, the same on Windows and on the simulated
// machine: the simulated loader must refuse what Windows refuses, with the same code.
#include <gtest/gtest.h>

#include <string>

#include "platform/kernel32.h"
#include "platform/runtime.h"
#include "platform/text.h"
#include "support/pe_builder.h"
#include "support/scratch_folder.h"
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

// By name, the search passes over a copy built for the other machine and takes the next one;
// when it finds only such copies, the load fails as for that image itself.
TEST(LibraryLoad, TheSearchPassesOverTheOtherMachinesCopy) {
    namespace rt = platform::runtime;
    const kelvra::test::ScratchFolder scratch;  // the current folder, searched before the PATH
    const std::string later = scratch / "later";
    ASSERT_TRUE(rt::CreateDirectory(later));
    const std::string path = rt::Environ("PATH");
    rt::SetEnviron("PATH", path + ";" + later);
    const auto build = [](std::uint16_t machine) {
        return kelvra::test::BuildPeImage(kelvra::test::PeDllLayout().ForMachine(machine));
    };
    const std::uint16_t other = k32::ProcessMachine() == 0x8664 ? 0x014C : 0x8664;
    ASSERT_TRUE(rt::WriteFileBytes(scratch / "kw_both.dll", build(other)));
    ASSERT_TRUE(rt::WriteFileBytes(later + "\\kw_both.dll", build(k32::ProcessMachine())));
    ASSERT_TRUE(rt::WriteFileBytes(scratch / "kw_other.dll", build(other)));

    if (kelvra::test::SearchStopsAtTheOtherMachine()) {
        EXPECT_EQ(LoadErrorOf("kw_both.dll"), 193u);
    } else {
        EXPECT_TRUE(platform::text::EqualsIgnoringCase(
            k32::GetModuleFileName(k32::LoadLibrary("kw_both.dll").get()),
            later + "\\kw_both.dll"));
    }
    EXPECT_EQ(LoadErrorOf("kw_other.dll"), 193u);
    rt::SetEnviron("PATH", path);
}

}  // namespace
