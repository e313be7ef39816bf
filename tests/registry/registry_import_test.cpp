#include <gtest/gtest.h>

#include "registry_fixture.h"

namespace registry::test {
namespace {

namespace reg = platform::registry;

class RegistryImport : public RegistryFixture {
  protected:
    // Writes `lines` (each ended with CR LF) to a file and imports it.
    long Import(std::string_view header, const std::vector<std::string>& lines) {
        std::string text = std::string(header) + "\r\n";
        for (const std::string& line : lines) {
            text += line + "\r\n";
        }
        const std::string file = File("import.reg");
        EXPECT_TRUE(platform::runtime::WriteFileBytes(file, platform::kernel32::Utf8ToAnsi(text)));
        return reg_.ImportFromReg(file);
    }

    long Import(const std::vector<std::string>& lines) { return Import("REGEDIT4", lines); }

    std::string Section(std::string_view sub = "") const {
        return std::string("[") + LongKey(sub) + "]";
    }
};

TEST_F(RegistryImport, EachValueLineForm) {
    ASSERT_EQ(Import({"", Section(), "@=\"default\"", "\"str\"=\"text\"", "\"bin\"=hex:0a,FF,00",
                      "\"num\"=dword:0000001a", "\"neg\"=DWORD:FFFFFFFF", "\"raw\"=unquoted",
                      "\"empty\"=hex:", "\"upper\"=HEX:01"}),
              1);
    EXPECT_EQ(reg_.ReadString(Key(), ""), "default");
    EXPECT_EQ(reg_.ReadString(Key(), "str"), "text");
    EXPECT_EQ(reg_.ReadBinary(Key(), "bin"), "0A FF 00");
    EXPECT_EQ(GetRaw("", "num").type, reg::kRegDword);
    EXPECT_EQ(reg_.ReadDWORD(Key(), "num"), 26);
    EXPECT_EQ(reg_.ReadDWORD(Key(), "neg"), -1);
    EXPECT_EQ(reg_.ReadString(Key(), "raw"), "unquoted");
    EXPECT_TRUE(reg_.ValueExists(Key(), "empty"));
    EXPECT_EQ(reg_.ReadBinary(Key(), "empty", "dflt"), "");
    EXPECT_EQ(reg_.ReadBinary(Key(), "upper"), "01");
}

TEST_F(RegistryImport, ShortRootNamesAndDeletions) {
    reg_.WriteString(Key(), "gone", "x");
    reg_.WriteString(Key(), "", "x");
    reg_.WriteString(Key(), "@", "x");
    ASSERT_EQ(Import({std::string("[") + Key() + "]", "\"gone\"=-", "@=-", "\"new\"=\"v\""}), 1);
    EXPECT_FALSE(reg_.ValueExists(Key(), "gone"));
    EXPECT_FALSE(reg_.ValueExists(Key(), ""));
    EXPECT_EQ(reg_.ReadString(Key(), "new"), "v");
}

TEST_F(RegistryImport, EmptyDefaultTextDeletesTheDefaultValue) {
    reg_.WriteString(Key(), "", "x");
    ASSERT_EQ(Import({Section(), "@=\"\""}), 1);
    EXPECT_FALSE(reg_.ValueExists(Key(), ""));
    EXPECT_TRUE(reg_.KeyExists(Key()));
}

TEST_F(RegistryImport, NamesQuotesAndEqualsSigns) {
    ASSERT_EQ(Import({Section(), "\"Name\"=\"a=b\"", "\"quoted\"=\"say \"hi\" now\"",
                      "\"spaced\" = \"  both ends  \"", "\"a=b\"=\"c\"", "\"back\\\"=\"C:\\dir\\\"",
                      "\"@\"=\"literal\""}),
              1);
    EXPECT_EQ(reg_.ReadString(Key(), "Name"), "a=b");
    EXPECT_EQ(reg_.ReadString(Key(), "quoted"), "say \"hi\" now");
    EXPECT_EQ(reg_.ReadString(Key(), "spaced"), "  both ends  ");
    EXPECT_EQ(reg_.ReadString(Key(), "a=b"), "c");
    EXPECT_EQ(reg_.ReadString(Key(), "back\\"), "C:\\dir\\");
    EXPECT_EQ(reg_.ReadString(Key(), "@"), "literal");
    EXPECT_FALSE(reg_.ValueExists(Key(), ""));
}

TEST_F(RegistryImport, AtIsTheDefaultValueForEveryType) {
    ASSERT_EQ(Import({Section(), "@=hex:01,02"}), 1);
    EXPECT_EQ(GetRaw("", "").type, reg::kRegBinary);
    EXPECT_EQ(reg_.ReadBinary(Key(), ""), "01 02");
    ASSERT_EQ(Import({Section(), "@=dword:00000007"}), 1);
    EXPECT_EQ(reg_.ReadDWORD(Key(), ""), 7);
    EXPECT_FALSE(reg_.ValueExists(Key(), "@"));
}

TEST_F(RegistryImport, WrappedHexListsContinueAfterABackslash) {
    ASSERT_EQ(Import({Section(), "\"wrapped\"=hex:01,02,\\", "  03,04,\\", "  05",
                      "\"after\"=dword:00000001", "\"atEnd\"=hex:0a,\\"}),
              1);
    EXPECT_EQ(reg_.ReadBinary(Key(), "wrapped"), "01 02 03 04 05");
    EXPECT_EQ(reg_.ReadDWORD(Key(), "after"), 1);
    EXPECT_EQ(reg_.ReadBinary(Key(), "atEnd"), "0A");
}

TEST_F(RegistryImport, TypedHexListsWriteThatType) {
    ASSERT_EQ(
        Import({Section(), "\"expand\"=hex(2):25,41,25,00", "\"multi\"=hex(7):61,00,62,63,00,00,\\",
                "  ", "\"qword\"=hex(b):01,00,00,00,00,00,00,00", "\"bad\"=hex(zz):01"}),
        1);
    EXPECT_EQ(GetRaw("", "expand").type, reg::kRegExpandSz);
    EXPECT_EQ(GetRaw("", "expand").data, Wide("%A%"));
    EXPECT_EQ(GetRaw("", "multi").type, reg::kRegMultiSz);
    EXPECT_EQ(GetRaw("", "multi").data,
              (std::vector<std::uint8_t>{'a', 0, 0, 0, 'b', 0, 'c', 0, 0, 0, 0, 0}));
    EXPECT_EQ(GetRaw("", "qword").type, reg::kRegQword);
    EXPECT_EQ(GetRaw("", "qword").data, (std::vector<std::uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(reg_.ValueExists(Key(), "bad"));
}

TEST_F(RegistryImport, MalformedDwordLinesAreSkipped) {
    ASSERT_EQ(Import({Section(), "\"long\"=dword:123456789", "\"none\"=dword:", "\"junk\"=dword:zz",
                      "\"short\"=dword:1a", "\"next\"=\"ok\""}),
              1);
    EXPECT_FALSE(reg_.ValueExists(Key(), "long"));
    EXPECT_FALSE(reg_.ValueExists(Key(), "none"));
    EXPECT_FALSE(reg_.ValueExists(Key(), "junk"));
    EXPECT_EQ(reg_.ReadDWORD(Key(), "short"), 26);
    EXPECT_EQ(reg_.ReadString(Key(), "next"), "ok");
}

TEST_F(RegistryImport, DeletingAKeyDeletesItsSubtree) {
    reg_.WriteString(Key("old\\child\\grandchild"), "v", "x");
    reg_.WriteString(Key("kept"), "v", "x");
    ASSERT_EQ(Import({std::string("[-") + LongKey("old") + "]", "\"ignored\"=\"after deletion\"",
                      std::string("[-") + LongKey("missing") + "]"}),
              1);
    EXPECT_FALSE(reg_.KeyExists(Key("old")));
    EXPECT_TRUE(reg_.KeyExists(Key("kept")));
    EXPECT_FALSE(reg_.ValueExists(Key("old"), "ignored"));
}

TEST_F(RegistryImport, HeaderRules) {
    EXPECT_EQ(Import("regedit4", {Section(), "\"a\"=\"1\""}), 1);
    EXPECT_EQ(reg_.ReadString(Key(), "a"), "1");
    EXPECT_EQ(Import(" REGEDIT4", {Section(), "\"b\"=\"1\""}), 0);
    EXPECT_EQ(Import("Windows Registry Editor Version 5.00", {Section(), "\"b\"=\"1\""}), 0);
    EXPECT_FALSE(reg_.ValueExists(Key(), "b"));

    // Lines end with CR LF only.
    const std::string file = File("lf.reg");
    platform::runtime::WriteFileBytes(file,
                                      std::string("REGEDIT4\n") + Section() + "\n\"c\"=\"1\"\n");
    EXPECT_EQ(reg_.ImportFromReg(file), 0);
    platform::runtime::DeleteFile(file);
    platform::runtime::WriteFileBytes(file, "");
    EXPECT_EQ(reg_.ImportFromReg(file), 0);
    EXPECT_EQ(reg_.ImportFromReg(File("missing.reg")), 0);
}

TEST_F(RegistryImport, ImportTurnsKeyCreationBackOn) {
    reg_.CreateKeyIfDoesntExists(false);
    EXPECT_EQ(reg_.ImportFromReg(File("missing.reg")), 0);
    EXPECT_TRUE(reg_.CreateKeyIfDoesntExists());
    reg_.CreateKeyIfDoesntExists(false);
    ASSERT_EQ(Import({Section("new\\deep"), "\"a\"=\"1\""}), 1);
    EXPECT_EQ(reg_.ReadString(Key("new\\deep"), "a"), "1");
}

TEST_F(RegistryImport, LinesThatAreNoValueLinesArePassedOver) {
    ASSERT_EQ(Import({"\"before\"=\"first section\"", Section(), "; \"comment\"=\"1\"",
                      "   ;\"indented\"=\"1\"", "no equals sign", "unquoted=1", "\"open=1", "",
                      "\"real\"=\"1\"", Section("empty"), "", "; nothing here",
                      std::string("[") + LongKey("unclosed"), "\"lost\"=\"1\""}),
              1);
    std::vector<std::string> names;
    std::vector<EnumeratedValue> values;
    ASSERT_EQ(reg_.EnumValues(Key(), names, values), 1);
    EXPECT_EQ(names, std::vector<std::string>{"real"});
    // A section without values creates nothing.
    EXPECT_FALSE(reg_.KeyExists(Key("empty")));
    EXPECT_FALSE(reg_.KeyExists(Key("unclosed")));
}

}  // namespace
}  // namespace registry::test
