#include <gtest/gtest.h>

#include <algorithm>

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
        return ImportText(text);
    }

    // Writes `text` to a file and imports it; the problems go to problems_.
    long ImportText(std::string_view text) {
        const std::string file = File("import.reg");
        platform::runtime::DeleteFile(file);
        EXPECT_TRUE(platform::runtime::WriteFileBytes(file, platform::kernel32::Utf8ToAnsi(text)));
        problems_.clear();
        return reg_.ImportFromReg(file, [&](const ImportProblem& p) { problems_.push_back(p); });
    }

    // The numbers of the lines reported, in order.
    std::vector<std::size_t> ProblemLines() const {
        std::vector<std::size_t> lines;
        for (const ImportProblem& problem : problems_) {
            lines.push_back(problem.lineNumber);
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    long Import(const std::vector<std::string>& lines) { return Import("REGEDIT4", lines); }

    std::string Section(std::string_view sub = "") const {
        return std::string("[") + LongKey(sub) + "]";
    }

    std::vector<ImportProblem> problems_;
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
                "  ", "\"qword\"=hex(b):01,00,00,00,00,00,00,00",
                "\"text\"=hex(1):61,0d,0a,62,00"}),
        1);
    EXPECT_EQ(GetRaw("", "expand").type, reg::kRegExpandSz);
    EXPECT_EQ(GetRaw("", "expand").data, Wide("%A%"));
    EXPECT_EQ(GetRaw("", "multi").type, reg::kRegMultiSz);
    EXPECT_EQ(GetRaw("", "multi").data,
              (std::vector<std::uint8_t>{'a', 0, 0, 0, 'b', 0, 'c', 0, 0, 0, 0, 0}));
    EXPECT_EQ(GetRaw("", "qword").type, reg::kRegQword);
    EXPECT_EQ(GetRaw("", "qword").data, (std::vector<std::uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(GetRaw("", "text").type, reg::kRegSz);
    EXPECT_EQ(GetRaw("", "text").data, Wide("a\r\nb"));
}

TEST_F(RegistryImport, MalformedLinesAreSkippedAndReported) {
    EXPECT_EQ(Import({Section(),                   // line 2
                      "\"long\"=dword:123456789",  // 3
                      "\"none\"=dword:",           // 4
                      "\"junk\"=dword:zz",         // 5
                      "\"short\"=dword:1a",        // 6
                      "\"badHex\"=hex:01,zz",      // 7
                      "\"badType\"=hex(zz):01",    // 8
                      "no equals sign",            // 9
                      "\"next\"=\"ok\"",           // 10
                      "[" + LongKey("unclosed"),   // 11
                      "\"lost\"=\"1\""}),          // 12: passed over
              0);
    EXPECT_EQ(ProblemLines(), (std::vector<std::size_t>{3, 4, 5, 7, 8, 9, 11}));
    EXPECT_EQ(problems_.front().line, "\"long\"=dword:123456789");
    for (const char* name : {"long", "none", "junk", "badHex", "badType"}) {
        EXPECT_FALSE(reg_.ValueExists(Key(), name)) << name;
    }
    EXPECT_EQ(reg_.ReadDWORD(Key(), "short"), 26);
    EXPECT_EQ(reg_.ReadString(Key(), "next"), "ok");
    EXPECT_FALSE(reg_.KeyExists(Key("unclosed")));
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

TEST_F(RegistryImport, CommentsBlankLinesAndValuesOutsideSectionsArePassedOver) {
    ASSERT_EQ(Import({"\"before\"=\"first section\"", Section(), "; \"comment\"=\"1\"",
                      "   ;\"indented\"=\"1\"", "", "\t", "\"real\"=\"1\"", Section("empty"), "",
                      "; nothing here", std::string("[-") + LongKey("gone") + "]",
                      "\"afterDeletion\"=\"1\""}),
              1);
    EXPECT_TRUE(problems_.empty());
    std::vector<std::string> names;
    std::vector<EnumeratedValue> values;
    ASSERT_EQ(reg_.EnumValues(Key(), names, values), 1);
    EXPECT_EQ(names, std::vector<std::string>{"real"});
    // A section creates its key, values or not.
    EXPECT_TRUE(reg_.KeyExists(Key("empty")));
    EXPECT_FALSE(reg_.KeyExists(Key("gone")));
}

TEST_F(RegistryImport, RefusedOperationsAreReportedAndTheRestApplied) {
    EXPECT_EQ(Import({"[HKEY_NOWHERE\\Software]",   // line 2
                      "\"lost\"=\"1\"",             // 3
                      "@=dword:00000001",           // 4
                      Section(),                    // 5
                      "\"kept\"=\"1\"",             // 6
                      "[-HKEY_NOWHERE\\Software]",  // 7
                      "\"after\"=\"1\""}),
              0);
    EXPECT_EQ(ProblemLines(), (std::vector<std::size_t>{2, 3, 4, 7}));
    EXPECT_EQ(problems_[1].line, "[HKEY_NOWHERE\\Software] \"lost\"");
    EXPECT_EQ(problems_[2].line, "[HKEY_NOWHERE\\Software] @");
    EXPECT_EQ(reg_.ReadString(Key(), "kept"), "1");
}

TEST_F(RegistryImport, EverySpellingOfAKeyKeepsFileOrder) {
    // Each key is written under several spellings, the earlier sections long, the later ones
    // short; each value must end as the file's last line for it says.
    const std::string sub = SubKey();
    const std::vector<std::pair<std::string, std::string>> spellings = {
        {"HKEY_CURRENT_USER\\" + sub + "\\K", ""},
        {"HKCU\\" + sub + "\\k", ""},
        {"\\hkey_current_user\\" + sub + "\\K", "\\"},
        {"hkcu\\\\" + sub + "\\K", ""}};
    std::string text = "REGEDIT4\r\n";
    constexpr int kKeys = 40;
    constexpr int kRounds = 4;
    for (int key = 0; key < kKeys; ++key) {
        for (int round = 0; round < kRounds; ++round) {
            const auto& [prefix, suffix] = spellings[(round + key) % spellings.size()];
            text += "[" + prefix + std::to_string(key) + suffix + "]\r\n";
            for (int filler = 0; filler < (kRounds - round) * 40; ++filler) {
                text += "\"f" + std::to_string(filler) + "\"=\"" + std::to_string(round) + "\"\r\n";
            }
            text += "\"v\"=\"" + std::to_string(round) + "\"\r\n";
            text += "\"w\"=dword:0000000" + std::to_string(round) + "\r\n";
            text += round == 2 ? "\"d\"=-\r\n" : "\"d\"=hex:0" + std::to_string(round) + "\r\n";
        }
    }
    ASSERT_EQ(ImportText(text), 1);
    int wrong = 0;
    for (int key = 0; key < kKeys; ++key) {
        const std::string path = Key("K" + std::to_string(key));
        wrong += reg_.ReadString(path, "v") != "3";
        wrong += reg_.ReadString(path, "f0") != "3";
        wrong += reg_.ReadDWORD(path, "w") != 3;
        wrong += reg_.ReadBinary(path, "d") != "03";
    }
    EXPECT_EQ(wrong, 0) << "values that kept an earlier line";
}

TEST_F(RegistryImport, DeletionsKeepTheirPlaceAmongTheWrites) {
    ASSERT_EQ(Import({Section("a\\b"), "\"v\"=\"1\"", Section("a"), "\"w\"=\"1\"",
                      std::string("[-") + LongKey("a") + "]", Section("a\\c"), "\"v\"=\"2\"",
                      Section("x"), "\"v\"=\"1\"", "\"v\"=-",
                      std::string("[-") + LongKey("x\\y") + "]", Section("x"), "\"w\"=\"after\""}),
              1);
    EXPECT_FALSE(reg_.KeyExists(Key("a\\b")));
    EXPECT_FALSE(reg_.ValueExists(Key("a"), "w"));
    EXPECT_EQ(reg_.ReadString(Key("a\\c"), "v"), "2");
    EXPECT_FALSE(reg_.ValueExists(Key("x"), "v"));
    EXPECT_EQ(reg_.ReadString(Key("x"), "w"), "after");
}

TEST_F(RegistryImport, ADanglingContinuationEndsAtTheNextKeyLine) {
    ASSERT_EQ(Import({Section("first"), "\"list\"=hex:01,02,\\", Section("second"),
                      "\"there\"=dword:00000002", "\"list2\"=hex:03,\\", "", "\"also\"=\"x\""}),
              1);
    EXPECT_EQ(reg_.ReadBinary(Key("first"), "list"), "01 02");
    EXPECT_FALSE(reg_.ValueExists(Key("first"), "there"));
    EXPECT_EQ(reg_.ReadDWORD(Key("second"), "there"), 2);
    EXPECT_EQ(reg_.ReadBinary(Key("second"), "list2"), "03");
    EXPECT_EQ(reg_.ReadString(Key("second"), "also"), "x");
}

TEST_F(RegistryImport, AKeyDeletionNeverReachesARoot) {
    // Refused before the registry sees it; a key that names a root as a whole is never deleted.
    reg_.WriteString(Key(), "stays", "1");
    EXPECT_EQ(Import({"[-HKEY_CURRENT_USER\\\\]", "[-HKCU\\ \\ ]", "[-\\HKEY_CURRENT_USER\\]",
                      "[-HKCU]", "[-hkcu\\\\\\]"}),
              0);
    EXPECT_EQ(ProblemLines(), (std::vector<std::size_t>{2, 3, 4, 5, 6}));
    EXPECT_TRUE(reg_.ValueExists(Key(), "stays"));
    EXPECT_EQ(reg_.KillKey("HKCU\\\\"), 0u);
    EXPECT_EQ(reg_.KillKey("HKCU\\ "), 0u);
    EXPECT_TRUE(reg_.KeyExists(Key()));
}

TEST_F(RegistryImport, TheWholeClassesRootDeletionIsRefused) {
    // Only where a lost HKEY_CLASSES_ROOT costs nothing: the simulated machine and the tests' own
    // Wine prefix.
    if (platform::registry::RegistryHost() == platform::registry::Host::kWindows) {
        GTEST_SKIP() << "never tried on a real Windows machine";
    }
    reg_.WriteString("HKCR\\KelvraTests.Root", "", "kept");
    EXPECT_EQ(Import({"[-HKEY_CLASSES_ROOT\\]", "[-HKCR\\\\]", "[-HKEY_CLASSES_ROOT]"}), 0);
    EXPECT_EQ(ProblemLines(), (std::vector<std::size_t>{2, 3, 4}));
    EXPECT_EQ(reg_.ReadString("HKCR\\KelvraTests.Root", ""), "kept");
    reg::DeleteTree(reg::PredefinedKey(reg::kClassesRoot), "KelvraTests.Root");
}

// While it lives, HKEY_USERS stands for a scratch key in this process, so that the test reaches
// no user's settings on any machine.
class UsersRedirected {
  public:
    explicit UsersRedirected(std::string_view scratchSubKey) {
        reg::Key scratch;
        EXPECT_EQ(reg::CreateKey(reg::PredefinedKey(reg::kCurrentUser), scratchSubKey, scratch), 0);
        EXPECT_EQ(reg::OverridePredefinedKey(reg::kUsers, scratch.get()), 0);
    }
    UsersRedirected(const UsersRedirected&) = delete;
    UsersRedirected& operator=(const UsersRedirected&) = delete;
    ~UsersRedirected() { reg::OverridePredefinedKey(reg::kUsers, 0); }
};

TEST_F(RegistryImport, TheRootOfAHiveIsNeverEmptied) {
    // The registry cannot delete these keys: a tree deletion would empty them and fail only at
    // their root. HKEY_LOCAL_MACHINE is the test run's scratch key on a real registry.
    const UsersRedirected users(SubKey() + "\\Users");
    const std::vector<std::string> hives = {"HKUS\\.DEFAULT", "HKUS\\S-1-5-21-1-2-3-1000",
                                            "HKLM\\SOFTWARE", "HKLM\\SYSTEM",
                                            "HKLM\\HARDWARE", "HKLM\\SAM",
                                            "HKLM\\SECURITY", "HKLM\\KelvraTests.Hive"};
    for (const std::string& hive : hives) {
        reg_.WriteString(hive, "canary", "alive");
        reg_.WriteString(hive + "\\KelvraTests.Canary", "canary", "alive");
    }
    reg_.WriteString("HKLM\\SOFTWARE\\KelvraTests.Below", "v", "1");
    EXPECT_EQ(Import({"[-HKEY_USERS\\.DEFAULT]",                 // line 2
                      "[-hkus\\\\s-1-5-21-1-2-3-1000\\]",        // 3
                      "[-\\HKEY_LOCAL_MACHINE\\SOFTWARE]",       // 4
                      "[-HKLM\\\\system\\\\]",                   // 5
                      "[-hklm\\Hardware]",                       // 6
                      "[-HKLM\\SAM]",                            // 7
                      "[-HKEY_LOCAL_MACHINE\\SECURITY\\]",       // 8
                      "[-HKLM\\KelvraTests.Hive]",               // 9
                      "[-HKLM\\SOFTWARE\\KelvraTests.Below]"}),  // 10: below a hive's root
              0);
    EXPECT_EQ(ProblemLines(), (std::vector<std::size_t>{2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_FALSE(reg_.KeyExists("HKLM\\SOFTWARE\\KelvraTests.Below"));
    // KillKey refuses them too, even one without subkeys.
    reg::DeleteTree(reg::PredefinedKey(reg::kLocalMachine), "KelvraTests.Hive\\KelvraTests.Canary");
    EXPECT_EQ(reg_.KillKey("hklm\\KelvraTests.Hive\\"), 0u);
    for (const std::string& hive : hives) {
        EXPECT_EQ(reg_.ReadString(hive, "canary"), "alive") << hive;
        if (hive.starts_with("HKLM\\")) {
            reg_.KillValue(hive, "canary");
            reg::DeleteTree(reg::PredefinedKey(reg::kLocalMachine),
                            hive.substr(5) + "\\KelvraTests.Canary");
        }
    }
    reg::DeleteTree(reg::PredefinedKey(reg::kLocalMachine), "KelvraTests.Hive");
}

}  // namespace
}  // namespace registry::test
