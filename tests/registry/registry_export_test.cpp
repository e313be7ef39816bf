#include <gtest/gtest.h>

#include "registry/reg_file_writer.h"
#include "registry_fixture.h"

namespace registry::test {
namespace {

namespace reg = platform::registry;

class RegistryExport : public RegistryFixture {
  protected:
    // Exports the test key (or a subkey) and returns the file's bytes.
    std::string Export(std::string_view sub = "", bool includeSubkeys = true) {
        const std::string file = File("export.reg");
        EXPECT_EQ(reg_.ExportToReg(Key(sub), file, includeSubkeys), 1);
        return platform::runtime::ReadFileBytes(file).value_or("<no file>");
    }

    // The header and the section of the test key with these value lines.
    std::string Expected(std::string_view valueLines) const {
        return std::string("REGEDIT4\r\n\r\n[") + LongKey() + "]\r\n" + std::string(valueLines) +
               "\r\n";
    }
};

TEST_F(RegistryExport, WorkedExampleByteForByte) {
    // Written in another order than the file lists them: the file groups them by type.
    reg_.WriteDWORD(Key(), "Count", 26);
    reg_.WriteBinary(Key(), "Data", "0A FF 00");
    reg_.WriteString(Key(), "Name", "Text");
    reg_.WriteString(Key(), "@", "Default text");
    EXPECT_EQ(Export(), Expected("@=\"Default text\"\r\n"
                                 "\"Name\"=\"Text\"\r\n"
                                 "\"Data\"=hex:0A,FF,00\r\n"
                                 "\"Count\"=dword:0000001A\r\n"));
}

TEST_F(RegistryExport, EmptyAndMissingKeysGiveAnEmptySection) {
    reg_.CreateKey(Key());
    EXPECT_EQ(Export(), Expected(""));
    reg_.KillKey(Key());
    EXPECT_EQ(Export("missing"),
              std::string("REGEDIT4\r\n\r\n[") + LongKey("missing") + "]\r\n\r\n");
}

TEST_F(RegistryExport, AnExistingFileIsNeverOverwritten) {
    reg_.WriteString(Key(), "a", "b");
    const std::string file = File("existing.reg");
    ASSERT_TRUE(platform::runtime::WriteFileBytes(file, "keep me"));
    EXPECT_EQ(reg_.ExportToReg(Key(), file), 0);
    EXPECT_EQ(platform::runtime::ReadFileBytes(file), "keep me");
}

TEST_F(RegistryExport, DwordBinaryAndDefaultValueLines) {
    // Created in name order: Windows lists values as created, Wine by name.
    reg_.WriteDWORD(Key(), "", 5);
    reg_.WriteBinary(Key(), "empty", "");
    reg_.WriteDWORD(Key(), "minus", -1);
    reg_.WriteString(Key(), "q_quote", "say \"hi\" to C:\\dir\\");
    reg_.WriteString(Key(), "r_blank", "");
    EXPECT_EQ(Export(), Expected("\"q_quote\"=\"say \"hi\" to C:\\dir\\\"\r\n"
                                 "\"r_blank\"=\"\"\r\n"
                                 "\"empty\"=hex:\r\n"
                                 "\"\"=dword:00000005\r\n"
                                 "\"minus\"=dword:FFFFFFFF\r\n"));
}

TEST_F(RegistryExport, EmptyDefaultTextWritesNoLine) {
    reg_.WriteString(Key(), "", "");
    EXPECT_EQ(Export(), Expected(""));
}

TEST_F(RegistryExport, EveryOtherTypeAsHexWithItsTypeNumber) {
    SetRaw("", "a_expand", reg::kRegExpandSz, Wide("%A%"));
    SetRaw("", "b_multi", reg::kRegMultiSz, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0});
    SetRaw("", "c_qword", reg::kRegQword, {1, 2, 3, 4, 5, 6, 7, 8});
    SetRaw("", "d_none", reg::kRegNone, {});
    SetRaw("", "e_shortDword", reg::kRegDword, {1, 2});
    EXPECT_EQ(Export(), Expected("\"a_expand\"=hex(2):25,41,25,00\r\n"
                                 "\"b_multi\"=hex(7):61,00,62,00,00\r\n"
                                 "\"c_qword\"=hex(b):01,02,03,04,05,06,07,08\r\n"
                                 "\"d_none\"=hex(0):\r\n"
                                 "\"e_shortDword\"=hex(4):01,02\r\n"));
}

TEST_F(RegistryExport, SubtreeIsWrittenDepthFirstWithLongRootNamesOnlyAtTheStart) {
    reg_.WriteString(Key("b\\b1"), "v", "1");
    reg_.WriteString(Key("hkcuTools"), "v", "2");
    reg_.CreateKey(Key("a"));
    std::vector<std::string> progress;
    const std::string file = File("tree.reg");
    ASSERT_EQ(reg_.ExportToReg(Key(), file, true,
                               [&](std::string_view path) { progress.emplace_back(path); }),
              1);
    EXPECT_EQ(progress, (std::vector<std::string>{LongKey(), LongKey("a"), LongKey("b"),
                                                  LongKey("b\\b1"), LongKey("hkcuTools")}));
    const auto section = [&](std::string_view sub, std::string_view lines) {
        return "[" + LongKey(sub) + "]\r\n" + std::string(lines) + "\r\n";
    };
    EXPECT_EQ(platform::runtime::ReadFileBytes(file),
              std::string(kRegFileHeader) + section("", "") + section("a", "") + section("b", "") +
                  section("b\\b1", "\"v\"=\"1\"\r\n") + section("hkcuTools", "\"v\"=\"2\"\r\n"));
}

TEST_F(RegistryExport, WithoutSubkeysOnlyTheKeyItself) {
    reg_.WriteString(Key(), "top", "1");
    reg_.WriteString(Key("sub"), "inner", "2");
    EXPECT_EQ(Export("", false), Expected("\"top\"=\"1\"\r\n"));
}

}  // namespace
}  // namespace registry::test
