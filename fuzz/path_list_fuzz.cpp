// PATH texts of any bytes: splitting, expansion of %NAME% references as the platform does it,
// the folder a text resolves to, the notes on an entry, and the PATH folder table built from a
// machine-wide and a process PATH taken from the input. Broken invariants abort.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "fuzz/fuzz_input.h"
#include "pathcheck/path_report.h"
#include "pathcheck/path_table.h"
#include "platform/sim/machine.h"

namespace {

void Require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// Entries 1 to numPathFolders: each folder ends with "\", a repeat names an earlier entry of
// its own kind with the same folder key, and the system entries are exactly the pieces.
void CheckTable(const pathcheck::PathFolderTable& table, std::size_t systemPieces) {
    std::size_t systemEntries = 0;
    for (long k = 1; k <= table.numPathFolders; ++k) {
        const auto slot = static_cast<std::size_t>(k);
        Require(table.PathFolder[slot].ends_with('\\'));
        const long repeated = table.PathDuplicate[slot];
        Require(repeated >= 0 && repeated < k);
        if (repeated > 0) {
            const auto earlier = static_cast<std::size_t>(repeated);
            Require(table.PathIsSystem[earlier] == table.PathIsSystem[slot]);
            Require(table.PathFolderKey[earlier] == table.PathFolderKey[slot]);
        }
        systemEntries += table.PathIsSystem[slot] ? 1 : 0;
    }
    Require(systemEntries == systemPieces);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto text = kelvra::fuzz::AsText(data, size);
    // The first line is the machine-wide PATH, the rest the process PATH.
    const auto cut = text.find('\n');
    const auto systemPath = text.substr(0, cut);
    const auto processPath =
        cut == std::string_view::npos ? std::string_view{} : text.substr(cut + 1);

    (void)pathcheck::SplitPathList(text);
    const pathcheck::EnvironmentLookup unset = [](std::string_view) { return std::nullopt; };
    // With no variable set, expansion changes nothing.
    Require(pathcheck::ExpandReferences(text, unset) == text);
    const auto odd = [](std::string_view name) -> std::optional<std::string> {
        if (name.size() % 2 == 0) {
            return std::nullopt;
        }
        return std::string(name.size() % 3, '%');
    };
    const pathcheck::Expansion expansion = pathcheck::ExpandAsPlatform(text, odd);
    (void)pathcheck::NotesForEntry(text, expansion);
    // Resolving a resolved folder changes nothing.
    const std::string normalized = pathcheck::NormalizedFolder(text);
    Require(pathcheck::NormalizedFolder(normalized) == normalized);
    Require(normalized.ends_with('\\'));

    platform::sim::Reset();
    auto& machine = platform::sim::machine();
    machine.SetEnv("PATH", processPath);
    machine.SetEnv("A", "%B%;C:\\x");
    (void)pathcheck::get_full_path_name(std::string(text));
    pathcheck::PathFolderTable table;
    pathcheck::AddSystemEntries(table, systemPath, true, odd,
                                [](std::string_view) { return true; });
    const std::size_t systemPieces = pathcheck::SplitPathList(systemPath).size();
    CheckTable(table, systemPieces);
    pathcheck::AddUserEntries(table, pathcheck::SplitPathList(processPath), unset,
                              [](std::string_view) { return false; });
    CheckTable(table, systemPieces);
    std::string report;
    table.systemPath.state = pathcheck::SystemPathState::kIgnored;
    table.systemPath.type = static_cast<std::uint32_t>(size);
    const platform::scripting::FileSystemObject fso;
    pathcheck::display_path_info(table, fso, 0, report, "");
    return 0;
}
