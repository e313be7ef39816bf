// PATH texts of any bytes: splitting, expansion of %NAME% references, and the PATH folder
// table built from a machine-wide and a process PATH taken from the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_input.h"
#include "pathcheck/path_table.h"
#include "platform/sim/machine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto text = kelvra::fuzz::AsText(data, size);
    // The first line is the machine-wide PATH, the rest the process PATH.
    const auto cut = text.find('\n');
    const auto systemPath = text.substr(0, cut);
    const auto processPath =
        cut == std::string_view::npos ? std::string_view{} : text.substr(cut + 1);

    (void)pathcheck::SplitPathList(text);
    const auto lookup = [](std::string_view name) { return std::string(name.size() % 3, '%'); };
    (void)pathcheck::ExpandReferences(text, lookup);

    platform::sim::Reset();
    auto& machine = platform::sim::machine();
    machine.SetEnv("PATH", processPath);
    machine.SetEnv("A", "%B%;C:\\x");
    (void)pathcheck::get_full_path_name(std::string(text));
    pathcheck::PathFolderTable table;
    pathcheck::AddSystemEntries(
        table, systemPath, [](std::string_view) { return std::string("v"); },
        [](std::string_view) { return true; });
    long count = 0;
    std::vector<std::string> folders;
    pathcheck::VB_get_path_folders(count, folders);
    pathcheck::AddUserEntries(
        table, folders, [](std::string_view) { return std::string(); },
        [](std::string_view) { return false; });
    return 0;
}
