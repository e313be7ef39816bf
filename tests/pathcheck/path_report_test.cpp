// The PATH search report: the block text of every mode, byte for byte, on hand-made tables
// and on tables built from the platform's PATH, with the test DLLs as the files searched for.
#include "pathcheck/path_report.h"
#include "support/machine_isolation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "path_fixture.h"
#include "platform/kernel32.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "support/test_data.h"

namespace {

using pathcheck::display_path_info;
using pathcheck::PathFolderTable;

struct Entry {
    std::string folder;
    std::string fullName;
    bool isSystem = true;
    bool exists = true;
    long duplicate = 0;
};

PathFolderTable MakeTable(const std::vector<Entry>& entries) {
    PathFolderTable table;
    table.numPathFolders = static_cast<long>(entries.size());
    table.PathFolder.assign(entries.size() + 1, "");
    table.PathFullName.assign(entries.size() + 1, "");
    table.PathIsSystem.assign(entries.size() + 1, false);
    table.PathExists.assign(entries.size() + 1, false);
    table.PathDuplicate.assign(entries.size() + 1, 0);
    for (std::size_t k = 1; k <= entries.size(); ++k) {
        const Entry& entry = entries[k - 1];
        table.PathFolder[k] = entry.folder;
        table.PathFullName[k] = entry.fullName;
        table.PathIsSystem[k] = entry.isSystem;
        table.PathExists[k] = entry.exists;
        table.PathDuplicate[k] = entry.duplicate;
    }
    return table;
}

const std::string kQuorvane = "C:\\Program Files\\Bin\\Quorvane\\";

// A table of system and user entries: the install folder, its repeat, a folder whose name
// contains the name in other letter case and does not exist, and user folders.
PathFolderTable MixedTable() {
    return MakeTable({
        {"%SystemRoot%\\", "C:\\WINDOWS\\"},
        {kQuorvane, kQuorvane},
        {"C:\\apps\\quorvaneold\\", "C:\\apps\\quorvaneold\\", true, false},
        {kQuorvane, kQuorvane, true, true, 2},
        {"C:\\Tools\\", "C:\\Tools\\", false},
        {"c:\\tools\\", "c:\\tools\\", false, false, 5},
    });
}

std::string Display(PathFolderTable& table, long mode, const std::string& name,
                    std::string report = "") {
    const platform::scripting::FileSystemObject fso;
    display_path_info(table, fso, mode, report, name);
    return report;
}

class PathReport : public ::testing::Test {
  protected:
    kelvra::test::ScratchFolder scratch_;
};

TEST_F(PathReport, FolderNameExampleBlock) {
    PathFolderTable table = MakeTable({
        {"%SystemRoot%\\system32\\", "C:\\WINDOWS\\system32\\"},
        {kQuorvane, kQuorvane},
        {"C:\\Tools\\", "C:\\Tools\\", false},
    });
    EXPECT_EQ(Display(table, 1, "Quorvane"),
              "\rSystem PATH environment variables for Quorvane\r"
              "\rQuorvane C:\\Program Files\\Bin\\Quorvane\\\r"
              "\tFull Path Name: C:\\Program Files\\Bin\\Quorvane\\\r"
              "\r\rUser PATH environment variables\r"
              "\r");
}

TEST_F(PathReport, FolderNameModeShowsSubstringsDuplicatesAndMissingFolders) {
    PathFolderTable table = MixedTable();
    EXPECT_EQ(Display(table, 1, "QUORVANE", "before"),
              "before"
              "\rSystem PATH environment variables for QUORVANE\r"
              "\rQUORVANE C:\\Program Files\\Bin\\Quorvane\\\r"
              "\tFull Path Name: C:\\Program Files\\Bin\\Quorvane\\\r"
              "\rQUORVANE C:\\apps\\quorvaneold\\\r"
              "\tFull Path Name: C:\\apps\\quorvaneold\\\r"
              "\tFolder does not exist\r"
              "\rQUORVANE C:\\Program Files\\Bin\\Quorvane\\: C:\\Program Files\\Bin\\Quorvane\\\r"
              "\tPATH duplicated\r"
              "\r\rUser PATH environment variables\r"
              "\r");
}

TEST_F(PathReport, NotFoundLineAndEmptyName) {
    PathFolderTable table = MakeTable({{kQuorvane, kQuorvane}});
    EXPECT_EQ(Display(table, 1, "Kelvra"),
              "\rSystem PATH environment variables for Kelvra\r"
              "\rKelvra was not found in the PATH\r");
    EXPECT_EQ(Display(table, 2, "kelvra.dll", "old text"),
              "\rSystem PATH folders containing kelvra.dll\r"
              "\rkelvra.dll was not found in the PATH\r");
    // An empty name in the search modes leaves the text alone.
    EXPECT_EQ(Display(table, 1, "", "kept"), "kept");
    EXPECT_EQ(Display(table, 2, "", "kept"), "kept");
}

TEST_F(PathReport, ListOfAllFoldersAndUnknownMode) {
    PathFolderTable table = MixedTable();
    const std::string entries =
        "\r%SystemRoot%\\\r\tFull Path Name: C:\\WINDOWS\\\r"
        "\rC:\\Program Files\\Bin\\Quorvane\\\r\tFull Path Name: C:\\Program "
        "Files\\Bin\\Quorvane\\\r"
        "\rC:\\apps\\quorvaneold\\\r\tFull Path Name: C:\\apps\\quorvaneold\\\r"
        "\tFolder does not exist\r"
        "\rC:\\Program Files\\Bin\\Quorvane\\: C:\\Program Files\\Bin\\Quorvane\\\r"
        "\tPATH duplicated\r"
        "\r\rUser PATH environment variables\r"
        "\rC:\\Tools\\\r\tFull Path Name: C:\\Tools\\\r"
        "\rc:\\tools\\: c:\\tools\\\r\tPATH duplicated\r\tFolder does not exist\r"
        "\r";
    EXPECT_EQ(Display(table, 0, "ignored", "x"),
              "x\rSystem PATH environment variables\r" + entries);
    EXPECT_EQ(Display(table, 7, ""), "\r\r" + entries);
}

// The user heading comes as soon as the first user entry is reached, whether or not any user
// entry is shown, and only once.
TEST_F(PathReport, UserHeadingOnceWhenUserEntriesExist) {
    PathFolderTable userOnly =
        MakeTable({{"C:\\A\\", "C:\\A\\", false}, {"C:\\B\\", "C:\\B\\", false}});
    EXPECT_EQ(Display(userOnly, 1, "Quorvane"),
              "\rSystem PATH environment variables for Quorvane\r"
              "\r\rUser PATH environment variables\r"
              "\rQuorvane was not found in the PATH\r");
}

TEST_F(PathReport, FoundFileExampleEntry) {
    pathcheck::FoundFile file;
    file.version = "1.2.3.4";
    file.size = 512;
    file.isDll = true;
    file.machineType = 1;
    EXPECT_EQ(pathcheck::FoundFileText("C:\\Tools\\", "kelvra.dll", file),
              "PATH folder: C:\\Tools\\ contains kelvra.dll\r"
              "\tVersion: 1.2.3.4 Size:  512\r"
              "\tDLL cannot be loaded\r"
              "\tDLL is Win32\r");
}

// The file search on folders of the table holding copies of the test DLLs.
class PathReportFileSearch : public kelvra::test::PathFixture {
  protected:
    std::string Put(const std::string& folder, std::string_view testFile, std::string_view name) {
        const std::string bytes = kelvra::test::TestDataBytes(testFile);
        EXPECT_TRUE(platform::runtime::WriteFileBytes(folder + std::string(name), bytes));
        return std::to_string(bytes.size());
    }

    std::string Search(const std::string& name, std::string report = "earlier text") {
        display_path_info(table_, fso_, 2, report, name);
        return report;
    }

    static std::string NativeDll(std::string_view name) {
        return std::string(kelvra::test::NativeArchFolder()) + "/" + std::string(name);
    }
    static std::string NativeMachineLine() {
        return kelvra::test::NativeArchFolder() == "x86" ? "\tDLL is Win32\r"
                                                         : "\tDLL can be x64\r";
    }
};

TEST_F(PathReportFileSearch, LoadableCopyInASystemAndAUserFolder) {
    const std::string sys = ScratchSubfolder("sys");
    const std::string user = ScratchSubfolder("user");
    const std::string sysSize = Put(sys, NativeDll("kelvra_ver2.dll"), "kelvra_pathcopy.dll");
    const std::string userSize = Put(user, NativeDll("kelvra_nover.dll"), "kelvra_pathcopy.dll");
    SetSystemPath(sys);
    SetProcessPath(sys + ";" + user);

    EXPECT_EQ(Search("kelvra_pathcopy.dll"),
              "\rSystem PATH folders containing kelvra_pathcopy.dll\r"
              "\rPATH folder: " +
                  sys +
                  " contains kelvra_pathcopy.dll\r"
                  "\tVersion: 2.0.50727.42 Size:  " +
                  sysSize +
                  "\r"
                  "\tDLL can be loaded\r" +
                  NativeMachineLine() +
                  "\r\rUser PATH environment variables\r"
                  "\rPATH folder: " +
                  user +
                  " contains kelvra_pathcopy.dll\r"
                  "\tVersion: N/A Size:  " +
                  userSize +
                  "\r"
                  "\tDLL can be loaded\r" +
                  NativeMachineLine() + "\r");
}

// A 32-bit DLL that cannot be loaded here: its import is missing on the 32-bit simulated
// process, and its machine is not the x64 process's.
TEST_F(PathReportFileSearch, CopyThatCannotBeLoaded) {
    const std::string folder = ScratchSubfolder("bad");
    const std::string size = Put(folder, "x86/kelvra_badimport.dll", "kelvra_badimport.dll");
    SetSystemPath(folder);
    SetProcessPath("");

    const std::string report = Search("kelvra_badimport.dll");
    const std::string entry = "\rPATH folder: " + folder + " contains kelvra_badimport.dll\r";
    EXPECT_EQ(report, "\rSystem PATH folders containing kelvra_badimport.dll\r" + entry +
                          "\tVersion: N/A Size:  " + size +
                          "\r"
                          "\tDLL cannot be loaded\r"
                          "\tDLL is Win32\r"
                          "\r");
}

// A copy that this process has loaded, and a file that is not a DLL.
TEST_F(PathReportFileSearch, LoadedModuleAndOtherFiles) {
    const std::string folder = ScratchSubfolder("f");
    const std::string dllSize = Put(folder, NativeDll("kelvra_ver2.dll"), "kelvra_pathloaded.dll");
    const std::string exeSize = Put(folder, NativeDll("kelvra_ver6.dll"), "kelvra_tool.exe");
    SetSystemPath(folder);
    SetProcessPath("");
    const platform::kernel32::Module loaded =
        platform::kernel32::LoadLibrary(folder + "kelvra_pathloaded.dll");
    ASSERT_TRUE(loaded);

    EXPECT_EQ(Search("kelvra_pathloaded.dll"),
              "\rSystem PATH folders containing kelvra_pathloaded.dll\r"
              "\rPATH folder: " +
                  folder +
                  " contains kelvra_pathloaded.dll\r"
                  "\tVersion: 2.0.50727.42 Size:  " +
                  dllSize +
                  "\r"
                  "\tDLL is loaded\r" +
                  NativeMachineLine() + "\r");
    EXPECT_EQ(Search("kelvra_tool.exe"),
              "\rSystem PATH folders containing kelvra_tool.exe\r"
              "\rPATH folder: " +
                  folder +
                  " contains kelvra_tool.exe\r"
                  "\tVersion: 6.0.8169.0 Size:  " +
                  exeSize + "\r\r");
}

// Duplicates and folders marked missing are passed over without a line.
TEST_F(PathReportFileSearch, SkipsDuplicatesAndMissingFolders) {
    const std::string folder = ScratchSubfolder("f");
    Put(folder, NativeDll("kelvra_nover.dll"), "kelvra_tool.exe");
    table_ = MakeTable({{folder, folder, true, false}, {folder, folder, true, true, 1}});

    EXPECT_EQ(Search("kelvra_tool.exe"),
              "\rSystem PATH folders containing kelvra_tool.exe\r"
              "\rkelvra_tool.exe was not found in the PATH\r");
}

// A copy found in a relative folder (taken from the working folder, the scratch folder here)
// is listed with the note on its folder.
TEST_F(PathReportFileSearch, CopyInARelativeFolderIsNoted) {
    ScratchSubfolder("rel");
    const std::string size =
        Put(scratch_ / "rel\\", NativeDll("kelvra_ver6.dll"), "kelvra_rel.exe");
    SetSystemPath(".\\rel");
    SetProcessPath("");

    EXPECT_EQ(Search("kelvra_rel.exe"),
              "\rSystem PATH folders containing kelvra_rel.exe\r"
              "\rPATH folder: .\\rel\\ contains kelvra_rel.exe\r"
              "\tVersion: 6.0.8169.0 Size:  " +
                  size +
                  "\r"
                  "\tFolder is relative; Windows resolves it against the working folder\r\r");
}

// An empty table is built first: the heading alone in the list of all folders, the heading
// and the not-found line in the folder-name search.
TEST_F(PathReportFileSearch, EmptyPathsGiveHeadingAndNotFoundLine) {
    SetSystemPath("");
    SetProcessPath("");
    EXPECT_EQ(Search("kelvra.dll"),
              "\rSystem PATH folders containing kelvra.dll\r"
              "\rkelvra.dll was not found in the PATH\r");
    std::string report;
    display_path_info(table_, fso_, 0, report, "");
    EXPECT_EQ(report, "\rSystem PATH environment variables\r\r");
    report.clear();
    display_path_info(table_, fso_, 1, report, "Quorvane");
    EXPECT_EQ(report,
              "\rSystem PATH environment variables for Quorvane\r"
              "\rQuorvane was not found in the PATH\r");
}

TEST_F(PathReportFileSearch, FolderNameBlockFromThePlatformPath) {
    const std::string quorvane = ScratchSubfolder("Quorvane");
    const std::string user = ScratchSubfolder("user");
    SetSystemPath(quorvane.substr(0, quorvane.size() - 1));
    SetProcessPath(quorvane + ";" + user);
    std::string report;
    display_path_info(table_, fso_, 1, report, "Quorvane");
    EXPECT_EQ(report,
              "\rSystem PATH environment variables for Quorvane\r"
              "\rQuorvane " +
                  quorvane + "\r\tFull Path Name: " + quorvane +
                  "\r"
                  "\r\rUser PATH environment variables\r\r");
}

// The block for a PATH prepared with every kind of entry Windows cannot use as written, set up
// as Windows builds it: the machine-wide value stored unexpanded, the process PATH holding the
// same folders expanded (references to variables that are not set kept as written) and the
// user's own folders after them.
class PathReportPrepared : public kelvra::test::PathFixture {
  protected:
    // The lines of a block, each ended by CR.
    static std::string Lines(const std::vector<std::string>& lines) {
        std::string block;
        for (const std::string& line : lines) {
            block += line + "\r";
        }
        return block;
    }

    static std::string Lower(std::string text) {
        for (char& c : text) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return text;
    }
};

TEST_F(PathReportPrepared, EveryEntryWindowsCannotUseAsWritten) {
    const std::string s = scratch_.path();
    std::string forward = s;
    std::replace(forward.begin(), forward.end(), '\\', '/');
    ScratchSubfolder("Quorvane");
    ScratchSubfolder("UserQuorvane");
    // A folder that an undefined reference expanded to nothing would name; made only where
    // that changes no real machine.
    if (kelvra::test::kSimulated || kelvra::test::RunningUnderWine()) {
        EnsureFolder(s.substr(0, 3) + "Quorvane");
    }
    SetVariable("KELVRA_PT", s);
    UnsetVariable("KELVRA_UNDEFINED_13");
    UnsetVariable("QUORVANE_HOME_13");
    SetSystemPath(s + "\\Quorvane;%KELVRA_UNDEFINED_13%\\Quorvane;%QUORVANE_HOME_13%\\bin;\"" + s +
                  "\\Quorvane\";" + s + "\\Quorvane  ;" + forward + "/Quorvane;" + s +
                  "\\Quorvane\\\\;%KELVRA_PT%\\sub\\..\\Quorvane;.\\bin\\Quorvane;" + s +
                  "\\QuorvaneMissing;%KELVRA_PT%");
    SetProcessPath(s + "\\Quorvane;%KELVRA_UNDEFINED_13%\\Quorvane;%QUORVANE_HOME_13%\\bin;\"" + s +
                   "\\Quorvane\";" + s + "\\Quorvane  ;" + forward + "/Quorvane;" + s +
                   "\\Quorvane\\\\;" + s + "\\sub\\..\\Quorvane;.\\bin\\Quorvane;" + s +
                   "\\QuorvaneMissing;" + s + ";" + s + "\\UserQuorvane;" +
                   "%KELVRA_UNDEFINED_13%\\UserQuorvane;" + Lower(s) + "\\QUORVANE;" + s +
                   "\\UserQuorvane\\.");

    std::string report;
    display_path_info(table_, fso_, 1, report, "Quorvane");

    const std::string missing = "\tFolder does not exist";
    const std::string undefined = "\tFolder uses an undefined variable: %KELVRA_UNDEFINED_13%";
    EXPECT_EQ(report,
              Lines({
                  "",
                  "System PATH environment variables for Quorvane",
                  "",
                  "Quorvane " + s + "\\Quorvane\\",
                  "\tFull Path Name: " + s + "\\Quorvane\\",
                  "",
                  "Quorvane %KELVRA_UNDEFINED_13%\\Quorvane\\",
                  "\tFull Path Name: %KELVRA_UNDEFINED_13%\\Quorvane\\",
                  missing,
                  undefined,
                  "",
                  "Quorvane %QUORVANE_HOME_13%\\bin\\",
                  "\tFull Path Name: %QUORVANE_HOME_13%\\bin\\",
                  missing,
                  "\tFolder uses an undefined variable: %QUORVANE_HOME_13%",
                  "",
                  "Quorvane \"" + s + "\\Quorvane\"\\",
                  "\tFull Path Name: \"" + s + "\\Quorvane\"\\",
                  missing,
                  "\tFolder is quoted; Windows does not remove the quotes",
                  "",
                  "Quorvane " + s + "\\Quorvane  \\",
                  "\tFull Path Name: " + s + "\\Quorvane  \\",
                  missing,
                  "\tFolder has leading or trailing spaces",
                  "",
                  "Quorvane " + forward + "/Quorvane\\: " + forward + "/Quorvane\\",
                  "\tPATH duplicated",
                  "",
                  "Quorvane " + s + "\\Quorvane\\\\: " + s + "\\Quorvane\\\\",
                  "\tPATH duplicated",
                  "",
                  "Quorvane %KELVRA_PT%\\sub\\..\\Quorvane\\: " + s + "\\sub\\..\\Quorvane\\",
                  "\tPATH duplicated",
                  "",
                  "Quorvane .\\bin\\Quorvane\\",
                  "\tFull Path Name: .\\bin\\Quorvane\\",
                  missing,
                  "\tFolder is relative; Windows resolves it against the working folder",
                  "",
                  "Quorvane " + s + "\\QuorvaneMissing\\",
                  "\tFull Path Name: " + s + "\\QuorvaneMissing\\",
                  missing,
                  "",
                  "",
                  "User PATH environment variables",
                  "",
                  "Quorvane " + s + "\\UserQuorvane\\",
                  "\tFull Path Name: " + s + "\\UserQuorvane\\",
                  "",
                  "Quorvane %KELVRA_UNDEFINED_13%\\UserQuorvane\\",
                  "\tFull Path Name: %KELVRA_UNDEFINED_13%\\UserQuorvane\\",
                  missing,
                  undefined,
                  "",
                  "Quorvane " + s + "\\UserQuorvane\\.\\: " + s + "\\UserQuorvane\\.\\",
                  "\tPATH duplicated",
                  "",
              }));
}

// A machine-wide value that Windows does not use, or uses without expanding it, gets one note
// line at the top of the system section.
TEST_F(PathReportPrepared, SystemPathValueOfEveryType) {
    namespace reg = platform::registry;
    const std::string user = ScratchSubfolder("UserQuorvane");
    const std::string quorvane = ScratchSubfolder("Quorvane");
    const std::string text = quorvane + ";C:\\Other";
    SetVariable("KELVRA_PT", scratch_.path());
    const auto block = [&user](const std::string& note, std::vector<std::string> systemLines) {
        std::vector<std::string> lines{"", "System PATH environment variables for Quorvane", "",
                                       "\t" + note};
        lines.insert(lines.end(), systemLines.begin(), systemLines.end());
        for (const std::string& line :
             {std::string(), std::string(), std::string("User PATH environment variables"),
              std::string(), "Quorvane " + user, "\tFull Path Name: " + user, std::string()}) {
            lines.push_back(line);
        }
        return Lines(lines);
    };
    struct Case {
        std::uint32_t type;
        std::vector<std::uint8_t> data;  // none: the value is removed
        std::string processPath;
        std::string expected;
    };
    const std::vector<Case> cases{
        {reg::kRegMultiSz,
         platform::text::EncodeRegistryString(quorvane + std::string(1, '\0') + "C:\\Other"), user,
         block("Path value has type REG_MULTI_SZ; Windows does not use it", {})},
        {reg::kRegBinary, platform::text::EncodeRegistryString(text), user,
         block("Path value has type REG_BINARY; Windows does not use it", {})},
        {reg::kRegDword, std::vector<std::uint8_t>{0x01, 0x00, 0x00, 0x00}, user,
         block("Path value has type REG_DWORD; Windows does not use it", {})},
        {reg::kRegNone, {}, user, block("Path value is missing from the registry", {})},
        {reg::kRegSz, platform::text::EncodeRegistryString("%KELVRA_PT%\\Quorvane;" + text),
         "%KELVRA_PT%\\Quorvane;" + text + ";" + user,
         block("Path value has type REG_SZ; Windows does not expand its %NAME% references",
               {"", "Quorvane %KELVRA_PT%\\Quorvane\\", "\tFull Path Name: %KELVRA_PT%\\Quorvane\\",
                "\tFolder does not exist",
                "\tFolder is relative; Windows resolves it against the working folder", "",
                "Quorvane " + quorvane, "\tFull Path Name: " + quorvane})},
    };
    for (const Case& c : cases) {
        if (c.data.empty()) {
            RemoveSystemPath();
        } else {
            SetSystemPathValue(c.type, c.data);
        }
        SetProcessPath(c.processPath);
        PathFolderTable table;
        std::string report;
        display_path_info(table, fso_, 1, report, "Quorvane");
        EXPECT_EQ(report, c.expected) << "type " << c.type;
    }
}

}  // namespace
