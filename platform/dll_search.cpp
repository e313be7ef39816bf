#include "platform/dll_search.h"

#include "platform/kernel32.h"
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
