// The report as one JSON document, for the unattended runs that collect it from many machines:
// what the window shows, row by row, and the reasons that the rows hide. Its form is published
// in schemas/report.schema.json; schemaVersion changes whenever a field changes meaning.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fileinfo/dll_version.h"
#include "pathcheck/path_table.h"
#include "platform/kernel32.h"
#include "platform/runtime.h"
#include "report/activex_registration.h"
#include "report/file_copies.h"

namespace report {

inline constexpr int kJsonSchemaVersion = 4;

// One row of the file table, as the run produced it.
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
};

// What the run found about the install folder.
struct InstallFolderRecord {
    std::string path;
    bool exists = false;
};

// Everything one run found, in the order of the report.
struct ReportFacts {
    std::vector<FileRowRecord> files;
    InstallFolderRecord installFolder;
    pathcheck::PathFolderTable pathTable;
    // Texts that a window run shows in message boxes, in the order they came.
    std::vector<std::string> messages;
    // The passes (1 to 20) that failed on an error of the report's own and were skipped.
    std::vector<int> failedPasses;
    // The compiler run-time files with their copies in use, in list order.
    std::vector<RuntimeFileInUse> runtimeFiles;
};

// Where and when the report was made.
struct RunContext {
    std::string programVersion;
    std::string machineName;
    std::string osName;  // as the title line words it
    std::optional<platform::kernel32::OsVersionInfo> osVersion;
    platform::runtime::DateTime generatedUtc;
};

// Whether the install folder is a folder of the PATH table, however it is spelled there.
bool InstallFolderIsOnPath(const ReportFacts& facts);

// The PATH folders whose full name contains the application's folder name (the block's
// selection), as full names.
std::vector<std::string> PathFoldersNamingTheApplication(const ReportFacts& facts);

// The unattended run's verdict: true when every pass completed, every file of the list was
// located, every one that carries a type library is registered for that copy, the install
// folder exists and is on the PATH, and the compiler run-time files in use share one release.
bool EverythingInPlace(const ReportFacts& facts);

// The JSON document, indented by two blanks, UTF-8.
std::string JsonReport(const ReportFacts& facts, const RunContext& context);

// A date and time as ISO 8601 ("2026-12-08T09:15:00"), with "Z" appended when `utc`.
std::string IsoDateTime(const platform::runtime::DateTime& time, bool utc);

}  // namespace report
