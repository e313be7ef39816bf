// The simulated loader's search and checks on the bytes of the real test DLLs.
#include "platform/sim/library_search.h"

#include <gtest/gtest.h>

#include <string>

#include "fileinfo/search_path_resolver.h"
#include "platform/kernel32.h"
#include "platform/registry.h"
#include "platform/sim/machine.h"
#include "platform/text.h"
#include "support/pe_builder.h"
#include "support/test_data.h"

namespace k32 = platform::kernel32;
namespace sim = platform::sim;
using kelvra::test::BuildPeImage;
using kelvra::test::PeDllLayout;
using kelvra::test::TestDataBytes;

namespace {

class SimLoader : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::Reset();
        m().AddFolder(kPathFolder);
        m().SetEnv("PATH", m().systemFolder + ";" + m().windowsFolder + ";" + kPathFolder);
    }
    void TearDown() override { sim::Reset(); }

    static sim::Machine& m() { return sim::machine(); }

    // Puts a test DLL into the simulated file system under a name of our choosing.
    static std::string Put(std::string_view folder, std::string_view name,
                           std::string_view testFile) {
        const std::string path = std::string(folder) + "\\" + std::string(name);
        m().AddFile(path, TestDataBytes(testFile));
        return path;
    }

    // The path LoadLibrary took the DLL from, or the error code as text.
    static std::string Load(std::string_view name) {
        const k32::Module module = k32::LoadLibrary(name);
        if (!module) {
            return "error " + std::to_string(k32::GetLastError());
        }
        return k32::GetModuleFileName(module.get());
    }

    static constexpr const char* kPathFolder = "D:\\Tools\\bin";
};

TEST_F(SimLoader, LoadsADllOfTheProcessMachineAndFreesIt) {
    const std::string path = Put(m().programFolder, "kelvra_ver2.dll", "x86/kelvra_ver2.dll");
    EXPECT_EQ(Load("kelvra_ver2.dll"), path);
    EXPECT_EQ(k32::GetLastError(), 0u);
    EXPECT_EQ(k32::GetModuleHandle("kelvra_ver2.dll"), 0u);  // released again
    // ".dll" is added to a name without an extension.
    EXPECT_EQ(Load("KELVRA_VER2"), path);
}

TEST_F(SimLoader, AnImageOfAnotherMachineOrNoImageDoesNotLoad) {
    Put(m().programFolder, "kelvra_x64.dll", "kelvra_x64.dll");
    Put(m().programFolder, "kelvra_x86.dll", "kelvra_x86.dll");
    Put(m().programFolder, "kelvra_ver2_64.dll", "x64/kelvra_ver2.dll");
    m().AddFile(m().programFolder + "\\notes.dll", "just some text, not an image");
    m().AddFile(m().programFolder + "\\stub.dll", "MZ");
    const std::string x86 = TestDataBytes("kelvra_x86.dll");
    m().AddFile(m().programFolder + "\\cut.dll", x86.substr(0, 300));

    EXPECT_EQ(Load("kelvra_x64.dll"), "error 193");
    EXPECT_EQ(Load("kelvra_ver2_64.dll"), "error 193");
    EXPECT_EQ(Load("notes.dll"), "error 193");
    EXPECT_EQ(Load("stub.dll"), "error 193");
    EXPECT_EQ(Load(m().programFolder + "\\notes.dll"), "error 193");
    EXPECT_EQ(Load("kelvra_x86.dll"), m().programFolder + "\\kelvra_x86.dll");
    // Cut short inside its headers.
    EXPECT_EQ(Load("cut.dll"), "error 193");

    // An x64 process takes the other one.
    m().processMachine = 0x8664;
    EXPECT_EQ(Load("kelvra_x64.dll"), m().programFolder + "\\kelvra_x64.dll");
    EXPECT_EQ(Load("kelvra_x86.dll"), "error 193");
}

TEST_F(SimLoader, EveryDirectImportMustBeLoadedOrFound) {
    // Imports KERNEL32.dll (loaded in every process) and kelvra_missing_dependency.dll.
    Put(m().programFolder, "kelvra_badimport.dll", "x86/kelvra_badimport.dll");
    EXPECT_EQ(Load("kelvra_badimport.dll"), "error 126");
    EXPECT_EQ(Load("kelvra_missing_dependency.dll"), "error 126");

    // A copy on the PATH that does not export KelvraMissingFunction fails the load as Windows
    // fails it; once the copy exports it, the DLL loads.
    Put(kPathFolder, "kelvra_missing_dependency.dll", "x86/kelvra_nover.dll");
    EXPECT_EQ(Load("kelvra_badimport.dll"), "error 127");
    m().AddFile(std::string(kPathFolder) + "\\kelvra_missing_dependency.dll",
                BuildPeImage(PeDllLayout().Export("KelvraMissingFunction")));
    EXPECT_EQ(Load("kelvra_badimport.dll"), m().programFolder + "\\kelvra_badimport.dll");

    // A dependency of the wrong machine fails the DLL that needs it.
    Put(kPathFolder, "kelvra_missing_dependency.dll", "x64/kelvra_nover.dll");
    EXPECT_EQ(Load("kelvra_badimport.dll"), "error 193");
}

TEST_F(SimLoader, DependenciesAreFoundByTheSameSearchAndChecked) {
    Put(m().programFolder, "kelvra_usesver2.dll", "x86/kelvra_usesver2.dll");
    EXPECT_EQ(Load("kelvra_usesver2.dll"), "error 126");

    Put(m().currentDirectory, "kelvra_ver2.dll", "x86/kelvra_ver2.dll");
    EXPECT_EQ(Load("kelvra_usesver2.dll"), m().programFolder + "\\kelvra_usesver2.dll");

    // The dependency is itself checked: it now needs a DLL that exists nowhere.
    Put(m().currentDirectory, "kelvra_ver2.dll", "x86/kelvra_badimport.dll");
    EXPECT_EQ(Load("kelvra_usesver2.dll"), "error 126");

    // A DLL that imports itself is not followed round and round; what it takes from itself
    // must be among its own exports.
    Put(m().currentDirectory, "kelvra_ver2.dll", "x86/kelvra_usesver2.dll");
    EXPECT_EQ(Load("kelvra_ver2.dll"), "error 127");
    m().AddFile(m().currentDirectory + "\\kelvra_ver2.dll",
                BuildPeImage(PeDllLayout()
                                 .Import("kelvra_ver2.dll", {"KelvraTestProbe"})
                                 .Export("KelvraTestProbe")));
    EXPECT_EQ(Load("kelvra_ver2.dll"), m().currentDirectory + "\\kelvra_ver2.dll");
}

TEST_F(SimLoader, ApiSetNamesCountAsFound) {
    std::string bytes = TestDataBytes("x86/kelvra_badimport.dll");
    const std::string missing = "kelvra_missing_dependency.dll";
    const auto at = bytes.find(missing);
    ASSERT_NE(at, std::string::npos);
    for (const std::string apiSet :
         {"api-ms-win-kelvra-l1-1-0.dll", "EXT-MS-WIN-KELVRA-L1-1-0.dll"}) {
        SCOPED_TRACE(apiSet);
        std::string patched = bytes;
        patched.replace(at, missing.size(),
                        apiSet + std::string(missing.size() - apiSet.size(), '\0'));
        m().AddFile(m().programFolder + "\\apiset.dll", patched);
        EXPECT_EQ(Load("apiset.dll"), m().programFolder + "\\apiset.dll");
    }
}

TEST_F(SimLoader, SearchRunsProgramSystemWindowsCurrentThenPath) {
    const std::string name = "kelvra_probe.dll";
    const std::string inProgram = Put(m().programFolder, name, "x86/kelvra_ver2.dll");
    const std::string inSystem = Put(m().systemFolder, name, "x86/kelvra_ver6.dll");
    const std::string inWindows = Put(m().windowsFolder, name, "x86/kelvra_nover.dll");
    const std::string inCurrent = Put(m().currentDirectory, name, "x86/kelvra_nover.dll");
    const std::string inPath = Put(kPathFolder, name, "x86/kelvra_nover.dll");

    for (const std::string& expected : {inProgram, inSystem, inWindows, inCurrent, inPath}) {
        EXPECT_EQ(Load(name), expected);
        ASSERT_TRUE(m().RemoveFile(expected));
    }
    EXPECT_EQ(Load(name), "error 126");
}

TEST_F(SimLoader, ModulesAlreadyLoadedAreTakenByNameOrPath) {
    // The process's own GDI32.dll is no real image in the simulation, and need not be.
    const k32::RawModule gdi = k32::GetModuleHandle("gdi32.dll");
    ASSERT_NE(gdi, 0u);
    const k32::Module byName = k32::LoadLibrary("GDI32");
    EXPECT_EQ(byName.get(), gdi);
    const k32::Module byPath = k32::LoadLibrary(m().systemFolder + "\\gdi32.dll");
    EXPECT_EQ(byPath.get(), gdi);

    // A copy elsewhere under the same name is not looked at.
    Put(m().programFolder, "GDI32.dll", "x64/kelvra_nover.dll");
    EXPECT_EQ(Load("GDI32.dll"), m().systemFolder + "\\GDI32.dll");
}

// A DLL that the registry's KnownDLLs key lists comes from the system folder, for the loader and
// for the walk of imports alike, although the program's folder comes first in the search.
TEST_F(SimLoader, KnownDllsComeFromTheSystemFolderForTheLoaderAndTheWalk) {
    m().AddFile(m().programFolder + "\\kw_known.dll",
                BuildPeImage(PeDllLayout().Import("kw_gone.dll", {"f"}).Export("f")));
    m().AddFile(m().systemFolder + "\\kw_known.dll", BuildPeImage(PeDllLayout().Export("f")));
    const std::string user = m().currentDirectory + "\\kw_user.dll";
    m().AddFile(user, BuildPeImage(PeDllLayout().Import("kw_known.dll", {"f"})));
    const auto walk = [&user] {
        fileinfo::FileRecords records;
        fileinfo::SearchFolderIndex folders;
        fileinfo::SearchPathResolver resolver(records, folders);
        const auto found = fileinfo::WalkImports(records.Of(user), resolver).brokenLink;
        return found ? fileinfo::BrokenLinkText(*found) : "";
    };
    EXPECT_EQ(Load("kw_user.dll"), "error 126");
    EXPECT_EQ(walk(), "it needs kw_known.dll, which needs kw_gone.dll, which cannot be found");

    m().RegistryKey(platform::registry::kLocalMachine,
                    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs")
        ->values.emplace_back(
            "kw_known",
            platform::registry::Value{platform::registry::kRegSz,
                                      platform::text::EncodeRegistryString("KW_KNOWN.dll")});
    EXPECT_EQ(Load("kw_user.dll"), user);
    EXPECT_EQ(walk(), "");
}

}  // namespace
