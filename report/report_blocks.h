// The blocks after the PATH block, in the report's order. Each is one step that collects its
// facts into the run's model (as part of the install folder pass) and one text, made from the
// model alone, that the window draws where the block before it ended and that the report
// text carries as it stands: its heading, an empty line, its lines and an empty line, each
// ended by CR, or "" when the block has nothing to show and is left out. A new block is one
// more entry here.
#pragma once

#include <array>
#include <string>

#include "fileinfo/file_record.h"
#include "report/report_facts.h"

namespace report {

struct BlockAfterPath {
    void (*collect)(ReportFacts& facts, fileinfo::FileLocator& locator);
    std::string (*text)(const ReportFacts& facts);
};

// "ActiveX registration" (activex_registration.h): each control's verdict.
void CollectRegistrations(ReportFacts& facts, fileinfo::FileLocator& locator);
std::string ActiveXBlockText(const ReportFacts& facts);

// "Copies on the search path" (search_path_copies.h): every copy of each file, the notes and
// the run-time releases.
void CollectCopies(ReportFacts& facts, fileinfo::FileLocator& locator);
std::string CopiesBlockText(const ReportFacts& facts);

inline constexpr std::array<BlockAfterPath, 2> kBlocksAfterPath = {{
    {CollectRegistrations, ActiveXBlockText},
    {CollectCopies, CopiesBlockText},
}};

}  // namespace report
