#include "report/report_facts.h"

#include <algorithm>

#include "pathcheck/path_report.h"
#include "pathcheck/path_text.h"
#include "report/file_table.h"
#include "report/install_folder_checks.h"

namespace report {

int PassOfRow(const FileRowRecord& row) {
    const auto at = std::find(kFileList.begin(), kFileList.end(), row.name);
    return at == kFileList.end() ? 0 : static_cast<int>(at - kFileList.begin()) + 1;
}

bool InstallFolderIsOnPath(const ReportFacts& facts) {
    const std::string wanted = pathcheck::FolderKey(facts.installFolder.path);
    const auto& table = facts.pathTable;
    for (long k = 1; k <= table.numPathFolders; ++k) {
        const auto index = static_cast<std::size_t>(k);
        if (index < table.PathFullName.size() &&
            pathcheck::FolderKey(table.PathFullName[index]) == wanted) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> PathFoldersNamingTheApplication(const ReportFacts& facts) {
    std::vector<std::string> folders;
    const auto& table = facts.pathTable;
    for (long k = 1; k <= table.numPathFolders; ++k) {
        const auto index = static_cast<std::size_t>(k);
        if (index < table.PathFullName.size() &&
            pathcheck::FolderNameContains(table, k, kApplicationFolderName)) {
            folders.push_back(table.PathFullName[index]);
        }
    }
    return folders;
}

bool EverythingInPlace(const ReportFacts& facts) {
    // A pass that failed may have left its row, or the install folder's facts, unrecorded.
    if (!facts.failedPasses.empty() || facts.files.size() != kFileList.size()) {
        return false;
    }
    for (const FileRowRecord& row : facts.files) {
        if (!row.located ||
            (row.registration && row.registration->verdict != RegistrationVerdict::kRegistered)) {
            return false;
        }
    }
    return facts.installFolder.exists && InstallFolderIsOnPath(facts) &&
           ShareOneRelease(facts.runtimeFiles);
}

}  // namespace report
