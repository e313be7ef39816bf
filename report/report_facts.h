// The model of one report run: everything the run found, collected once, in the order of the
// report. The drawing on the window, the report text, the log and the JSON are each made from
// it alone (report_rendering.h, json_report.h); nothing in it is read back from what was
// drawn or written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fileinfo/dll_version.h"
#include "pathcheck/path_table.h"
#include "platform/kernel32.h"
#include "platform/known_folders.h"
#include "platform/runtime.h"
#include "report/activex_registration.h"
#include "report/comparable_facts.h"
#include "report/file_copies.h"
#include "report/reference_reader.h"

namespace report {

// When the run was made and on which Windows version, as the title lines give them.
struct RunTitle {
    platform::runtime::DateTime date;
    std::string osName;
};

// One row of the file table: what it shows and why.
struct FileRowRecord {
    std::string name;                  // as the list spells it
    bool loadInfoFailed = false;       // the error row: the file's information could not be loaded
    bool located = false;              // the library search found (or loaded) the file
    std::string path;                  // the row's path text
    std::string regInfo;               // the row's Reg_Info text
    platform::runtime::DateTime date;  // all zero: no date
    std::int64_t size = 0;
    std::string version;
    fileinfo::LoadDiagnosis diagnosis;
    // The file the row describes (located, or the copy that cannot be loaded), "" for none:
    // its record is in the run's records.
    std::string filePath;
    // The registration of that file's type library; nullopt when it carries none.
    std::optional<ControlRegistration> registration;
    // Every copy of the file in the folders of the library search, in search order, and what
    // they tell (see file_copies.h).
    std::vector<FileCopy> copies;
    std::vector<std::string> notes;
    // The walk of that file's imports: the first broken link of its load, the notes of its
    // delay-load imports and the tables that cannot be read.
    fileinfo::ImportWalk imports;
};

// What the run found about the install folder.
struct InstallFolderRecord {
    std::string path;
    bool exists = false;
};

// What differs from the reference that /compare named.
struct ComparisonRecord {
    ReferenceIdentity reference;
    std::vector<Difference> differences;
};

// Everything one run found, in the order of the report.
struct ReportFacts {
    // nullopt when it could not be found out: the title lines are left out.
    std::optional<RunTitle> title;
    // The system's version record; nullopt when it could not be read.
    std::optional<platform::kernel32::OsVersionInfo> osVersion;
    // The folders below which paths of two machines are compared by their place.
    platform::known_folders::KnownFolders knownFolders;
    // The rows of the file passes that completed, in pass order.
    std::vector<FileRowRecord> files;
    // Whether the install folder pass got as far as the folder and the PATH.
    bool installFolderChecked = false;
    InstallFolderRecord installFolder;
    // The PATH block's lines as the PATH search report composed them, CR separated.
    std::string pathReport;
    pathcheck::PathFolderTable pathTable;
    // Texts that a window run shows in message boxes, in the order they came.
    std::vector<std::string> messages;
    // The passes (1 to 20) that failed on an error of the report's own and were skipped.
    std::vector<int> failedPasses;
    // The compiler run-time files with their copies in use, in list order.
    std::vector<RuntimeFileInUse> runtimeFiles;
    // With /compare: what differs from the reference; nullopt without it, or when the pass
    // that compares failed.
    std::optional<ComparisonRecord> comparison;
};

// The pass (1 to 19) of a row, from its file's place in the list; 0 for a name not on it.
int PassOfRow(const FileRowRecord& row);

// Whether the install folder is a folder of the PATH table, however it is spelled there.
bool InstallFolderIsOnPath(const ReportFacts& facts);

// The PATH folders whose full name contains the application's folder name (the block's
// selection), as full names.
std::vector<std::string> PathFoldersNamingTheApplication(const ReportFacts& facts);

// The unattended run's verdict: true when every pass completed, every file of the list was
// located without a broken link, every one that carries a type library is registered for that
// copy, the install folder exists and is on the PATH, and the compiler run-time files in use
// share one release.
bool EverythingInPlace(const ReportFacts& facts);

// The facts that a comparison with a reference looks at, as this run found them.
ComparableFacts ComparableFactsOf(const ReportFacts& facts);

// A run's exit code: with a reference, 0 when every pass completed and nothing differs from
// it (the reference is the standard, whatever its own state), otherwise 0 when everything is
// in place; 1 in every other case.
int ExitCodeOf(const ReportFacts& facts, bool compared);

}  // namespace report
