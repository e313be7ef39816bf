#include "platform/folder_listing.h"

#include "platform/win32/windows_api.h"

#include "platform/win32/file_handle.h"
#include "platform/win32/wide.h"

namespace platform::folder {

std::optional<std::vector<std::string>> FileNames(std::string_view folder) {
    std::string pattern(folder);
    if (!pattern.empty() && !pattern.ends_with('\\') && !pattern.ends_with('/')) {
        pattern += '\\';
    }
    pattern += '*';
    WIN32_FIND_DATAW found{};
    const win32::UniqueFind find{::FindFirstFileExW(win32::Widen(pattern).c_str(), FindExInfoBasic,
                                                    &found, FindExSearchNameMatch, nullptr,
                                                    FIND_FIRST_EX_LARGE_FETCH)};
    std::vector<std::string> names;
    if (!find) {
        // "*" in an existing folder finds at least "." and "..", except in a root.
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) {
            return names;
        }
        return std::nullopt;
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            names.push_back(win32::Narrow(found.cFileName));
        }
    } while (::FindNextFileW(find.get(), &found));
    return names;
}

}  // namespace platform::folder
