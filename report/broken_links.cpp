// The block "Broken links": why a file cannot load, to the last link, for every file of the
// list whose walk of imports found one (also one that loads here although Windows would refuse
// it: Wine binds a missing export to a stub).
#include "fileinfo/file_locator.h"
#include "report/report_blocks.h"

namespace report {

void CollectBrokenLinks(ReportFacts& facts, const BlockInputs& inputs) {
    for (FileRowRecord& row : facts.files) {
        if (!row.loadInfoFailed && !row.filePath.empty()) {
            row.imports = inputs.locator.WalkOf(row.filePath);
        }
    }
}

std::string BrokenLinksBlockText(const ReportFacts& facts) {
    std::string lines;
    for (const FileRowRecord& row : facts.files) {
        const std::string name = row.name + ": ";
        if (row.imports.brokenLink) {
            lines += name + fileinfo::BrokenLinkText(*row.imports.brokenLink) + '\r';
        }
        for (const fileinfo::UnreadableTable& table : row.imports.unreadable) {
            lines += name + fileinfo::UnreadableTableText(table) + '\r';
        }
        for (const fileinfo::BrokenLink& note : row.imports.delayLoadNotes) {
            lines += name + "when it first calls a delay-loaded DLL, " +
                     fileinfo::BrokenLinkText(note) + '\r';
        }
    }
    if (lines.empty()) {
        return "";
    }
    return std::string(kBrokenLinksHeading) + "\r\r" + lines + "\r";
}

}  // namespace report
