// The PATH folder table: splitting and expanding folder texts, and the table built from the
// machine-wide PATH in the registry and the process PATH, on the platform at hand.
#include "pathcheck/path_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include <map>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "path_fixture.h"
#include "platform/kernel32.h"

namespace {

using pathcheck::ExpandReferences;
using pathcheck::PathFolderTable;

struct Row {
    std::string folder;
    std::string fullName;
    bool isSystem = false;
    bool exists = false;
    long duplicate = 0;
    friend bool operator==(const Row&, const Row&) = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << "{" << row.folder << " | " << row.fullName << " | system " << row.isSystem
               << " | exists " << row.exists << " | duplicate " << row.duplicate << "}";
}

// The entries 1 to numPathFolders, after checking that the five arrays have `slots` slots.
std::vector<Row> Rows(const PathFolderTable& table, std::size_t slots) {
    EXPECT_EQ(table.PathFolder.size(), slots);
    EXPECT_EQ(table.PathFullName.size(), slots);
    EXPECT_EQ(table.PathIsSystem.size(), slots);
    EXPECT_EQ(table.PathExists.size(), slots);
    EXPECT_EQ(table.PathDuplicate.size(), slots);
    if (table.PathFolder.size() != slots || table.PathFullName.size() != slots ||
        table.PathIsSystem.size() != slots || table.PathExists.size() != slots ||
        table.PathDuplicate.size() != slots) {
        return {};
    }
    std::vector<Row> rows;
    for (std::size_t k = 1; k <= static_cast<std::size_t>(table.numPathFolders) && k < slots; ++k) {
        rows.push_back({table.PathFolder[k], table.PathFullName[k], table.PathIsSystem[k],
                        table.PathExists[k], table.PathDuplicate[k]});
    }
    // Slot 0 and the slots past the entries stay empty.
    for (std::size_t k = 0; k < slots; ++k) {
        if (k == 0 || k > static_cast<std::size_t>(table.numPathFolders)) {
            EXPECT_EQ(Row{}, (Row{table.PathFolder[k], table.PathFullName[k], table.PathIsSystem[k],
                                  table.PathExists[k], table.PathDuplicate[k]}))
                << "slot " << k;
        }
    }
    return rows;
}

pathcheck::EnvironmentLookup MapLookup(std::map<std::string, std::string> values) {
    return [values = std::move(values)](std::string_view name) -> std::optional<std::string> {
        const auto found = values.find(std::string(name));
        if (found == values.end()) {
            return std::nullopt;
        }
        return found->second;
    };
}

TEST(PathExpansion, ReplacesReferencesAndKeepsSurroundingText) {
    const auto lookup = MapLookup({{"SystemRoot", "C:\\WINDOWS"}, {"Tool", "kit"}});
    EXPECT_EQ(ExpandReferences("C:\\Plain\\", lookup), "C:\\Plain\\");
    EXPECT_EQ(ExpandReferences("%SystemRoot%\\system32\\", lookup), "C:\\WINDOWS\\system32\\");
    EXPECT_EQ(ExpandReferences("C:\\Tools\\%Tool%\\bin\\", lookup), "C:\\Tools\\kit\\bin\\");
    EXPECT_EQ(ExpandReferences("%Tool%%Tool%", lookup), "kitkit");
    // Not set: kept as written, as the platform keeps it.
    EXPECT_EQ(ExpandReferences("%NotSet%\\bin\\", lookup), "%NotSet%\\bin\\");
}

TEST(PathExpansion, UnmatchedPercentAndEmptyNameAndPercentInValue) {
    const auto lookup = MapLookup({{"A", "x"}, {"", "never"}, {"P", "%A%"}});
    EXPECT_EQ(ExpandReferences("%A%\\50%\\b", lookup), "x\\50%\\b");
    EXPECT_EQ(ExpandReferences("C:\\%", lookup), "C:\\%");
    // No variable has the empty name: "%%" stays.
    EXPECT_EQ(ExpandReferences("%%\\b", lookup), "%%\\b");
    // A value is inserted as it stands, its own references untouched.
    EXPECT_EQ(ExpandReferences("%P%\\", lookup), "%A%\\");
}

TEST(PathExpansion, FailingLookupGivesTheTextNotYetProcessed) {
    const pathcheck::EnvironmentLookup failing = [](std::string_view name) -> std::string {
        if (name == "Bad") {
            throw std::runtime_error("lookup failed");
        }
        return "ok";
    };
    EXPECT_EQ(ExpandReferences("%Good%\\%Bad%\\tail\\", failing), "\\tail\\");
}

class PathTable : public kelvra::test::PathFixture {};

// The table of the worked example, its folders below the scratch folder: the references
// expanded, the process folders that repeat expanded system entries skipped, and their slots
// left empty.
TEST_F(PathTable, WorkedExample) {
    const std::string s = scratch_.path();
    for (const char* folder :
         {"WINDOWS", "WINDOWS\\system32", "Program Files", "Program Files\\Bin",
          "Program Files\\Bin\\Quorvane", "Tools", "Tools\\bin"}) {
        ScratchSubfolder(folder);
    }
    std::string lower = s;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    SetVariable("SystemRoot", s + "\\WINDOWS");
    SetSystemPath("%SystemRoot%\\system32;%SystemRoot%;" + s + "\\Program Files\\Bin\\Quorvane");
    SetProcessPath(s + "\\WINDOWS\\system32;" + s + "\\WINDOWS;" + s +
                   "\\Program Files\\Bin\\Quorvane;" + s + "\\Tools\\bin;" + lower +
                   "\\tools\\bin\\");

    pathcheck::build_path_list(table_, fso_);

    EXPECT_EQ(table_.numPathFolders, 5);
    const std::vector<Row> expected{
        {"%SystemRoot%\\system32\\", s + "\\WINDOWS\\system32\\", true, true, 0},
        {"%SystemRoot%\\", s + "\\WINDOWS\\", true, true, 0},
        {s + "\\Program Files\\Bin\\Quorvane\\", s + "\\Program Files\\Bin\\Quorvane\\", true, true,
         0},
        {s + "\\Tools\\bin\\", s + "\\Tools\\bin\\", false, true, 0},
        {lower + "\\tools\\bin\\", lower + "\\tools\\bin\\", false, true, 4},
    };
    EXPECT_EQ(Rows(table_, 9), expected);
}

TEST_F(PathTable, SystemDuplicatesByCaseAndTrailingBackslashAndEmptyPieces) {
    const std::string a = ScratchSubfolder("a");
    const std::string plainA = a.substr(0, a.size() - 1);
    SetSystemPath(plainA + ";" + a + ";;" + platform::text::AsciiUpper(plainA) + ";");
    SetProcessPath("");

    pathcheck::build_path_list(table_, fso_);

    ASSERT_EQ(table_.numPathFolders, 5);
    const bool rootExists = fso_.FolderExists("\\");
    const std::vector<Row> expected{
        {a, a, true, true, 0},
        {a, a, true, true, 1},
        {"\\", "\\", true, rootExists, 0},
        {platform::text::AsciiUpper(a), platform::text::AsciiUpper(a), true, true, 1},
        {"\\", "\\", true, rootExists, 3},
    };
    EXPECT_EQ(Rows(table_, 6), expected);
}

// A reference and the folder written out are the same folder, so the second repeats the
// first; a reference to a variable that is not set names no folder and stays as written.
TEST_F(PathTable, ReferencesExpandedAndComparedByTheFolderTheyName) {
    const std::string tools = ScratchSubfolder("tools");
    SetVariable("KELVRA_TOOLS", tools.substr(0, tools.size() - 1));
    SetSystemPath("%KELVRA_TOOLS%;" + tools + ";%KELVRA_UNSET%\\bin;" + scratch_.path() +
                  "\\%KELVRA_NAME%\\bin");
    SetVariable("KELVRA_NAME", "tools");
    SetProcessPath("");

    pathcheck::build_path_list(table_, fso_);

    const std::vector<Row> expected{
        {"%KELVRA_TOOLS%\\", tools, true, true, 0},
        {tools, tools, true, true, 1},
        {"%KELVRA_UNSET%\\bin\\", "%KELVRA_UNSET%\\bin\\", true, false, 0},
        {scratch_.path() + "\\%KELVRA_NAME%\\bin\\", tools + "bin\\", true, false, 0},
    };
    EXPECT_EQ(Rows(table_, 5), expected);
}

TEST_F(PathTable, ProcessFoldersAgainstSystemEntriesAndEachOther) {
    const std::string sys = ScratchSubfolder("sys");
    const std::string user = ScratchSubfolder("user");
    const std::string missing = scratch_ / "missing\\";
    SetVariable("KELVRA_SYS", sys.substr(0, sys.size() - 1));
    SetSystemPath("%KELVRA_SYS%");
    // The system folder in other letter case, a user folder twice, an empty piece and a
    // folder that does not exist.
    SetProcessPath(platform::text::AsciiUpper(sys) + ";" + user + ";;" + missing + ";" + user);

    pathcheck::build_path_list(table_, fso_);

    ASSERT_EQ(table_.numPathFolders, 5);
    const bool rootExists = fso_.FolderExists("\\");
    const std::vector<Row> expected{
        {"%KELVRA_SYS%\\", sys, true, true, 0}, {user, user, false, true, 0},
        {"\\", "\\", false, rootExists, 0},     {missing, missing, false, false, 0},
        {user, user, false, true, 2},
    };
    // Slots for all five process folders, one of them skipped.
    EXPECT_EQ(Rows(table_, 7), expected);
}

TEST_F(PathTable, WithoutSystemPathEveryProcessFolderIsAUserEntry) {
    const std::string a = ScratchSubfolder("a");
    RemoveSystemPath();
    SetProcessPath(a + ";" + a);

    pathcheck::build_path_list(table_, fso_);

    const std::vector<Row> expected{{a, a, false, true, 0}, {a, a, false, true, 1}};
    EXPECT_EQ(Rows(table_, 3), expected);
}

TEST_F(PathTable, EmptyPathsLeaveOneSlotAndBuildAgainLater) {
    SetSystemPath("");
    SetProcessPath("");

    pathcheck::build_path_list(table_, fso_);
    EXPECT_EQ(table_.numPathFolders, 0);
    EXPECT_TRUE(Rows(table_, 1).empty());

    // Nothing was stored, so the next call builds.
    const std::string a = ScratchSubfolder("a");
    SetProcessPath(a);
    pathcheck::build_path_list(table_, fso_);
    EXPECT_EQ(Rows(table_, 2), (std::vector<Row>{{a, a, false, true, 0}}));
}

TEST_F(PathTable, BuiltOnceThenKept) {
    const std::string a = ScratchSubfolder("a");
    const std::string b = ScratchSubfolder("b");
    SetSystemPath(a);
    SetProcessPath("");
    pathcheck::build_path_list(table_, fso_);

    SetSystemPath(b);
    SetProcessPath(b);
    pathcheck::build_path_list(table_, fso_);

    EXPECT_EQ(Rows(table_, 2), (std::vector<Row>{{a, a, true, true, 0}}));
}

// A machine-wide PATH far over 4096 bytes is read whole, and the process PATH that repeats it
// adds no user entries.
TEST_F(PathTable, LongSystemPathIsReadAsSystemEntries) {
    std::string systemPath;
    std::vector<Row> expected;
    for (int i = 1; i <= 300; ++i) {
        const std::string folder =
            "C:\\Program Files\\Kelvra Long Path Vendor\\Component " + std::to_string(i) + "\\";
        systemPath += (i > 1 ? ";" : "") + folder;
        expected.push_back({folder, folder, true, false, 0});
    }
    ASSERT_GT(systemPath.size(), 4096u * 3);
    const std::string user = ScratchSubfolder("user");
    SetSystemPath(systemPath);
    SetProcessPath(systemPath + ";" + user);

    pathcheck::build_path_list(table_, fso_);

    expected.push_back({user, user, false, true, 0});
    EXPECT_EQ(table_.numPathFolders, 301);
    // Slots for the 300 system pieces and for all 301 process folders.
    EXPECT_EQ(Rows(table_, 602), expected);
}

TEST_F(PathTable, ProcessPathFolders) {
    long count = 7;
    std::vector<std::string> folders{"kept"};
    SetProcessPath("");
    pathcheck::VB_get_path_folders(count, folders);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(folders, std::vector<std::string>{"kept"});

    SetProcessPath("C:\\A;C:\\B\\;;C:\\C");
    pathcheck::VB_get_path_folders(count, folders);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(folders, (std::vector<std::string>{"C:\\A\\", "C:\\B\\", "\\", "C:\\C\\"}));
}

// A PATH entry made by the generator, with the expansion it must have.
struct GeneratedEntry {
    std::string text;
    std::string expanded;
};

// Random PATH entries of every kind of character a folder text may hold: spaces, quotes, "/",
// doubled "\", "." and ".." segments, non-ASCII letters, references to variables that are set
// (one to "", one whose value holds a reference) and to variables that are not.
class PathGenerator {
  public:
    explicit PathGenerator(unsigned seed) : random_(seed) {}

    static const std::map<std::string, std::string>& Variables() {
        static const std::map<std::string, std::string> variables{
            {"KV", "C:\\kv"}, {"KE", ""}, {"KP", "%KV%\\p"}, {"KS", "C:\\sp ace\\"}};
        return variables;
    }

    // Never starts with "U": no system entry names a folder of drive U:.
    GeneratedEntry SystemEntry() {
        GeneratedEntry entry;
        for (int parts = Below(7); parts > 0; --parts) {
            const int kind = Below(20);
            if (kind < 3) {
                auto variable = Variables().begin();
                std::advance(variable, Below(static_cast<int>(Variables().size())));
                entry.text += "%" + variable->first + "%";
                entry.expanded += variable->second;
            } else if (kind < 6) {
                const std::string reference = "%KU" + std::to_string(Below(3)) + "%";
                entry.text += reference;
                entry.expanded += reference;
            } else {
                const std::string token = Token();
                entry.text += token;
                entry.expanded += token;
            }
        }
        return entry;
    }

    std::string UserEntry() {
        std::string entry = "U:\\";
        for (int parts = Below(5); parts > 0; --parts) {
            entry += Token();
        }
        return entry;
    }

    int Below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }

  private:
    std::string Token() {
        static const std::vector<std::string> tokens{
            "a",    "Q", "z", "0",  " ", ".",        "..",       "\\",
            "\\\\", "/", ":", "\"", "-", "\xC3\xA9", "Quorvane", "Program Files",
            "C:\\"};
        return tokens[static_cast<std::size_t>(Below(static_cast<int>(tokens.size())))];
    }

    std::mt19937 random_;
};

std::string Joined(const std::vector<std::string>& pieces) {
    std::string list;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        list += (i > 0 ? ";" : "") + pieces[i];
    }
    return list;
}

std::string WithBackslash(const std::string& text) {
    return text.ends_with('\\') ? text : text + "\\";
}

// For PATHs of any length and content: the system entries are exactly the pieces of the
// machine-wide PATH and the user entries exactly the process PATH's own pieces, in order, none
// lost or doubled; the process pieces that repeat system folders are left out.
TEST(PathTableProperty, FoldersAreThePathEntriesInOrder) {
    PathGenerator generator(20261208);
    const auto lookup = MapLookup(PathGenerator::Variables());
    const pathcheck::FolderProbe nothingExists = [](std::string_view) { return false; };
    std::size_t longestProcessPath = 0;
    for (int round = 0; round < 300; ++round) {
        const int systemCount =
            round % 100 == 0 ? 3000 + generator.Below(3000) : generator.Below(30);
        std::vector<GeneratedEntry> system;
        std::vector<std::string> systemTexts;
        std::vector<std::string> processPieces;
        for (int i = 0; i < systemCount; ++i) {
            system.push_back(generator.SystemEntry());
            systemTexts.push_back(system.back().text);
            processPieces.push_back(system.back().expanded);
        }
        std::vector<std::string> user;
        for (int i = generator.Below(8); i > 0; --i) {
            user.push_back(generator.UserEntry());
            processPieces.push_back(user.back());
        }
        const std::string processPath = Joined(processPieces);
        longestProcessPath = std::max(longestProcessPath, processPath.size());

        PathFolderTable table;
        if (!system.empty()) {
            pathcheck::AddSystemEntries(table, Joined(systemTexts), true, lookup, nothingExists);
        }
        pathcheck::AddUserEntries(table,
                                  processPath.empty() ? std::vector<std::string>{}
                                                      : pathcheck::SplitPathList(processPath),
                                  lookup, nothingExists);

        ASSERT_EQ(table.numPathFolders, static_cast<long>(system.size() + user.size()))
            << "round " << round << ": " << Joined(systemTexts) << " | " << processPath;
        for (std::size_t k = 1; k <= system.size(); ++k) {
            const GeneratedEntry& entry = system[k - 1];
            ASSERT_EQ(table.PathFolder[k], WithBackslash(entry.text)) << "round " << round;
            ASSERT_EQ(table.PathFullName[k],
                      entry.text.ends_with('\\') ? entry.expanded : entry.expanded + "\\")
                << "round " << round << ": " << entry.text;
            ASSERT_TRUE(table.PathIsSystem[k]);
        }
        for (std::size_t u = 0; u < user.size(); ++u) {
            const std::size_t k = system.size() + 1 + u;
            ASSERT_EQ(table.PathFolder[k], WithBackslash(user[u])) << "round " << round;
            ASSERT_FALSE(table.PathIsSystem[k]);
        }
    }
    EXPECT_GT(longestProcessPath, 32767u);
}

// A process PATH over 32,767 characters, which only a parent process can hand down: the table
// holds every folder, the one that spans character 32,767 included. This process cannot set
// such a value for itself (the platform cuts what SetEnvironmentVariableW stores, Wine at
// 32,766 characters), so on Windows the test starts a copy of the test program with the PATH
// in the environment block it passes to CreateProcessW, and that copy runs this test again
// and checks the table. Wine hands such a block down whole.
class LongProcessPath : public kelvra::test::PathFixture {
  protected:
    static constexpr std::string_view kChildMarker = "KELVRA_LONG_PATH_CHILD";

    // Missing folders, then `straddling` across character 32,767, then more to 40,000.
    static std::vector<std::string> Folders(const std::string& straddling) {
        std::vector<std::string> folders;
        std::size_t length = 0;
        const auto add = [&](const std::string& folder) {
            length += (folders.empty() ? 0 : 1) + folder.size();
            folders.push_back(folder);
        };
        const std::size_t straddlingStart = 32767 - straddling.size() / 2;
        for (int i = 1; length + 1 + 60 < straddlingStart; ++i) {
            add("C:\\Kelvra Long Path\\Component " + std::to_string(i));
        }
        const std::string filler = "C:\\Kelvra Long Path\\Filler ";
        add(filler + std::string(straddlingStart - length - 2 - filler.size(), 'x'));
        add(straddling);
        for (int i = 1; length < 40000; ++i) {
            add("C:\\Kelvra Long Path\\After " + std::to_string(i));
        }
        return folders;
    }
};

TEST_F(LongProcessPath, IsReadWhole) {
    const std::string straddling =
        platform::runtime::Environ("TEMP") + "\\kelvra-long-path\\Quorvane";
    const std::vector<std::string> folders = Folders(straddling);
    const std::string path = Joined(folders);
    const std::size_t start = path.find(straddling);
    ASSERT_LT(start, 32767u);
    ASSERT_GT(start + straddling.size(), 32767u);

    if (!kelvra::test::kSimulated && !platform::runtime::FindEnviron(kChildMarker)) {
        const std::string program = platform::kernel32::ProgramFolder() + "\\kelvra_tests.exe";
        const auto exitCode = platform::runtime::RunProgram(
            "\"" + program + "\" --gtest_brief=1 --gtest_filter=LongProcessPath.IsReadWhole",
            {{"PATH", path}, {std::string(kChildMarker), "1"}});
        ASSERT_TRUE(exitCode) << "cannot start " << program;
        EXPECT_EQ(*exitCode, 0u) << "the copy with the long PATH failed";
        return;
    }
    if (kelvra::test::kSimulated) {
        SetProcessPath(path);
    }
    ASSERT_EQ(platform::runtime::Environ("PATH").size(), path.size());
    EnsureFolder(straddling);
    SetSystemPath("");

    pathcheck::build_path_list(table_, fso_);

    std::vector<Row> expected;
    for (const std::string& folder : folders) {
        expected.push_back({folder + "\\", folder + "\\", false, folder == straddling, 0});
    }
    EXPECT_EQ(Rows(table_, folders.size() + 1), expected);
}

}  // namespace
