#include "pathcheck/path_report.h"

#include <exception>
#include <stdexcept>

#include "fileinfo/dll_probes.h"
#include "platform/runtime.h"
#include "platform/text.h"
#include "platform/window.h"

namespace pathcheck {
namespace {

constexpr char kCr = '\r';
constexpr char kTab = '\t';

std::size_t Slot(long i) {
    return static_cast<std::size_t>(i);
}

// The note lines of entry i, each a TAB, the text and CR ("" for none; a table made by hand
// may have no notes at all).
std::string NoteLines(const PathFolderTable& table, long i) {
    if (Slot(i) >= table.PathNotes.size()) {
        return "";
    }
    std::string lines;
    for (const std::string& text : EntryNoteTexts(table.PathNotes[Slot(i)])) {
        lines += kTab + text + kCr;
    }
    return lines;
}

// Runs the probes on a copy of the file found at `path`.
FoundFile ProbeFile(const std::string& path, std::string_view name, bool isDll) {
    FoundFile file;
    file.version = fileinfo::GetFileVersionData(path);
    const auto size = platform::runtime::FileLen(path);
    if (!size) {
        throw std::runtime_error("File not found");
    }
    file.size = *size;
    file.isDll = isDll;
    if (isDll) {
        file.canBeLoaded = false;
        file.loaded = fileinfo::is_dll_loaded(name, file.canBeLoaded, path);
        file.machineType = fileinfo::get_dll_machine_type(path);
    }
    return file;
}

// The entry text for entry i in the file search: "" when the entry is skipped or does not
// hold the file.
std::string FileSearchEntry(const PathFolderTable& table,
                            const platform::scripting::FileSystemObject& fso, long i,
                            const std::string& name, bool isDll, bool& found) {
    if (table.PathDuplicate[Slot(i)] != 0 || !table.PathExists[Slot(i)]) {
        return "";
    }
    const std::string& folder = table.PathFullName[Slot(i)];
    const std::string path = folder + name;
    if (!fso.FileExists(path)) {
        return "";
    }
    found = true;
    return FoundFileText(folder, name, ProbeFile(path, name, isDll)) + NoteLines(table, i);
}

// Appends the entries of the table and the not-found line.
void AppendEntries(const PathFolderTable& table, const platform::scripting::FileSystemObject& fso,
                   long lMode, std::string& sReport, const std::string& name) {
    const bool isDll = lMode == kFoldersHolding && IsDllName(name);
    bool found = false;
    bool userHeadingPending = true;
    if (const std::string note = SystemPathNoteText(table.systemPath); !note.empty()) {
        sReport += std::string{kCr, kTab} + note + kCr;
    }
    for (long i = 1; i <= table.numPathFolders; ++i) {
        if (!table.PathIsSystem[Slot(i)] && userHeadingPending) {
            userHeadingPending = false;
            sReport += std::string{kCr, kCr} + "User PATH environment variables" + kCr;
        }
        std::string entry;
        if (lMode == kFoldersHolding) {
            entry = FileSearchEntry(table, fso, i, name, isDll, found);
        } else if (lMode != kFoldersNamed || FolderNameContains(table, i, name)) {
            found = found || lMode == kFoldersNamed;
            entry = FolderEntryText(table, i, lMode, name);
        }
        if (!entry.empty()) {
            sReport += kCr + entry;
        }
    }
    if (!found && (lMode == kFoldersNamed || lMode == kFoldersHolding)) {
        sReport += kCr + name + " was not found in the PATH";
    }
}

}  // namespace

std::string ReportHeading(long lMode, std::string_view name) {
    switch (lMode) {
        case kListAllFolders:
            return "System PATH environment variables";
        case kFoldersNamed:
            return "System PATH environment variables for " + std::string(name);
        case kFoldersHolding:
            return "System PATH folders containing " + std::string(name);
        default:
            return "";
    }
}

bool IsDllName(std::string_view name) {
    return platform::text::EndsWithIgnoringCase(name, "DLL");
}

bool FolderNameContains(const PathFolderTable& table, long i, std::string_view name) {
    using platform::text::AsciiUpper;
    return AsciiUpper(table.PathFullName[Slot(i)]).find(AsciiUpper(name)) != std::string::npos;
}

std::string FolderEntryText(const PathFolderTable& table, long i, long lMode,
                            std::string_view name) {
    std::string text;
    if (lMode == kFoldersNamed) {
        text += std::string(name) + " ";
    }
    const std::string& folder = table.PathFolder[Slot(i)];
    const std::string& fullName = table.PathFullName[Slot(i)];
    if (table.PathDuplicate[Slot(i)] > 0) {
        text += folder + ": " + fullName + kCr + kTab + "PATH duplicated" + kCr;
    } else {
        text += folder + kCr + kTab + "Full Path Name: " + fullName + kCr;
    }
    if (!table.PathExists[Slot(i)]) {
        text += std::string{kTab} + "Folder does not exist" + kCr;
    }
    return text + NoteLines(table, i);
}

std::string FoundFileText(std::string_view folderFullName, std::string_view name,
                          const FoundFile& file) {
    std::string text = "PATH folder: " + std::string(folderFullName) + " contains " +
                       std::string(name) + kCr + kTab;
    text += file.version.empty() ? std::string("Version: N/A") : "Version: " + file.version;
    text += " Size:  " + std::to_string(file.size) + kCr;
    if (!file.isDll) {
        return text;
    }
    if (file.loaded) {
        text += std::string{kTab} + "DLL is loaded" + kCr;
    } else if (file.canBeLoaded) {
        text += std::string{kTab} + "DLL can be loaded" + kCr;
    } else {
        text += std::string{kTab} + "DLL cannot be loaded" + kCr;
    }
    if (file.machineType == 1) {
        text += std::string{kTab} + "DLL is Win32" + kCr;
    } else if (file.machineType == 2) {
        text += std::string{kTab} + "DLL can be x64" + kCr;
    }
    return text;
}

void display_path_info(PathFolderTable& table, const platform::scripting::FileSystemObject& fso,
                       long lMode, std::string& sReport, const std::string& sSearchName) {
    try {
        if ((lMode == kFoldersNamed || lMode == kFoldersHolding) && sSearchName.empty()) {
            return;
        }
        if (lMode == kFoldersHolding) {
            sReport.clear();
        }
        sReport += kCr + ReportHeading(lMode, sSearchName) + kCr;
        build_path_list(table, fso);
        AppendEntries(table, fso, lMode, sReport, sSearchName);
        sReport += kCr;
    } catch (const std::exception& e) {
        platform::window::MessageBox(
            std::string("An error orrurred while displaying the path information: ") + e.what());
    }
}

}  // namespace pathcheck
