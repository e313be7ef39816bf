// The PATH folder table: splitting and expanding folder texts, and the table built from the
// machine-wide PATH in the registry and the process PATH, on the platform at hand.
#include "pathcheck/path_table.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "path_fixture.h"

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
    return [values = std::move(values)](std::string_view name) {
        const auto found = values.find(std::string(name));
        return found == values.end() ? std::string() : found->second;
    };
}

TEST(PathExpansion, ReplacesReferencesAndKeepsSurroundingText) {
    const auto lookup = MapLookup({{"SystemRoot", "C:\\WINDOWS"}, {"Tool", "kit"}});
    EXPECT_EQ(ExpandReferences("C:\\Plain\\", lookup), "C:\\Plain\\");
    EXPECT_EQ(ExpandReferences("%SystemRoot%\\system32\\", lookup), "C:\\WINDOWS\\system32\\");
    EXPECT_EQ(ExpandReferences("C:\\Tools\\%Tool%\\bin\\", lookup), "C:\\Tools\\kit\\bin\\");
    EXPECT_EQ(ExpandReferences("%Tool%%Tool%", lookup), "kitkit");
    // Not set: replaced by nothing.
    EXPECT_EQ(ExpandReferences("%NotSet%\\bin\\", lookup), "\\bin\\");
}

TEST(PathExpansion, UnmatchedPercentAndEmptyNameAndPercentInValue) {
    const auto lookup = MapLookup({{"A", "x"}, {"", "never"}, {"P", "%A%"}});
    EXPECT_EQ(ExpandReferences("%A%\\50%\\b", lookup), "x\\50%\\b");
    EXPECT_EQ(ExpandReferences("C:\\%", lookup), "C:\\%");
    EXPECT_EQ(ExpandReferences("%%\\b", lookup), "\\b");
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

// The table of the worked example: the references expanded, the process folders that repeat
// expanded system entries skipped, and their slots left empty.
TEST_F(PathTable, WorkedExample) {
    EnsureFolder("C:\\WINDOWS\\system32");
    EnsureFolder("C:\\Program Files\\Bin\\Quorvane");
    EnsureFolder("C:\\Tools\\bin");
    SetVariable("SystemRoot", "C:\\WINDOWS");
    SetSystemPath("%SystemRoot%\\system32;%SystemRoot%;C:\\Program Files\\Bin\\Quorvane");
    SetProcessPath(
        "C:\\WINDOWS\\system32;C:\\WINDOWS;C:\\Program Files\\Bin\\Quorvane;C:\\Tools\\bin;"
        "c:\\tools\\bin\\");

    pathcheck::build_path_list(table_, fso_);

    EXPECT_EQ(table_.numPathFolders, 5);
    const std::vector<Row> expected{
        {"%SystemRoot%\\system32\\", "C:\\WINDOWS\\system32\\", true, true, 0},
        {"%SystemRoot%\\", "C:\\WINDOWS\\", true, true, 0},
        {"C:\\Program Files\\Bin\\Quorvane\\", "C:\\Program Files\\Bin\\Quorvane\\", true, true, 0},
        {"C:\\Tools\\bin\\", "C:\\Tools\\bin\\", false, true, 0},
        {"c:\\tools\\bin\\", "c:\\tools\\bin\\", false, true, 4},
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

TEST_F(PathTable, ReferencesExpandedButComparedAsWritten) {
    const std::string tools = ScratchSubfolder("tools");
    SetVariable("KELVRA_TOOLS", tools.substr(0, tools.size() - 1));
    SetSystemPath("%KELVRA_TOOLS%;" + tools + ";%KELVRA_UNSET%\\bin;" + scratch_.path() +
                  "\\%KELVRA_NAME%\\bin");
    SetVariable("KELVRA_NAME", "tools");
    SetProcessPath("");

    pathcheck::build_path_list(table_, fso_);

    const std::vector<Row> expected{
        {"%KELVRA_TOOLS%\\", tools, true, true, 0},
        {tools, tools, true, true, 0},
        {"%KELVRA_UNSET%\\bin\\", "\\bin\\", true, fso_.FolderExists("\\bin\\"), 0},
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

}  // namespace
