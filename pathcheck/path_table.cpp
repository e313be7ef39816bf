#include "pathcheck/path_table.h"

#include <exception>

#include "pathcheck/reg_string.h"
#include "platform/runtime.h"
#include "platform/text.h"
#include "platform/window.h"

namespace pathcheck {
namespace {

using platform::text::AsciiUpper;

// Every array with slots 0 to `lastSlot`, new slots holding empty text, false and 0.
void ResizeTable(PathFolderTable& table, long lastSlot) {
    const auto slots = static_cast<std::size_t>(lastSlot) + 1;
    table.PathFolder.resize(slots);
    table.PathFullName.resize(slots);
    table.PathIsSystem.resize(slots);
    table.PathExists.resize(slots);
    table.PathDuplicate.resize(slots);
}

void ClearTable(PathFolderTable& table) {
    table.PathFolder.clear();
    table.PathFullName.clear();
    table.PathIsSystem.clear();
    table.PathExists.clear();
    table.PathDuplicate.clear();
}

// The first of entries 1 to `last` whose text, in `texts`, equals `folder` apart from
// letter case; 0 when there is none.
long FindEqualEntry(const std::vector<std::string>& texts, long last, std::string_view folder) {
    const std::string wanted = AsciiUpper(folder);
    for (long j = 1; j <= last; ++j) {
        if (AsciiUpper(texts[static_cast<std::size_t>(j)]) == wanted) {
            return j;
        }
    }
    return 0;
}

std::string EnvironmentValue(std::string_view name) {
    return platform::runtime::Environ(name);
}

}  // namespace

std::vector<std::string> SplitPathList(std::string_view list) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t cut = list.find(';'); cut != std::string_view::npos;
         cut = list.find(';', start)) {
        pieces.emplace_back(list.substr(start, cut - start));
        start = cut + 1;
    }
    pieces.emplace_back(list.substr(start));
    return pieces;
}

std::string WithTrailingBackslash(std::string folder) {
    if (!folder.ends_with('\\')) {
        folder += '\\';
    }
    return folder;
}

std::string ExpandReferences(std::string_view text, const EnvironmentLookup& lookup) {
    std::string_view remaining = text;
    try {
        std::string result;
        for (auto open = remaining.find('%'); open != std::string_view::npos;
             open = remaining.find('%')) {
            result += remaining.substr(0, open);
            const auto close = remaining.find('%', open + 1);
            if (close == std::string_view::npos) {
                // An unmatched "%" is plain text, as is everything after it.
                result += remaining.substr(open);
                return result;
            }
            const std::string_view name = remaining.substr(open + 1, close - open - 1);
            remaining.remove_prefix(close + 1);
            if (!name.empty()) {
                result += lookup(name);
            }
        }
        result += remaining;
        return result;
    } catch (const std::exception&) {
        return std::string(remaining);
    }
}

void AddSystemEntries(PathFolderTable& table, std::string_view systemPath,
                      const EnvironmentLookup& lookup, const FolderProbe& folderExists) {
    const std::vector<std::string> pieces = SplitPathList(systemPath);
    ClearTable(table);
    ResizeTable(table, static_cast<long>(pieces.size()));
    for (const std::string& piece : pieces) {
        const long k = ++table.numPathFolders;
        const auto slot = static_cast<std::size_t>(k);
        table.PathFolder[slot] = WithTrailingBackslash(piece);
        table.PathFullName[slot] = ExpandReferences(table.PathFolder[slot], lookup);
        table.PathIsSystem[slot] = true;
        // System entries compare as written: a reference and its expansion differ.
        table.PathDuplicate[slot] = FindEqualEntry(table.PathFolder, k - 1, table.PathFolder[slot]);
        table.PathExists[slot] = folderExists(table.PathFullName[slot]);
    }
}

void AddUserEntries(PathFolderTable& table, std::span<const std::string> processFolders,
                    const EnvironmentLookup& lookup, const FolderProbe& folderExists) {
    const auto count = static_cast<long>(processFolders.size());
    if (table.numPathFolders == 0) {
        ClearTable(table);
        ResizeTable(table, count);
    } else {
        ResizeTable(table, table.numPathFolders + count);
    }
    for (const std::string& folder : processFolders) {
        std::string fullName = ExpandReferences(folder, lookup);
        // The process PATH holds expanded folders: compare with the expanded names.
        const long match = FindEqualEntry(table.PathFullName, table.numPathFolders, folder);
        if (match > 0 && table.PathIsSystem[static_cast<std::size_t>(match)]) {
            continue;
        }
        const long k = ++table.numPathFolders;
        const auto slot = static_cast<std::size_t>(k);
        table.PathFolder[slot] = folder;
        table.PathFullName[slot] = std::move(fullName);
        table.PathIsSystem[slot] = false;
        table.PathDuplicate[slot] = match;
        table.PathExists[slot] = folderExists(table.PathFullName[slot]);
    }
}

void build_path_list(PathFolderTable& table, const platform::scripting::FileSystemObject& fso) {
    if (table.numPathFolders > 0) {
        return;
    }
    try {
        table.numPathFolders = 0;
        const FolderProbe folderExists = [&fso](std::string_view path) {
            return fso.FolderExists(path);
        };
        const std::string systemPath =
            myRegReadString(std::string(kSystemEnvironmentKey), std::string(kSystemPathValue), "");
        if (!systemPath.empty()) {
            AddSystemEntries(table, systemPath, EnvironmentValue, folderExists);
        }
        long count = 0;
        std::vector<std::string> folders;
        VB_get_path_folders(count, folders);
        AddUserEntries(table, std::span(folders).first(static_cast<std::size_t>(count)),
                       EnvironmentValue, folderExists);
    } catch (const std::exception& e) {
        platform::window::MessageBox(
            std::string("An error orrurred while setting up the path information: ") + e.what());
    }
}

void VB_get_path_folders(long& VBnpathfolders, std::vector<std::string>& VBchPathFolder) {
    const std::string path = platform::runtime::Environ("PATH");
    VBnpathfolders = 0;
    if (path.empty()) {
        return;
    }
    std::vector<std::string> folders = SplitPathList(path);
    for (std::string& folder : folders) {
        folder = WithTrailingBackslash(std::move(folder));
    }
    VBnpathfolders = static_cast<long>(folders.size());
    VBchPathFolder = std::move(folders);
}

std::string get_full_path_name(std::string curPath) {
    return ExpandReferences(curPath, EnvironmentValue);
}

}  // namespace pathcheck
