// The PATH folder table: every folder of the machine-wide PATH as stored in the registry (the
// system entries), then every folder of the process PATH that is not among them (the user
// entries), each with its full name as Windows expands it, whether it exists, which entry it
// repeats and what Windows cannot use in it as written.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pathcheck/path_notes.h"
#include "pathcheck/path_text.h"
#include "platform/scripting.h"

namespace pathcheck {

// Entries are numbered from 1; slot 0 of every array is never used. The arrays may hold more
// slots than entries (slots reserved for user folders that were skipped), which keep empty
// text, false, 0 and no notes.
struct PathFolderTable {
    long numPathFolders = 0;
    std::vector<std::string> PathFolder;    // as written, ending with "\"
    std::vector<std::string> PathFullName;  // with %NAME% references expanded as Windows does
    std::vector<bool> PathIsSystem;
    std::vector<bool> PathExists;
    std::vector<long> PathDuplicate;    // 0, or the number of the earlier entry it repeats
    std::vector<EntryNotes> PathNotes;  // what Windows cannot use as written
    // The folder each full name resolves to, for finding repeats (see FolderKey).
    std::vector<std::string> PathFolderKey;
    // What became of the machine-wide Path value.
    SystemPathNote systemPath;
};

// Whether a folder (given with a trailing "\") exists.
using FolderProbe = std::function<bool(std::string_view)>;

// The key and value that hold the machine-wide PATH.
inline constexpr std::string_view kSystemEnvironmentKey =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
inline constexpr std::string_view kSystemPathValue = "Path";

// Sizes the table to the system PATH's pieces and fills one system entry per piece, with
// the references expanded (`expand` true, for REG_EXPAND_SZ) or kept as stored (REG_SZ).
// Entries that name the same folder (see FolderKey) repeat the first of them.
void AddSystemEntries(PathFolderTable& table, std::string_view systemPath, bool expand,
                      const EnvironmentLookup& lookup, const FolderProbe& folderExists);
// Reserves slots for the process PATH's pieces and adds, each with "\" appended, those that
// name the folder of no system entry; one that repeats an earlier user entry names it.
void AddUserEntries(PathFolderTable& table, std::span<const std::string> processPieces,
                    const EnvironmentLookup& lookup, const FolderProbe& folderExists);

// Fills the table from the registry and the process environment, unless it holds entries
// already. A failure shows a message box and leaves the entries stored so far.
void build_path_list(PathFolderTable& table, const platform::scripting::FileSystemObject& fso);

// The folders of the process PATH, each ending with "\"; the count is 0 and the folders are
// left as they were when PATH is empty or not set.
void VB_get_path_folders(long& VBnpathfolders, std::vector<std::string>& VBchPathFolder);

// The folder text with its %NAME% references expanded from the process environment as
// Windows expands them.
std::string get_full_path_name(std::string curPath);

}  // namespace pathcheck
