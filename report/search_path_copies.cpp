// The block "Copies on the search path": the copies of each file through the run's one listing
// of the search folders, and what they tell.
#include "fileinfo/file_locator.h"
#include "platform/runtime.h"
#include "platform/text.h"
#include "report/report_blocks.h"

namespace report {
namespace {

constexpr char kCr = '\r';
constexpr char kTab = '\t';

// The key of a file's path, equal for two spellings of one file.
std::string PathKey(std::string_view path, const std::string& currentFolder) {
    const auto cut = path.find_last_of("\\/");
    const std::string folder(cut == std::string_view::npos ? "" : path.substr(0, cut));
    return fileinfo::SearchFolderKey(folder, currentFolder) +
           platform::text::AsciiUpper(path.substr(cut + 1));
}

FileCopy CopyOf(const fileinfo::FileRecord& record, bool inUse) {
    FileCopy copy;
    copy.path = record.path;
    copy.inUse = inUse;
    if (record.fixedVersion) {
        copy.version =
            VersionNumberOf(record.fixedVersion->fileVersionMS, record.fixedVersion->fileVersionLS);
    }
    copy.versionText = record.versionText;
    copy.machine = fileinfo::MachineOf(record);
    copy.size = record.size;
    copy.date = record.date;
    return copy;
}

// The row's copies from their records, the one the row describes marked in use (put first
// when it lies in none of the folders).
std::vector<FileCopy> CopiesOfRow(const FileRowRecord& row, const std::vector<std::string>& paths,
                                  fileinfo::FileRecords& records,
                                  const std::string& currentFolder) {
    std::vector<FileCopy> copies;
    const std::string inUseKey =
        row.filePath.empty() ? std::string() : PathKey(row.filePath, currentFolder);
    bool inUseFound = false;
    for (const std::string& path : paths) {
        const bool inUse =
            !inUseFound && !inUseKey.empty() && PathKey(path, currentFolder) == inUseKey;
        copies.push_back(CopyOf(records.Of(inUse ? row.filePath : path), inUse));
        inUseFound = inUseFound || inUse;
    }
    if (!inUseKey.empty() && !inUseFound) {
        copies.insert(copies.begin(), CopyOf(records.Of(row.filePath), true));
    }
    return copies;
}

std::vector<RuntimeFileInUse> RuntimeFilesInUse(const std::vector<FileRowRecord>& rows) {
    std::vector<RuntimeFileInUse> files;
    for (std::string_view name : kRuntimeFileNames) {
        RuntimeFileInUse file{std::string(name), std::nullopt};
        for (const FileRowRecord& row : rows) {
            if (platform::text::EqualsIgnoringCase(row.name, name)) {
                for (const FileCopy& copy : row.copies) {
                    if (copy.inUse) {
                        file.copy = copy;
                    }
                }
            }
        }
        files.push_back(std::move(file));
    }
    return files;
}

std::string VersionWords(const FileCopy& copy) {
    return copy.versionText.empty() ? "(no version)" : copy.versionText;
}

// A file's lines in the block, each ended by CR.
std::string FileEntryText(const FileRowRecord& row) {
    std::string text = row.name + ":";
    std::string others;
    bool inUse = false;
    for (const FileCopy& copy : row.copies) {
        if (copy.inUse) {
            text += " in use " + copy.path + " " + VersionWords(copy);
            inUse = true;
        } else {
            others += std::string{kTab} + "also " + copy.path + " " + VersionWords(copy) + " " +
                      fileinfo::MachineText(copy.machine) + kCr;
        }
    }
    if (!inUse) {
        text += " none in use";
    }
    text += kCr + others;
    for (const std::string& note : row.notes) {
        text += kTab + note + kCr;
    }
    return text;
}

}  // namespace

void CollectCopies(ReportFacts& facts, const BlockInputs& inputs) {
    const std::string currentFolder = platform::runtime::CurDir();
    const fileinfo::MachineKind programMachine = fileinfo::ProgramMachine();
    for (FileRowRecord& row : facts.files) {
        row.copies = CopiesOfRow(row, inputs.locator.Folders().Copies(row.name),
                                 inputs.locator.Records(), currentFolder);
        row.notes = CopyNotes(row.copies, programMachine);
    }
    facts.runtimeFiles = RuntimeFilesInUse(facts.files);
}

std::string CopiesBlockText(const ReportFacts& facts) {
    // Laid out as the PATH block is: the heading, an empty line, and an empty line after each
    // file's lines and after the run-time note.
    std::string entries;
    for (const FileRowRecord& row : facts.files) {
        if (row.copies.size() > 1 || !row.notes.empty()) {
            entries += FileEntryText(row) + kCr;
        }
    }
    if (const std::string note = RuntimeReleaseNote(facts.runtimeFiles); !note.empty()) {
        entries += note + kCr + kCr;
    }
    if (entries.empty()) {
        return "";
    }
    return std::string(kCopiesHeading) + kCr + kCr + entries;
}

}  // namespace report
