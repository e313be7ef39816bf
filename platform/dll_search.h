// Where the platform's library search looks for a DLL named without a folder: the program's
// own folder, the system folder, the Windows folder, the current folder, then the folders of
// the process PATH.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

std::vector<std::string> DllSearchFolders();

// The non-empty folders of the process PATH, in order, as written.
std::vector<std::string> ProcessPathFolders();

// Whether the name is an API-set name ("api-ms-win-...", "ext-ms-...", in any letter case),
// which the loader resolves itself to whatever system DLL implements the set.
bool IsApiSetName(std::string_view name);

// The DLL file names that the registry's KnownDLLs key lists (its text values), upper-cased:
// the loader takes these from the system folder, whatever the search folders hold.
std::vector<std::string> KnownDllNames();

// The first existing file of that name in those folders, without loading it.
std::optional<std::string> FindDllOnSearchPath(std::string_view name);

}  // namespace platform
