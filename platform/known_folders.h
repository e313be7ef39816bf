// The machine's known folders that paths are placed below when two machines are compared: the
// Windows folder, the program files folders and the profile folder of the account that runs
// the program. Two machines whose Windows folder, drive or user name differ keep their files
// at the same place below these folders.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace platform::known_folders {

struct KnownFolders {
    // The Windows folder that the library search looks in.
    std::optional<std::string> windows;
    // The program files folder of the system's own machine ("C:\Program Files"), also for a
    // 32-bit program on 64-bit Windows, which the system points at the x86 one.
    std::optional<std::string> programFiles;
    // The program files folder of 32-bit programs on 64-bit Windows ("C:\Program Files
    // (x86)"); nullopt on 32-bit Windows, which has only the one above.
    std::optional<std::string> programFilesX86;
    // The profile folder of the account that runs the program.
    std::optional<std::string> userProfile;
    friend bool operator==(const KnownFolders&, const KnownFolders&) = default;
};

// Each known folder with its name, as the JSON report spells it, in the report's order.
using KnownFolder = std::optional<std::string> KnownFolders::*;
inline constexpr std::array<std::pair<std::string_view, KnownFolder>, 4> kNamedFolders = {{
    {"windows", &KnownFolders::windows},
    {"programFiles", &KnownFolders::programFiles},
    {"programFilesX86", &KnownFolders::programFilesX86},
    {"userProfile", &KnownFolders::userProfile},
}};

// The known folders of this machine, each without a trailing "\"; nullopt for one that the
// system does not name.
KnownFolders ReadKnownFolders();

}  // namespace platform::known_folders
