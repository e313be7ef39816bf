#include <gtest/gtest.h>

#include <algorithm>

#include "registry/reg_file_writer.h"
#include "registry_fixture.h"

namespace registry::test {
namespace {

namespace reg = platform::registry;

class RegistryExport : public RegistryFixture {
  protected:
    // Exports the test key (or a subkey) and returns the file's bytes; what is left out goes to
    // leftOut_.
    std::string Export(std::string_view sub = "", bool includeSubkeys = true, long expected = 1) {
        const std::string file = File("export.reg");
        platform::runtime::DeleteFile(file);
        leftOut_.clear();
        EXPECT_EQ(reg_.ExportToReg(Key(sub), file, includeSubkeys, {},
                                   [&](const ExportLeftOut& item) { leftOut_.push_back(item); }),
                  expected);
        return platform::runtime::ReadFileBytes(file).value_or("<no file>");
    }

    // Exports, deletes the test key and imports the file again.
    void RoundTrip(long expected = 1) {
        const std::string file = File("round_trip.reg");
        ASSERT_EQ(reg_.ExportToReg(Key(), file), expected);
        DeleteTestKey();
        ASSERT_EQ(reg_.ImportFromReg(file), 1);
    }

    std::vector<ExportLeftOut> leftOut_;

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

TEST_F(RegistryExport, AnEmptyKeyGivesAnEmptySectionAndAMissingKeyNone) {
    reg_.CreateKey(Key());
    EXPECT_EQ(Export(), Expected(""));
    reg_.KillKey(Key());
    // An import would create the key of a section: a missing key is not written.
    EXPECT_EQ(Export("missing", true, 0), "REGEDIT4\r\n\r\n");
    ASSERT_EQ(leftOut_.size(), 1u);
    EXPECT_EQ(leftOut_[0].keyPath, LongKey("missing"));
    EXPECT_TRUE(leftOut_[0].wholeKey);
}

TEST_F(RegistryExport, AnExistingFileIsNeverOverwritten) {
    reg_.WriteString(Key(), "a", "b");
    const std::string file = File("existing.reg");
    ASSERT_TRUE(platform::runtime::WriteFileBytes(file, "keep me"));
    EXPECT_EQ(reg_.ExportToReg(Key(), file), 0);
    EXPECT_EQ(platform::runtime::ReadFileBytes(file), "keep me");
    // Nor one that appears while the export runs; and what the export wrote goes with it.
    const std::string racing = File("racing.reg");
    EXPECT_EQ(reg_.ExportToReg(
                  Key(), racing, true,
                  [&](std::string_view) { platform::runtime::WriteFileBytes(racing, "theirs"); }),
              0);
    EXPECT_EQ(platform::runtime::ReadFileBytes(racing), "theirs");
    EXPECT_EQ(platform::runtime::Dir(racing + "*.part"), "");
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

TEST_F(RegistryExport, TextsTheQuotedFormCannotCarryAreWrittenAsAnsiHex) {
    reg_.WriteString(Key(), "", "");
    reg_.WriteString(Key(), "a_lines", "one\r\ntwo");
    SetRaw("", "b_nul", reg::kRegSz, Wide(std::string("a\0b", 3)));
    SetRaw("", "c_unended", reg::kRegSz, {'x', 0});
    reg_.WriteString(Key(), "d_cr", "\r");
    EXPECT_EQ(Export(), Expected("\"\"=hex(1):00\r\n"
                                 "\"a_lines\"=hex(1):6F,6E,65,0D,0A,74,77,6F,00\r\n"
                                 "\"b_nul\"=hex(1):61,00,62,00\r\n"
                                 "\"c_unended\"=hex(1):78\r\n"
                                 "\"d_cr\"=hex(1):0D,00\r\n"));
    const Snapshot before = TestKeySnapshot();
    RoundTrip();
    EXPECT_EQ(TestKeySnapshot(), before);
}

TEST_F(RegistryExport, ATextHoldingAKeyLineStaysAText) {
    // Written unchanged between quotes, this text would delete the key "other" on import.
    reg_.WriteString(Key("other"), "keep", "1");
    const std::string text = "x\r\n[-" + LongKey("other") + "]\r\n\"y\"=\"z";
    reg_.WriteString(Key("exported"), "text", text);
    const std::string file = File("key_line.reg");
    ASSERT_EQ(reg_.ExportToReg(Key("exported"), file), 1);
    reg_.KillValue(Key("exported"), "text");
    ASSERT_EQ(reg_.ImportFromReg(file), 1);
    EXPECT_EQ(reg_.ReadString(Key("exported"), "text"), text);
    EXPECT_EQ(reg_.ReadString(Key("other"), "keep"), "1");
}

TEST_F(RegistryExport, WhatTheFormCannotCarryIsLeftOutAndNamed) {
    reg_.WriteString(Key(), "plain", "text");
    reg_.WriteString(Key(), "say \"hi\"", "quoted name");
    reg_.WriteDWORD(Key(), "line\nbreak", 1);
    reg_.WriteBinary(Key("sub"), "inner", "01");
    EXPECT_EQ(Export("", true, 0), Expected("\"plain\"=\"text\"\r\n") + "[" + LongKey("sub") +
                                       "]\r\n\"inner\"=hex:01\r\n\r\n");
    ASSERT_EQ(leftOut_.size(), 2u);
    std::sort(leftOut_.begin(), leftOut_.end(),
              [](const auto& a, const auto& b) { return a.valueName < b.valueName; });
    EXPECT_EQ(leftOut_[0].keyPath, LongKey());
    EXPECT_EQ(leftOut_[0].valueName, "line\nbreak");
    EXPECT_FALSE(leftOut_[0].wholeKey);
    EXPECT_EQ(leftOut_[1].valueName, "say \"hi\"");
    EXPECT_FALSE(leftOut_[1].reason.empty());
}

TEST_F(RegistryExport, NamesAndTextsOutsideTheCodePageAreLeftOutNotBentToLookAlikes) {
    // "Ā" becomes "A" by best fit: both keys would merge on import.
    if (platform::kernel32::Utf8ToAnsiExact("\xC4\x80") ||
        platform::kernel32::Utf8ToAnsiExact("\xCE\xA9")) {
        GTEST_SKIP() << "this ANSI code page holds the characters of the test";
    }
    reg_.WriteString(Key("A"), "v", "plain A");
    reg_.WriteString(Key("\xC4\x80"), "v", "A with macron");
    reg_.WriteString(Key(), "omega \xCE\xA9", "x");
    reg_.WriteString(Key(), "text", "omega \xCE\xA9");
    reg_.WriteString(Key(), "kept", "caf\xC3\xA9");
    const std::string file = File("code_page.reg");
    std::vector<ExportLeftOut> leftOut;
    ASSERT_EQ(reg_.ExportToReg(Key(), file, true, {},
                               [&](const ExportLeftOut& item) { leftOut.push_back(item); }),
              0);
    std::vector<std::string> named;
    for (const ExportLeftOut& item : leftOut) {
        named.push_back(item.wholeKey ? item.keyPath : item.valueName);
    }
    std::sort(named.begin(), named.end());
    EXPECT_EQ(named, (std::vector<std::string>{LongKey("\xC4\x80"), "omega \xCE\xA9", "text"}));
    DeleteTestKey();
    ASSERT_EQ(reg_.ImportFromReg(file), 1);
    EXPECT_EQ(reg_.ReadString(Key("A"), "v"), "plain A");
    EXPECT_EQ(reg_.ReadString(Key(), "kept"), "caf\xC3\xA9");
    std::vector<std::string> values;
    std::vector<EnumeratedValue> data;
    EXPECT_EQ(reg_.EnumValues(Key(), values, data), 1);
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
