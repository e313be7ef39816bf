// PATH texts as Windows reads them: expansion (also side by side with the platform's own),
// the folder a text resolves to, and the notes on entries Windows cannot use as written.
#include "pathcheck/path_text.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "path_fixture.h"
#include "pathcheck/path_notes.h"
#include "platform/registry.h"
#include "platform/runtime.h"

namespace {

using pathcheck::EntryNote;
using pathcheck::Expansion;

pathcheck::EnvironmentLookup MapLookup(std::map<std::string, std::string> values) {
    return [values = std::move(values)](std::string_view name) -> std::optional<std::string> {
        const auto found = values.find(std::string(name));
        if (found == values.end()) {
            return std::nullopt;
        }
        return found->second;
    };
}

TEST(PathExpansion, UndefinedReferencesStayAsWrittenAndAreNamedOnce) {
    const auto lookup = MapLookup({{"A", "C:\\a"}, {"Empty", ""}});
    const auto expand = [&lookup](std::string_view text) {
        return pathcheck::ExpandAsPlatform(text, lookup);
    };
    EXPECT_EQ(expand("%UNDEFINED%\\Quorvane\\"),
              (Expansion{"%UNDEFINED%\\Quorvane\\", {"UNDEFINED"}}));
    EXPECT_EQ(expand("%A%\\%Missing%\\%MISSING%\\%Other%\\"),
              (Expansion{"C:\\a\\%Missing%\\%MISSING%\\%Other%\\", {"Missing", "Other"}}));
    // A variable set to "" is set.
    EXPECT_EQ(expand("%Empty%\\bin\\"), (Expansion{"\\bin\\", {}}));
    // "%%" names no variable; an undefined reference's closing "%" does not open another.
    EXPECT_EQ(expand("%%\\%B%A%\\"), (Expansion{"%%\\%B%A%\\", {"B"}}));
}

// The rule of the pure expansion is the platform's: both give the same fixed texts for the
// process environment (under Wine, ExpandEnvironmentStringsW itself).
class PathExpansionOnPlatform : public kelvra::test::PathFixture {};

TEST_F(PathExpansionOnPlatform, AgreesWithThePlatformExpansion) {
    SetVariable("KELVRA_EXP_DIR", "C:\\Kelvra Dir");
    SetVariable("KELVRA_EXP_EMPTY", "");
    SetVariable("KELVRA_EXP_INNER", "%KELVRA_EXP_DIR%\\x");
    UnsetVariable("KELVRA_EXP_UNSET");
    const std::vector<std::pair<std::string, std::string>> cases{
        {"%KELVRA_EXP_DIR%\\bin", "C:\\Kelvra Dir\\bin"},
        {"%kelvra_exp_dir%\\bin", "C:\\Kelvra Dir\\bin"},
        {"%KELVRA_EXP_UNSET%\\Quorvane", "%KELVRA_EXP_UNSET%\\Quorvane"},
        {"%KELVRA_EXP_UNSET%%KELVRA_EXP_DIR%", "%KELVRA_EXP_UNSET%C:\\Kelvra Dir"},
        {"%KELVRA_EXP_EMPTY%\\bin", "\\bin"},
        {"%KELVRA_EXP_INNER%", "%KELVRA_EXP_DIR%\\x"},
        {"%%\\b", "%%\\b"},
        {"C:\\50%\\%KELVRA_EXP_DIR%", "C:\\50%\\%KELVRA_EXP_DIR%"},
        {"C:\\x\\%KELVRA_EXP_DIR", "C:\\x\\%KELVRA_EXP_DIR"},
    };
    const pathcheck::EnvironmentLookup environment = [](std::string_view name) {
        return platform::runtime::FindEnviron(name);
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(platform::runtime::ExpandEnviron(text), expected) << text;
        EXPECT_EQ(pathcheck::ExpandReferences(text, environment), expected) << text;
    }
}

TEST(PathFolders, NormalisedAsTheFileSystemResolvesThem) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"C:\\Program Files\\Bin\\Quorvane\\", "C:\\Program Files\\Bin\\Quorvane\\"},
        {"C:/Program Files/Bin/Quorvane", "C:\\Program Files\\Bin\\Quorvane\\"},
        {"C:\\Program Files\\\\Bin\\Quorvane\\\\", "C:\\Program Files\\Bin\\Quorvane\\"},
        {"C:\\WINDOWS\\..\\Program Files\\Bin\\Quorvane\\", "C:\\Program Files\\Bin\\Quorvane\\"},
        {"C:\\a\\.\\b\\..\\..\\c", "C:\\c\\"},
        {"C:\\..\\..\\x\\", "C:\\x\\"},
        {"\\a\\..\\..", "\\"},
        {"\\", "\\"},
        {".\\bin\\Quorvane\\", "bin\\Quorvane\\"},
        {"..\\x\\..\\..\\y", "..\\..\\y\\"},
        {".", ".\\"},
        {"C:..\\y", "C:..\\y\\"},
        {"C:", "C:.\\"},
        {"\\\\server\\share\\..\\x", "\\\\server\\share\\x\\"},
        {"//server/share/a/", "\\\\server\\share\\a\\"},
        {"\\\\?\\C:\\z\\..", "\\\\?\\C:\\z\\..\\"},
        // What the file system does not remove stays.
        {"\"C:\\x\"\\", "\"C:\\x\"\\"},
        {"C:\\x  \\", "C:\\x  \\"},
        {" C:\\x\\", " C:\\x\\"},
    };
    for (const auto& [folder, expected] : cases) {
        EXPECT_EQ(pathcheck::NormalizedFolder(folder), expected) << folder;
    }
    EXPECT_EQ(pathcheck::FolderKey("c:/program files/bin/QUORVANE//"),
              pathcheck::FolderKey("C:\\Program Files\\Bin\\Quorvane"));
    EXPECT_NE(pathcheck::FolderKey("C:\\Quorvane  \\"), pathcheck::FolderKey("C:\\Quorvane\\"));
}

TEST(PathFolders, FullPathsHaveADriveRootOrANetworkName) {
    for (const char* full : {"C:\\", "c:/x", "\\\\server\\share", "//server/share"}) {
        EXPECT_TRUE(pathcheck::IsFullPath(full)) << full;
    }
    for (const char* relative : {"", "x", ".\\bin", "..\\x", "\\x", "C:", "C:x", "\"C:\\x\""}) {
        EXPECT_FALSE(pathcheck::IsFullPath(relative)) << relative;
    }
}

std::vector<std::string> NoteTexts(std::string_view piece,
                                   const std::map<std::string, std::string>& variables = {}) {
    const Expansion expansion = pathcheck::ExpandAsPlatform(
        pathcheck::WithTrailingBackslash(std::string(piece)), MapLookup(variables));
    return pathcheck::EntryNoteTexts(pathcheck::NotesForEntry(piece, expansion));
}

TEST(PathNotes, EntriesWindowsCannotUseAsWritten) {
    using Texts = std::vector<std::string>;
    const std::string quoted = "Folder is quoted; Windows does not remove the quotes";
    const std::string spaces = "Folder has leading or trailing spaces";
    const std::string relative =
        "Folder is relative; Windows resolves it against the working folder";
    EXPECT_EQ(NoteTexts("\"C:\\Program Files\\Bin\\Quorvane\""), Texts{quoted});
    EXPECT_EQ(NoteTexts("C:\\Program Files\\Bin\\Quorvane  "), Texts{spaces});
    EXPECT_EQ(NoteTexts(" C:\\Quorvane"), Texts{spaces});
    EXPECT_EQ(NoteTexts(".\\bin\\Quorvane"), Texts{relative});
    EXPECT_EQ(NoteTexts("\\Quorvane"), Texts{relative});
    EXPECT_EQ(NoteTexts("C:Quorvane"), Texts{relative});
    EXPECT_EQ(NoteTexts(" .\\bin"), (Texts{spaces, relative}));
    EXPECT_EQ(NoteTexts("%UNDEFINED%\\Quorvane"),
              Texts{"Folder uses an undefined variable: %UNDEFINED%"});
    EXPECT_EQ(NoteTexts("C:\\Tools\\%A%\\%B%\\bin"),
              (Texts{"Folder uses an undefined variable: %A%",
                     "Folder uses an undefined variable: %B%"}));
    // A defined variable that gives a relative folder.
    EXPECT_EQ(NoteTexts("%HOME%\\bin", {{"HOME", "bin"}}), Texts{relative});
}

TEST(PathNotes, OrdinaryEntriesHaveNone) {
    for (const char* piece : {"", "C:\\Program Files\\Bin\\Quorvane", "C:\\Tools\\", "c:/tools",
                              "\\\\server\\share\\bin", "%SystemRoot%\\system32"}) {
        EXPECT_TRUE(NoteTexts(piece, {{"SystemRoot", "C:\\WINDOWS"}}).empty()) << piece;
    }
}

// The other value notes show in the blocks of the report tests.
TEST(PathNotes, SystemPathValueNotes) {
    namespace reg = platform::registry;
    using State = pathcheck::SystemPathState;
    EXPECT_EQ(pathcheck::SystemPathNoteText({State::kExpandable, reg::kRegExpandSz, false}), "");
    EXPECT_EQ(pathcheck::SystemPathNoteText({State::kLiteral, reg::kRegSz, false}), "");
    EXPECT_EQ(pathcheck::SystemPathNoteText({State::kIgnored, reg::kRegQword, false}),
              "Path value has type REG_QWORD; Windows does not use it");
    EXPECT_EQ(pathcheck::SystemPathNoteText({State::kIgnored, 0x1234, false}),
              "Path value has type 0x1234; Windows does not use it");
}

}  // namespace
