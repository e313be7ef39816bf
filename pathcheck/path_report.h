// The PATH search report: a block of CR-separated lines about the PATH folder table, listing
// every folder, the folders whose name contains a given text, or the folders that hold a file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "pathcheck/path_table.h"
#include "platform/scripting.h"

namespace pathcheck {

// What the report shows.
inline constexpr long kListAllFolders = 0;
inline constexpr long kFoldersNamed = 1;    // folders whose expanded name contains the name
inline constexpr long kFoldersHolding = 2;  // folders that hold the file of that name

// What the probes found out about one copy of the file searched for.
struct FoundFile {
    std::string version;  // "" when the file has none
    std::int64_t size = 0;
    bool isDll = false;  // the probes below ran
    bool loaded = false;
    bool canBeLoaded = false;
    int machineType = 0;  // 1 for a 32-bit x86 image, 2 for x64
};

// The heading line for a mode ("" for an unknown one).
std::string ReportHeading(long lMode, std::string_view name);
// Whether the name ends in "DLL" in any letter case.
bool IsDllName(std::string_view name);
// Whether entry i is shown in the folder-name mode: its expanded name contains the name,
// ignoring case.
bool FolderNameContains(const PathFolderTable& table, long i, std::string_view name);
// The lines of a shown entry in modes other than the file search (each ended by CR), its
// note lines last.
std::string FolderEntryText(const PathFolderTable& table, long i, long lMode,
                            std::string_view name);
// The lines of a copy of the file found in a folder (each ended by CR).
std::string FoundFileText(std::string_view folderFullName, std::string_view name,
                          const FoundFile& file);

// Appends the block for `lMode` to `sReport` (the file search empties it first), building the
// table first when it is still empty. A note on the machine-wide Path value comes right after
// the heading. An empty name in modes 1 and 2 leaves `sReport` as it
// is. A failure shows a message box and leaves what was appended so far.
void display_path_info(PathFolderTable& table, const platform::scripting::FileSystemObject& fso,
                       long lMode, std::string& sReport, const std::string& sSearchName);

}  // namespace pathcheck
