#include "platform/sim/library_search.h"

#include <algorithm>
#include <charconv>
#include <span>

#include "platform/dll_search.h"
#include "platform/pe_image.h"
#include "platform/text.h"

namespace platform::sim {
namespace {

std::string Join(std::string folder, std::string_view name) {
    if (!folder.empty() && !folder.ends_with('\\')) {
        folder += '\\';
    }
    return folder + std::string(name);
}

constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorModNotFound = 126;
constexpr std::uint32_t kErrorBadExeFormat = 193;
constexpr std::uint32_t kErrorDllInitFailed = 1114;
// How deep a chain of imports is followed; below that, a DLL counts as found.
constexpr int kMaxImportDepth = 16;

// API-set names are resolved by the loader itself to whatever DLL implements them.
bool IsApiSetName(std::string_view name) {
    const std::string upper = text::AsciiUpper(name);
    return upper.starts_with("API-MS-") || upper.starts_with("EXT-MS-");
}

LibrarySearchResult Search(Machine& machine, std::string_view name, int depth,
                           std::vector<std::string>& loading);

// The error that a DLL's start-up code makes its load fail with, 0 for none.
std::uint32_t StartUpError(std::string_view bytes) {
    const auto at = bytes.find(kStartUpFailsMarker);
    if (at == std::string_view::npos) {
        return 0;
    }
    constexpr std::string_view kWith = "-WITH-";
    std::string_view rest = bytes.substr(at + kStartUpFailsMarker.size());
    std::uint32_t code = 0;
    if (rest.starts_with(kWith)) {
        rest.remove_prefix(kWith.size());
        std::from_chars(rest.data(), rest.data() + rest.size(), code);
    }
    return code != 0 ? code : kErrorDllInitFailed;
}

// Why the file at `path` cannot be mapped into this process, or 0 when it can: it must be a
// PE image of the process's machine, and every DLL it imports directly must be loaded
// already or be found, in turn loadable, by the same search. `loading` holds the upper-cased
// base names of the DLLs on the way here, so that DLLs importing each other are found.
std::uint32_t LoadError(Machine& machine, const std::string& path, int depth,
                        std::vector<std::string>& loading) {
    const File* file = machine.FindFile(path);
    if (file == nullptr) {
        return kErrorModNotFound;
    }
    if (file->heldExclusively) {
        return kErrorSharingViolation;
    }
    const std::span<const std::uint8_t> bytes(
        reinterpret_cast<const std::uint8_t*>(file->bytes.data()), file->bytes.size());
    if (bytes.size() < 2 || bytes[0] != 'M' || bytes[1] != 'Z') {
        return kErrorBadExeFormat;
    }
    const auto imageMachine = pe::ReadMachine(bytes);
    if (!imageMachine || *imageMachine != machine.processMachine) {
        return kErrorBadExeFormat;
    }
    const auto imports = pe::ReadImportedDlls(bytes);
    if (!imports) {
        return kErrorBadExeFormat;
    }
    if (depth >= kMaxImportDepth) {
        return 0;
    }
    for (const std::string& import : *imports) {
        const std::string upper = text::AsciiUpper(import);
        if (IsApiSetName(import) || machine.modules.contains(upper) ||
            std::find(loading.begin(), loading.end(), upper) != loading.end()) {
            continue;
        }
        loading.push_back(upper);
        const LibrarySearchResult dependency = Search(machine, import, depth + 1, loading);
        loading.pop_back();
        if (!dependency.path) {
            return dependency.error;
        }
    }
    // Mapped with all its imports; now its start-up code would run.
    return StartUpError(file->bytes);
}

LibrarySearchResult Search(Machine& machine, std::string_view name, int depth,
                           std::vector<std::string>& loading) {
    const bool hasFolder = name.find_first_of("\\/") != std::string_view::npos;
    if (hasFolder) {
        // A full path names a module already loaded when it is that module's file.
        const std::string wanted = machine.Canonical(name);
        for (const auto& [upper, module] : machine.modules) {
            if (machine.Canonical(module.path) == wanted) {
                return {module.path, 0};
            }
        }
    } else {
        const auto loaded = machine.modules.find(text::AsciiUpper(BaseName(name)));
        if (loaded != machine.modules.end()) {
            return {loaded->second.path, 0};
        }
    }
    std::vector<std::string> candidates;
    if (hasFolder) {
        candidates.push_back(machine.Absolute(name));
    } else {
        for (const std::string& folder : DllSearchFolders()) {
            candidates.push_back(Join(folder, name));
        }
    }
    // The first file found decides: one that cannot load ends the search.
    for (const std::string& candidate : candidates) {
        const File* file = machine.FindFile(candidate);
        if (file == nullptr) {
            continue;
        }
        if (const std::uint32_t error = LoadError(machine, candidate, depth, loading); error != 0) {
            return {std::nullopt, error};
        }
        return {file->path, 0};  // the file's own spelling, as the module's name
    }
    return {std::nullopt, kErrorModNotFound};
}

}  // namespace

LibrarySearchResult SearchLibrary(Machine& machine, std::string_view name) {
    std::vector<std::string> loading{text::AsciiUpper(BaseName(name))};
    return Search(machine, name, 0, loading);
}

std::string BaseName(std::string_view path) {
    return std::string(text::FileNameOf(path));
}

std::string WithDefaultExtension(std::string_view name) {
    if (BaseName(name).find('.') == std::string::npos) {
        return std::string(name) + ".dll";
    }
    return std::string(name);
}

bool MapsAnew(const Machine& machine, std::string_view path) {
    return !machine.modules.contains(text::AsciiUpper(BaseName(path)));
}

}  // namespace platform::sim
