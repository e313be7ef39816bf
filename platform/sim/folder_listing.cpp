#include "platform/folder_listing.h"

#include "platform/sim/machine.h"

namespace platform::folder {

std::optional<std::vector<std::string>> FileNames(std::string_view folder) {
    const auto& m = sim::machine();
    if (!m.FolderExists(folder)) {
        return std::nullopt;
    }
    const std::string wanted = m.Canonical(folder);
    std::vector<std::string> names;
    for (const auto& [canonical, file] : m.files()) {
        const auto cut = canonical.find_last_of('\\');
        // A file right below a drive's root has the root's key, "C:\".
        const std::string parent = canonical.substr(0, cut == 2 ? 3 : cut);
        if (parent == wanted) {
            names.push_back(file.path.substr(file.path.find_last_of('\\') + 1));
        }
    }
    return names;
}

}  // namespace platform::folder
