// Listing a folder: the names of the files in it, read in one pass over the folder, for
// callers that look for many names in many folders.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::folder {

// The names of the files in `folder` (not its subfolders, hidden and system files included),
// in the file system's order; an empty list for an empty folder, nullopt when the folder
// cannot be listed (it does not exist, or is not a folder). A relative folder is taken from
// the current folder.
std::optional<std::vector<std::string>> FileNames(std::string_view folder);

}  // namespace platform::folder
