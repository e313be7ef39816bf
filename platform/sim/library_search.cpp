#include "platform/sim/library_search.h"

#include "platform/text.h"

namespace platform::sim {
namespace {

std::string Join(std::string folder, std::string_view name) {
    if (!folder.empty() && !folder.ends_with('\\')) {
        folder += '\\';
    }
    return folder + std::string(name);
}

std::string BaseName(std::string_view path) {
    const auto cut = path.find_last_of("\\/");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

// Whether the file at `path` can be mapped into this process; the reason when it cannot.
std::uint32_t LoadError(Machine& machine, const std::string& path) {
    (void)machine;
    (void)path;
    return 0;
}

}  // namespace

std::vector<std::string> LibrarySearchFolders(const Machine& machine) {
    std::vector<std::string> folders{machine.programFolder, machine.systemFolder,
                                     machine.windowsFolder, machine.currentDirectory};
    const std::string path = machine.GetEnv("PATH").value_or("");
    std::size_t start = 0;
    while (start <= path.size() && !path.empty()) {
        auto end = path.find(';', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > start) {
            folders.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return folders;
}

LibrarySearchResult SearchLibrary(Machine& machine, std::string_view name) {
    const bool hasFolder = name.find_first_of("\\/") != std::string_view::npos;
    if (!hasFolder) {
        const auto loaded = machine.modules.find(text::AsciiUpper(BaseName(name)));
        if (loaded != machine.modules.end()) {
            return {loaded->second.path, 0};
        }
    }
    std::vector<std::string> candidates;
    if (hasFolder) {
        candidates.push_back(machine.Absolute(name));
    } else {
        for (const std::string& folder : LibrarySearchFolders(machine)) {
            candidates.push_back(Join(folder, name));
        }
    }
    for (const std::string& candidate : candidates) {
        if (machine.FindFile(candidate) == nullptr) {
            continue;
        }
        if (const std::uint32_t error = LoadError(machine, candidate); error != 0) {
            return {std::nullopt, error};
        }
        return {machine.Absolute(candidate), 0};
    }
    return {std::nullopt, 126};
}

}  // namespace platform::sim
