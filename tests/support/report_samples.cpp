#include "support/report_samples.h"

#include "report/file_table.h"

namespace kelvra::test {
namespace {

using report::FileRowRecord;

FileRowRecord Nowhere(std::string_view name) {
    FileRowRecord row;
    row.name = std::string(name);
    row.path = "Unable to locate " + row.name;
    row.diagnosis.loadFailed = true;
    row.diagnosis.loadError = 126;
    row.diagnosis.loadErrorText = "The specified module could not be found.";
    return row;
}

fileinfo::LoadDiagnosis CantLoad(std::uint32_t error, std::string text, std::string copy,
                                 fileinfo::MachineKind machine) {
    fileinfo::LoadDiagnosis diagnosis;
    diagnosis.loadFailed = true;
    diagnosis.loadError = error;
    diagnosis.loadErrorText = std::move(text);
    diagnosis.copyPath = std::move(copy);
    diagnosis.copyMachine = machine;
    return diagnosis;
}

void AddPathEntry(pathcheck::PathFolderTable& table, std::string folder, bool system, bool exists,
                  long repeats, pathcheck::EntryNotes notes = {}) {
    table.PathFullName.push_back(folder);
    table.PathFolderKey.push_back(pathcheck::FolderKey(folder));
    table.PathFolder.push_back(std::move(folder));
    table.PathIsSystem.push_back(system);
    table.PathExists.push_back(exists);
    table.PathDuplicate.push_back(repeats);
    table.PathNotes.push_back(std::move(notes));
    ++table.numPathFolders;
}

pathcheck::PathFolderTable SamplePathTable() {
    pathcheck::PathFolderTable table;
    table.PathFolder = {""};
    table.PathFullName = {""};
    table.PathFolderKey = {""};
    table.PathIsSystem = {false};
    table.PathExists = {false};
    table.PathDuplicate = {0};
    table.PathNotes = {{}};
    AddPathEntry(table, "C:\\Program Files\\Bin\\Quorvane\\", true, true, 0);
    AddPathEntry(table, "C:\\program files\\bin\\quorvane\\", true, true, 1);
    AddPathEntry(table, "C:\\Windows\\system32\\", true, true, 0);
    pathcheck::EntryNotes undefined;
    undefined.Add(pathcheck::EntryNote::kUndefinedVariable);
    undefined.undefinedNames = {"QUORVANE_HOME"};
    AddPathEntry(table, "%QUORVANE_HOME%\\bin\\", false, false, 0, undefined);
    return table;
}

}  // namespace

report::ReportFacts SampleFacts() {
    report::ReportFacts facts;
    for (std::string_view name : report::kFileList) {
        facts.files.push_back(Nowhere(name));
    }
    FileRowRecord& located = facts.files[0];
    located.located = true;
    located.path = "C:\\Windows\\SysWOW64\\COMDLG32.OCX";
    located.regInfo = "n/a";
    located.date = {2004, 3, 8, 12, 0, 0};
    located.size = 140096;
    located.version = "6.1.98.39";
    located.diagnosis = {};
    report::ControlRegistration registration;
    registration.libraryId = "{5A3E0C11-8B2D-4C7A-9E64-0D1F2A3B4C01}";
    registration.majorVersion = 1;
    registration.minorVersion = 2;
    registration.typeLibrary = {"%SystemRoot%\\SysWOW64\\comdlg32.ocx",
                                "C:\\Windows\\SysWOW64\\comdlg32.ocx",
                                report::EntryTarget::kThisCopy};
    registration.classes = {
        {"{5A3E0C11-8B2D-4C7A-9E64-0D1F2A3B4C11}",
         "CommonDialog",
         {"\"C:\\Windows\\SysWOW64\\COMDLG32.OCX\"", "C:\\Windows\\SysWOW64\\COMDLG32.OCX",
          report::EntryTarget::kThisCopy}}};
    report::ChooseVerdict(registration);
    located.registration = registration;

    FileRowRecord& otherMachine = facts.files[2];
    otherMachine.path =
        "Can't load C:\\Tools\\TABCTL32.OCX: TABCTL32.OCX is not a valid Win32 "
        "application.";
    otherMachine.regInfo = "n/a";
    otherMachine.date = {2010, 11, 30, 8, 0, 0};
    otherMachine.size = 5120;
    otherMachine.version = "2.0.50727.42";
    otherMachine.diagnosis = CantLoad(193, "%1 is not a valid Win32 application.",
                                      "C:\\Tools\\TABCTL32.OCX", fileinfo::MachineKind::kX64);

    FileRowRecord& missingImport = facts.files[3];
    missingImport.path =
        "Can't load C:\\Tools\\RICHTX32.OCX: it needs MSVCR71.dll, which cannot "
        "be found";
    missingImport.regInfo = "n/a";
    missingImport.size = 4096;
    missingImport.diagnosis = CantLoad(126, "The specified module could not be found.",
                                       "C:\\Tools\\RICHTX32.OCX", fileinfo::MachineKind::kX86);
    missingImport.diagnosis.missingImport = "MSVCR71.dll";
    missingImport.diagnosis.brokenLink = fileinfo::BrokenLink{};
    missingImport.diagnosis.brokenLink->chain = {"MSVCR71.dll"};
    missingImport.imports.brokenLink = missingImport.diagnosis.brokenLink;

    FileRowRecord& noVersion = facts.files[4];
    noVersion.located = true;
    noVersion.path = "C:\\Tools\\COMCTL32.OCX";
    noVersion.regInfo = "n/a";
    noVersion.date = {2001, 1, 1, 0, 0, 0};
    noVersion.size = 2048;
    noVersion.diagnosis = {};
    // It loads, as under Wine, although a function it needs is forwarded to a DLL found nowhere.
    noVersion.imports.brokenLink = fileinfo::BrokenLink{};
    fileinfo::BrokenLink& forwarded = *noVersion.imports.brokenLink;
    forwarded.kind = fileinfo::BrokenLinkKind::kMissingExport;
    forwarded.chain = {"libmmd.dll"};
    forwarded.copyPath = "C:\\Tools\\libmmd.dll";
    forwarded.function = platform::pe::FunctionRef{"", 77};
    forwarded.forwardedTo = fileinfo::ForwardedTo{"gone.dll", {"for_open", std::nullopt}};

    FileRowRecord& hangs = facts.files[6];
    hangs.path = "Can't load C:\\Tools\\MSCOMCT2.OCX: its start-up code did not finish within 10 s";
    hangs.regInfo = "n/a";
    hangs.size = 3072;
    hangs.diagnosis = CantLoad(0, "", "C:\\Tools\\MSCOMCT2.OCX", fileinfo::MachineKind::kX86);
    hangs.diagnosis.copyCanBeLoaded = true;
    hangs.diagnosis.probe = {platform::library_probe::Ending::Kind::kTimedOut, 0, 0, 10};

    FileRowRecord& errorRow = facts.files[5];
    errorRow = {};
    errorRow.name = "MSCOMCTL.OCX";
    errorRow.loadInfoFailed = true;
    errorRow.path = std::string(report::kErrorRowPrefix) + errorRow.name;

    facts.osVersion = platform::kernel32::OsVersionInfo{10, 0, 19045, 2};
    facts.knownFolders = {"C:\\Windows", "C:\\Program Files", "C:\\Program Files (x86)",
                          "C:\\Users\\support"};
    facts.installFolder = {"C:\\Program Files\\Bin\\Quorvane", true};
    facts.pathTable = SamplePathTable();
    facts.messages = {"An error occurred in myRegReadString: HKLM\\x Path : boom"};
    return facts;
}

report::RunContext SampleRunContext() {
    return {"1.0.0", "SUPPORT-PC-07", "Unknown", {2026, 12, 8, 8, 15, 0}};
}

}  // namespace kelvra::test
