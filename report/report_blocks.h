// The blocks after the PATH block, in the report's order. Each is one step that collects its
// facts into the run's model (as part of the install folder pass) and one text, made from the
// model alone, that the window draws where the block before it ended and that the report
// text carries as it stands: its heading, an empty line, its lines and an empty line, each
// ended by CR, or "" when the block has nothing to show and is left out. A new block is one
// more entry here.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "fileinfo/file_record.h"
#include "report/reference_reader.h"
#include "report/report_facts.h"

namespace report {

// What a block's collect step may use besides the facts collected before it.
struct BlockInputs {
    fileinfo::FileLocator& locator;
    const Reference* reference;  // the reference of /compare, or null
};

struct BlockAfterPath {
    void (*collect)(ReportFacts& facts, const BlockInputs& inputs);
    std::string (*text)(const ReportFacts& facts);
};

// "ActiveX registration" (activex_registration.h): each control's verdict.
void CollectRegistrations(ReportFacts& facts, const BlockInputs& inputs);
std::string ActiveXBlockText(const ReportFacts& facts);

// "Copies on the search path" (search_path_copies.cpp): every copy of each file of the list in
// the folders of the library search, in search order, read as data (no copy is loaded), which
// copy is in use, the notes on them and the run-time releases.
inline constexpr std::string_view kCopiesHeading = "Copies on the search path";
void CollectCopies(ReportFacts& facts, const BlockInputs& inputs);
std::string CopiesBlockText(const ReportFacts& facts);

// "Broken links" (broken_links.cpp): for each file of the list, the first broken link that the
// walk of its imports found, whatever its load did, the tables it could not read and the notes of
// its delay-load imports.
inline constexpr std::string_view kBrokenLinksHeading = "Broken links";
void CollectBrokenLinks(ReportFacts& facts, const BlockInputs& inputs);
std::string BrokenLinksBlockText(const ReportFacts& facts);

// "Differences from the reference" (reference_comparison.h): with /compare, what differs.
void CollectComparison(ReportFacts& facts, const BlockInputs& inputs);
std::string ComparisonBlockText(const ReportFacts& facts);

inline constexpr std::array<BlockAfterPath, 4> kBlocksAfterPath = {{
    {CollectRegistrations, ActiveXBlockText},
    {CollectCopies, CopiesBlockText},
    {CollectBrokenLinks, BrokenLinksBlockText},
    {CollectComparison, ComparisonBlockText},
}};

}  // namespace report
