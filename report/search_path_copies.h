// The block "Copies on the search path" (report_blocks.h): every copy of each file of the list
// in the folders of the library search, in search order, read as data through the run's
// records (no copy is loaded), which copy is in use, and what the copies tell. Each folder is
// listed once per run for all the files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace report {

inline constexpr std::string_view kCopiesHeading = "Copies on the search path";

// The folders of the library search in its order, each once: two spellings of one folder
// (after the file system's normalisation, relative ones taken from the current folder) count
// once, the first spelling kept.
std::vector<std::string> SearchFoldersOnce();

}  // namespace report
