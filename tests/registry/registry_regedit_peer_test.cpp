// Wine's own regedit as the peer of ImportFromReg and ExportToReg: the same file must give the
// same registry through "regedit /s" and through our import, and the Unicode form must go both
// ways, ours into regedit and regedit's into ours. Runs only on Windows builds with
// KELVRA_WINE_REGEDIT=1 set.
#include <gtest/gtest.h>

#include <cstdlib>

#include "registry_fixture.h"

namespace registry::test {
namespace {

namespace reg = platform::registry;

bool PeerWanted() {
#if defined(_WIN32)
    const char* flag = std::getenv("KELVRA_WINE_REGEDIT");
    return flag != nullptr && std::string_view(flag) == "1";
#else
    return false;
#endif
}

class RegistryRegeditPeer : public RegistryFixture {
  protected:
    void SetUp() override {
        if (!PeerWanted()) {
            GTEST_SKIP() << "set KELVRA_WINE_REGEDIT=1 on a Windows build to compare with regedit";
        }
        RegistryFixture::SetUp();
    }

    // The test key's tree after `prepare` and then the file through regedit /s, and after
    // `prepare` and then the file through ImportFromReg.
    template <typename Prepare>
    std::pair<Snapshot, Snapshot> BothWays(const std::string& file, Prepare prepare) {
        DeleteTestKey();
        prepare();
        const std::string command = "start /wait regedit /s \"" + file + "\"";
        EXPECT_EQ(std::system(command.c_str()), 0);
        Snapshot byRegedit = TestKeySnapshot();
        DeleteTestKey();
        prepare();
        EXPECT_EQ(reg_.ImportFromReg(file), 1);
        return {std::move(byRegedit), TestKeySnapshot()};
    }
};

TEST_F(RegistryRegeditPeer, OurExportImportsAlikeThroughBoth) {
    reg_.WriteString(Key(), "@", "default");
    reg_.WriteString(Key(), "text", "  a = b ; [c]  ");
    reg_.WriteString(Key(), "empty", "");
    reg_.WriteBinary(Key("sub"), "bin", "00 01 FE FF");
    reg_.WriteBinary(Key("sub"), "", "0A");
    reg_.WriteDWORD(Key("sub\\deeper"), "num", -2);
    SetRaw("sub", "expand", reg::kRegExpandSz, Wide("%SystemRoot%\\x"));
    SetRaw("sub", "multi", reg::kRegMultiSz, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0});
    SetRaw("sub\\deeper", "qword", reg::kRegQword, {1, 2, 3, 4, 5, 6, 7, 8});
    // Texts that only hex(1) carries: line breaks, a NUL inside, the empty default text.
    reg_.WriteString(Key(), "lines", "first line\r\n[-" + LongKey("sub") + "]\r\nlast");
    SetRaw("sub", "nul", reg::kRegSz, Wide(std::string("a\0b", 3)));
    reg_.WriteString(Key("sub\\deeper"), "", "");
    const Snapshot original = TestKeySnapshot();
    const std::string file = File("ours.reg");
    ASSERT_EQ(reg_.ExportToReg(Key(), file), 1);

    const auto [byRegedit, byImport] = BothWays(file, [] {});
    EXPECT_EQ(byImport, byRegedit);
    EXPECT_EQ(byImport, original);
}

TEST_F(RegistryRegeditPeer, EditorFormImportsAlikeThroughBoth) {
    const std::string key = LongKey();
    const std::string text =
        "REGEDIT4\r\n"
        "\r\n"
        "; written the way registry editors write\r\n"
        "[-" +
        key +
        "\\old]\r\n"
        "\r\n"
        "[" +
        key +
        "]\r\n"
        "@=\"default text\"\r\n"
        "\"wrapped\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,\\\r\n"
        "  15,16,17,18,19,1a,1b,1c,1d,1e,1f\r\n"
        "\"expand\"=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,5c,61,00\r\n"
        "\"multi\"=hex(7):6f,6e,65,00,74,77,6f,00,00\r\n"
        "; a comment between values\r\n"
        "\"number\"=dword:0000ffff\r\n"
        "\r\n"
        "[" +
        key +
        "\\binary default]\r\n"
        "@=hex:de,ad\r\n"
        "\r\n"
        "[" +
        key +
        "\\dword default]\r\n"
        "@=dword:00000001\r\n"
        "\"plain\"=\"text\"\r\n"
        "\r\n";
    const std::string file = File("editor.reg");
    ASSERT_TRUE(platform::runtime::WriteFileBytes(file, text));

    const auto [byRegedit, byImport] = BothWays(file, [this] {
        reg_.WriteString(Key("old\\child\\grandchild"), "v", "x");
        reg_.WriteString(Key("old"), "v", "x");
    });
    EXPECT_EQ(byImport, byRegedit);
    EXPECT_FALSE(reg_.KeyExists(Key("old")));
    EXPECT_EQ(reg_.ReadBinary(Key(), "wrapped").size(), 32u * 3 - 1);
}

TEST_F(RegistryRegeditPeer, TheUnicodeFormGoesBothWaysValueForValue) {
    // Without string data that is no text with one NUL: Wine's regedit exports it changed.
    WriteAwkwardTree(false);
    const Snapshot original = TestKeySnapshot();
    const std::string ours = File("ours_unicode.reg");
    ASSERT_EQ(reg_.ExportToReg(Key(), ours, true, {}, {}, RegScriptForm::kUnicode), 1);
    const auto [byRegedit, byImport] = BothWays(ours, [] {});
    EXPECT_EQ(byRegedit, original);
    EXPECT_EQ(byImport, original);

    const std::string theirs = File("regedit_unicode.reg");
    const std::string command = "start /wait regedit /e \"" + theirs + "\" \"" + LongKey() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    DeleteTestKey();
    EXPECT_EQ(reg_.ImportFromReg(theirs), 1);
    EXPECT_EQ(TestKeySnapshot(), original);
}

}  // namespace
}  // namespace registry::test
