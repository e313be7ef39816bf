#include "report/report_facts.h"

#include <algorithm>

#include "pathcheck/path_report.h"
#include "pathcheck/path_text.h"
#include "report/command_line.h"
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
        if (!row.located || row.imports.brokenLink ||
            (row.registration && row.registration->verdict != RegistrationVerdict::kRegistered)) {
            return false;
        }
    }
    return facts.installFolder.exists && InstallFolderIsOnPath(facts) &&
           ShareOneRelease(facts.runtimeFiles);
}

namespace {

// Why the row's file cannot be loaded, as a kind of reason; nullopt when the probe was stopped
// or could not be run, which says nothing of the file.
std::optional<LoadFailure> LoadFailureOf(const fileinfo::LoadDiagnosis& diagnosis) {
    using Kind = platform::library_probe::Ending::Kind;
    if (!diagnosis.loadFailed) {
        return LoadFailure{};
    }
    switch (diagnosis.probe.kind) {
        case Kind::kExited:
        case Kind::kException:
        case Kind::kTimedOut:
            return LoadFailure{LoadFailureKind::kStartUpCode, 0};
        case Kind::kStopped:
        case Kind::kBroken:
            return std::nullopt;
        case Kind::kAnswered:
            break;
    }
    if (diagnosis.brokenLink || !diagnosis.missingImport.empty()) {
        return LoadFailure{LoadFailureKind::kBrokenLink, 0};
    }
    return LoadFailure{LoadFailureKind::kSystemError, diagnosis.loadError};
}

FileFacts FileFactsOf(const FileRowRecord& row) {
    FileFacts file;
    file.name = row.name;
    file.located = row.located;
    file.pathInUse = "";
    for (const FileCopy& copy : row.copies) {
        if (copy.inUse) {
            file.pathInUse = copy.path;
            file.version = copy.versionText;
            file.size = copy.size;
            file.machine = fileinfo::MachineText(copy.machine);
        }
    }
    file.loadFailure = LoadFailureOf(row.diagnosis);
    file.registration =
        row.registration ? std::string(VerdictName(row.registration->verdict)) : std::string();
    file.copiesOnSearchPath = static_cast<int>(row.copies.size());
    return file;
}

}  // namespace

ComparableFacts ComparableFactsOf(const ReportFacts& facts) {
    ComparableFacts comparable;
    for (const FileRowRecord& row : facts.files) {
        comparable.files.push_back(FileFactsOf(row));
    }
    comparable.runtimeReleasesAgree = ShareOneRelease(facts.runtimeFiles);
    comparable.installFolderExists = facts.installFolder.exists;
    comparable.installFolderOnPath = InstallFolderIsOnPath(facts);
    if (facts.osVersion) {
        comparable.os =
            OsVersionNumbers{facts.osVersion->majorVersion, facts.osVersion->minorVersion,
                             facts.osVersion->buildNumber, facts.osVersion->platformId};
    }
    comparable.knownFolders = facts.knownFolders;
    return comparable;
}

int ExitCodeOf(const ReportFacts& facts, bool compared) {
    const bool standing = compared ? facts.failedPasses.empty() && facts.comparison &&
                                         facts.comparison->differences.empty()
                                   : EverythingInPlace(facts);
    return standing ? kExitAllInPlace : kExitSomethingMissing;
}

}  // namespace report
