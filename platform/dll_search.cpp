#include "platform/dll_search.h"

#include "platform/kernel32.h"
#include "platform/registry.h"
#include "platform/runtime.h"
#include "platform/text.h"

namespace platform {

std::vector<std::string> ProcessPathFolders() {
    std::vector<std::string> folders;
    const std::string path = runtime::Environ("PATH");
    std::size_t start = 0;
    while (start < path.size()) {
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

std::vector<std::string> DllSearchFolders() {
    std::vector<std::string> folders{kernel32::ProgramFolder(), kernel32::SystemFolder(),
                                     kernel32::WindowsFolder(), runtime::CurDir()};
    for (std::string& folder : ProcessPathFolders()) {
        folders.push_back(std::move(folder));
    }
    return folders;
}

bool IsApiSetName(std::string_view name) {
    return text::StartsWithIgnoringCase(name, "api-ms-") ||
           text::StartsWithIgnoringCase(name, "ext-ms-");
}

std::vector<std::string> KnownDllNames() {
    constexpr std::string_view kKey =
        "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs";
    // A key that keeps answering is read no further than any real one reaches.
    constexpr std::uint32_t kMaxValues = 4096;
    std::vector<std::string> names;
    registry::Key key;
    if (registry::OpenKey(registry::PredefinedKey(registry::kLocalMachine), kKey,
                          registry::kKeyRead, key) != registry::kErrorSuccess) {
        return names;
    }
    std::string name;
    registry::Value value;
    for (std::uint32_t i = 0; i < kMaxValues && registry::EnumValue(key.get(), i, name, value) ==
                                                    registry::kErrorSuccess;
         ++i) {
        if (value.type == registry::kRegSz) {
            names.push_back(text::AsciiUpper(text::DecodeRegistryString(value.data)));
        }
    }
    return names;
}

std::optional<std::string> FindDllOnSearchPath(std::string_view name) {
    for (std::string folder : DllSearchFolders()) {
        if (!folder.empty() && !folder.ends_with('\\')) {
            folder += '\\';
        }
        const std::string candidate = folder + std::string(name);
        const auto attributes = kernel32::GetFileAttributes(candidate);
        if (attributes && (*attributes & kernel32::kFileAttributeDirectory) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace platform
