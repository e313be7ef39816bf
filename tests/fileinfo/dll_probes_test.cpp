// The PATH report's DLL probes and the data-access version lookup, on the platform at hand.
#include "fileinfo/dll_probes.h"

#include <gtest/gtest.h>

#include "fileinfo/mdac_version.h"
#include "platform/registry.h"
#include "platform/runtime.h"
#include "platform/text.h"
#include "support/scratch_folder.h"
#include "support/test_data.h"

namespace {

using kelvra::test::NativeArchFolder;
using kelvra::test::OtherArchFolder;
using kelvra::test::ScratchFolder;
using kelvra::test::TestDataBytes;
namespace reg = platform::registry;
namespace rt = platform::runtime;

std::string Copy(const ScratchFolder& scratch, std::string_view testFile, std::string_view name) {
    const std::string target = scratch / name;
    EXPECT_TRUE(rt::WriteFileBytes(target, TestDataBytes(testFile)));
    return target;
}

std::string Arch(std::string_view folder, std::string_view name) {
    return std::string(folder) + "/" + std::string(name);
}

TEST(DllMachineType, ReadsThePeHeader) {
    ScratchFolder scratch;
    EXPECT_EQ(fileinfo::get_dll_machine_type(Copy(scratch, "kelvra_x86.dll", "a.dll")), 1);
    EXPECT_EQ(fileinfo::get_dll_machine_type(Copy(scratch, "kelvra_x64.dll", "b.dll")), 2);

    ASSERT_TRUE(rt::WriteFileBytes(scratch / "short.dll", "MZ" + std::string(40, '\0')));
    EXPECT_EQ(fileinfo::get_dll_machine_type(scratch / "short.dll"), 0);

    EXPECT_EQ(fileinfo::get_dll_machine_type(scratch / "missing.dll"), 0);
    EXPECT_FALSE(rt::FileLen(scratch / "missing.dll").has_value()) << "the probe made a file";

    std::string pastEnd = TestDataBytes("kelvra_x86.dll").substr(0, 256);
    pastEnd[0x3C] = '\x00';
    pastEnd[0x3D] = '\x10';  // 0x1000: beyond the 256 bytes kept
    ASSERT_TRUE(rt::WriteFileBytes(scratch / "past.dll", pastEnd));
    EXPECT_EQ(fileinfo::get_dll_machine_type(scratch / "past.dll"), 0);

    // "PE" and an x86 machine in the DOS stub do not hide the x64 header.
    std::string decoy = TestDataBytes("kelvra_x64.dll");
    decoy.replace(0x40, 6, std::string("PE\0\0\x4C\x01", 6));
    ASSERT_TRUE(rt::WriteFileBytes(scratch / "decoy.dll", decoy));
    EXPECT_EQ(fileinfo::get_dll_machine_type(scratch / "decoy.dll"), 2);
}

TEST(DllProbes, VersionText) {
    ScratchFolder scratch;
    EXPECT_EQ(fileinfo::GetFileVersionData(
                  Copy(scratch, Arch(NativeArchFolder(), "kelvra_ver2.dll"), "v.dll")),
              "2.0.50727.42");
    EXPECT_EQ(fileinfo::GetFileVersionData(
                  Copy(scratch, Arch(NativeArchFolder(), "kelvra_nover.dll"), "n.dll")),
              "");
    EXPECT_EQ(fileinfo::GetFileVersionData(scratch / "missing.dll"), "");
    EXPECT_EQ(fileinfo::apiHiWord(0xC627002A), 50727u);
    EXPECT_EQ(fileinfo::apiLoWord(0xC627002A), 42u);
    EXPECT_EQ(fileinfo::apiHiWord(0), 0u);
}

TEST(DllProbes, LoadedAndLoadable) {
    ScratchFolder scratch;
    bool flag = false;
    EXPECT_TRUE(fileinfo::is_dll_loaded("GDI32.dll", flag));
    EXPECT_FALSE(flag) << "left as passed for a loaded module";

    const std::string loadable =
        Copy(scratch, Arch(NativeArchFolder(), "kelvra_ver2.dll"), "KelvraLoadable.dll");
    EXPECT_FALSE(fileinfo::is_dll_loaded("KelvraLoadable.dll", flag, loadable));
    EXPECT_TRUE(flag);

    const std::string missingImport =
        Copy(scratch, Arch(NativeArchFolder(), "kelvra_badimport.dll"), "KelvraBadImport.dll");
    flag = true;
    EXPECT_FALSE(fileinfo::is_dll_loaded("KelvraBadImport.dll", flag, missingImport));
    EXPECT_FALSE(flag);

    const std::string otherMachine =
        Copy(scratch, Arch(OtherArchFolder(), "kelvra_ver2.dll"), "KelvraOther.dll");
    flag = true;
    EXPECT_FALSE(fileinfo::is_dll_loaded("KelvraOther.dll", flag, otherMachine));
    EXPECT_FALSE(flag);

    // An import found by the library search counts: kelvra_ver2.dll beside it in the current
    // folder.
    Copy(scratch, Arch(NativeArchFolder(), "kelvra_ver2.dll"), "kelvra_ver2.dll");
    const std::string withImport =
        Copy(scratch, Arch(NativeArchFolder(), "kelvra_usesver2.dll"), "KelvraUses.dll");
    EXPECT_TRUE(fileinfo::CanDllBeLoaded(withImport));
    EXPECT_FALSE(fileinfo::CanDllBeLoaded(scratch / "missing.dll"));
    // Nothing was loaded to find this out.
    EXPECT_FALSE(fileinfo::is_dll_loaded("KelvraLoadable.dll", flag, loadable));
}

class DataAccessVersion : public ::testing::Test {
  protected:
    static constexpr const char* kKey = "Software\\KelvraTests\\DataAccess";
    void SetUp() override { Remove(); }
    void TearDown() override { Remove(); }
    static void Remove() { reg::DeleteTree(reg::PredefinedKey(reg::kCurrentUser), kKey); }
    static void Set(std::string_view name, std::uint32_t type, std::vector<std::uint8_t> data) {
        reg::Key key;
        ASSERT_EQ(reg::CreateKey(reg::PredefinedKey(reg::kCurrentUser), kKey, key), 0);
        ASSERT_EQ(reg::SetValue(key.get(), name, type, data), 0);
    }
    static std::pair<bool, std::string> Read(std::string_view name, std::string before = "x") {
        const bool ok = fileinfo::GetKeyValue(reg::kCurrentUser, kKey, std::string(name), before);
        return {ok, before};
    }
};

TEST_F(DataAccessVersion, ReadsStringsDwordsAndExpandableTexts) {
    Set("text", reg::kRegSz, platform::text::EncodeRegistryString("2.81.1117.0"));
    Set("number", reg::kRegDword, {0x05, 0x00, 0x01, 0x00});
    Set("expand", reg::kRegExpandSz, platform::text::EncodeRegistryString("%Ver%.1"));
    Set("bytes", reg::kRegBinary, {1, 2});
    EXPECT_EQ(Read("text"), std::make_pair(true, std::string("2.81.1117.0")));
    EXPECT_EQ(Read("number"), std::make_pair(true, std::string("&h10005")));
    EXPECT_EQ(Read("expand"), std::make_pair(true, std::string("%Ver%.1")));
    EXPECT_EQ(Read("bytes"), std::make_pair(true, std::string("x")));
    EXPECT_EQ(Read("missing"), std::make_pair(false, std::string()));
    std::string value = "x";
    EXPECT_FALSE(fileinfo::GetKeyValue(reg::kCurrentUser, "Software\\KelvraTests\\NoSuchKey",
                                       "FullInstallVer", value));
    EXPECT_EQ(value, "");
}

// The machine-wide key is the test run's scratch key on Windows, and fresh on the simulation.
TEST_F(DataAccessVersion, TheMachinesVersionOrNA) {
    const auto machine = reg::PredefinedKey(reg::kLocalMachine);
    reg::DeleteTree(machine, "SOFTWARE\\Microsoft\\DataAccess");
    EXPECT_EQ(fileinfo::GetMdacVersion(), "N/A");
    reg::Key key;
    ASSERT_EQ(reg::CreateKey(machine, "SOFTWARE\\Microsoft\\DataAccess", key), 0);
    EXPECT_EQ(fileinfo::GetMdacVersion(), "N/A");
    ASSERT_EQ(reg::SetValue(key.get(), "FullInstallVer", reg::kRegSz,
                            platform::text::EncodeRegistryString("2.81.1117.0")),
              0);
    EXPECT_EQ(fileinfo::GetMdacVersion(), "2.81.1117.0");
    key.reset();
    reg::DeleteTree(machine, "SOFTWARE\\Microsoft\\DataAccess");
}

}  // namespace
