// The block "Copies on the search path": every copy of each file of the list in the folders of
// the library search, in search order, read as data through the run's records (no copy is
// loaded), which copy is in use, and what the copies tell. Each folder is listed once per run
// for all the files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "fileinfo/file_record.h"
#include "platform/window.h"
#include "report/json_report.h"

namespace report {

inline constexpr std::string_view kCopiesHeading = "Copies on the search path";

// The folders of the library search in its order, each once: two spellings of one folder
// (after the file system's normalisation, relative ones taken from the current folder) count
// once, the first spelling kept.
std::vector<std::string> SearchFoldersOnce();

// The block's text for rows whose copies and notes are filled, as the PATH block's text is
// laid out: an empty line, the heading, then each file with more than one copy or a note,
// and the run-time release note last, each set apart by an empty line. "" when there is
// nothing to show.
std::string CopiesBlockText(const std::vector<FileRowRecord>& rows, std::string_view runtimeNote);

// Fills every row's copies and notes and the facts' run-time files, draws the block on the
// surface and returns its text; "" (and nothing drawn) when there is nothing to show.
std::string RunSearchPathCopies(platform::window::Surface& surface, fileinfo::FileRecords& records,
                                ReportFacts& facts);

}  // namespace report
