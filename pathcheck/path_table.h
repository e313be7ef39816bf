// The PATH folder table: every folder of the machine-wide PATH as stored in the registry (the
// system entries), then every folder of the process PATH that is not among them (the user
// entries), each with its expanded name, whether it exists and which entry it repeats.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/scripting.h"

namespace pathcheck {

// Entries are numbered from 1; slot 0 of every array is never used. The arrays may hold more
// slots than entries (slots reserved for user folders that were skipped), which keep empty
// text, false and 0.
struct PathFolderTable {
    long numPathFolders = 0;
    std::vector<std::string> PathFolder;    // as written, ending with "\"
    std::vector<std::string> PathFullName;  // with %NAME% references expanded
    std::vector<bool> PathIsSystem;
    std::vector<bool> PathExists;
    std::vector<long> PathDuplicate;  // 0, or the number of the earlier entry it repeats
};

// The value of an environment variable, "" when it is not set.
using EnvironmentLookup = std::function<std::string(std::string_view)>;
// Whether a folder (given with a trailing "\") exists.
using FolderProbe = std::function<bool(std::string_view)>;

// The key and value that hold the machine-wide PATH.
inline constexpr std::string_view kSystemEnvironmentKey =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
inline constexpr std::string_view kSystemPathValue = "Path";

// The pieces of a PATH list split at every ";", empty ones included ("" gives one piece).
std::vector<std::string> SplitPathList(std::string_view list);
// The folder text with "\" appended when it does not end with one.
std::string WithTrailingBackslash(std::string folder);

// The text with every %NAME% reference replaced by lookup(NAME). "%%" stands for the empty
// name and gives "". A "%" without a closing one is kept with the rest of the text. When the
// lookup throws, the text not yet processed is returned.
std::string ExpandReferences(std::string_view text, const EnvironmentLookup& lookup);

// Sizes the table to the system PATH's pieces and fills one system entry per piece.
void AddSystemEntries(PathFolderTable& table, std::string_view systemPath,
                      const EnvironmentLookup& lookup, const FolderProbe& folderExists);
// Reserves slots for the process folders and adds those that match no system entry.
void AddUserEntries(PathFolderTable& table, std::span<const std::string> processFolders,
                    const EnvironmentLookup& lookup, const FolderProbe& folderExists);

// Fills the table from the registry and the process environment, unless it holds entries
// already. A failure shows a message box and leaves the entries stored so far.
void build_path_list(PathFolderTable& table, const platform::scripting::FileSystemObject& fso);

// The folders of the process PATH, each ending with "\"; the count is 0 and the folders are
// left as they were when PATH is empty or not set.
void VB_get_path_folders(long& VBnpathfolders, std::vector<std::string>& VBchPathFolder);

// The folder text with its %NAME% references expanded from the process environment.
std::string get_full_path_name(std::string curPath);

}  // namespace pathcheck
