#include "pathcheck/path_table.h"

#include <exception>
#include <optional>
#include <unordered_map>

#include "pathcheck/reg_string.h"
#include "platform/registry.h"
#include "platform/runtime.h"
#include "platform/window.h"

namespace pathcheck {
namespace {

std::size_t Slot(long k) {
    return static_cast<std::size_t>(k);
}

// Every array with slots 0 to `lastSlot`, new slots holding empty text, false, 0 and no
// notes.
void ResizeTable(PathFolderTable& table, long lastSlot) {
    const std::size_t slots = Slot(lastSlot) + 1;
    table.PathFolder.resize(slots);
    table.PathFullName.resize(slots);
    table.PathIsSystem.resize(slots);
    table.PathExists.resize(slots);
    table.PathDuplicate.resize(slots);
    table.PathNotes.resize(slots);
    table.PathFolderKey.resize(slots);
}

void ClearTable(PathFolderTable& table) {
    table.PathFolder.clear();
    table.PathFullName.clear();
    table.PathIsSystem.clear();
    table.PathExists.clear();
    table.PathDuplicate.clear();
    table.PathNotes.clear();
    table.PathFolderKey.clear();
}

// The first entry of each folder among the entries of a table, by folder key.
class FolderIndex {
  public:
    explicit FolderIndex(const PathFolderTable& table) {
        for (long k = 1; k <= table.numPathFolders; ++k) {
            Add(table, k);
        }
    }
    // The first entry whose folder key is `key`; 0 when there is none.
    [[nodiscard]] long Find(const std::string& key) const {
        const auto found = first_.find(key);
        return found == first_.end() ? 0 : found->second;
    }
    void Add(const PathFolderTable& table, long k) {
        first_.try_emplace(table.PathFolderKey[Slot(k)], k);
    }

  private:
    std::unordered_map<std::string, long> first_;
};

// Appends entry k (the slots exist) for a piece as written and the expansion of its folder.
// Existence is asked for the folder as the file system resolves it, so "." and ".." count
// as they do when Windows opens a file there.
long AppendEntry(PathFolderTable& table, std::string_view piece, std::string folder,
                 Expansion fullName, bool isSystem, const FolderProbe& folderExists) {
    const long k = ++table.numPathFolders;
    const std::size_t slot = Slot(k);
    table.PathNotes[slot] = NotesForEntry(piece, fullName);
    table.PathFolder[slot] = std::move(folder);
    table.PathFullName[slot] = std::move(fullName.text);
    table.PathIsSystem[slot] = isSystem;
    table.PathFolderKey[slot] = FolderKey(table.PathFullName[slot]);
    table.PathExists[slot] = folderExists(NormalizedFolder(table.PathFullName[slot]));
    return k;
}

std::optional<std::string> EnvironmentValue(std::string_view name) {
    return platform::runtime::FindEnviron(name);
}

// What Windows makes of the stored value: only REG_SZ and REG_EXPAND_SZ are used.
SystemPathNote NoteForStoredValue(const std::optional<StoredString>& stored) {
    namespace reg = platform::registry;
    if (!stored) {
        return {SystemPathState::kMissing, reg::kRegNone, false};
    }
    if (stored->type == reg::kRegExpandSz) {
        return {SystemPathState::kExpandable, stored->type, false};
    }
    if (stored->type == reg::kRegSz) {
        const bool references = ExpandReferences(stored->text, EnvironmentValue) != stored->text;
        return {SystemPathState::kLiteral, stored->type, references};
    }
    return {SystemPathState::kIgnored, stored->type, false};
}

}  // namespace

void AddSystemEntries(PathFolderTable& table, std::string_view systemPath, bool expand,
                      const EnvironmentLookup& lookup, const FolderProbe& folderExists) {
    const std::vector<std::string> pieces = SplitPathList(systemPath);
    ClearTable(table);
    ResizeTable(table, static_cast<long>(pieces.size()));
    FolderIndex earlier(table);
    for (const std::string& piece : pieces) {
        std::string folder = WithTrailingBackslash(piece);
        Expansion fullName = expand ? ExpandAsPlatform(folder, lookup) : Expansion{folder, {}};
        const long k =
            AppendEntry(table, piece, std::move(folder), std::move(fullName), true, folderExists);
        table.PathDuplicate[Slot(k)] = earlier.Find(table.PathFolderKey[Slot(k)]);
        earlier.Add(table, k);
    }
}

void AddUserEntries(PathFolderTable& table, std::span<const std::string> processPieces,
                    const EnvironmentLookup& lookup, const FolderProbe& folderExists) {
    const auto count = static_cast<long>(processPieces.size());
    if (table.numPathFolders == 0) {
        ClearTable(table);
        ResizeTable(table, count);
    } else {
        ResizeTable(table, table.numPathFolders + count);
    }
    FolderIndex earlier(table);
    for (const std::string& piece : processPieces) {
        std::string folder = WithTrailingBackslash(piece);
        // The process PATH holds folders as Windows expanded them: compare the folder itself
        // with the full names of the entries before it.
        const long match = earlier.Find(FolderKey(folder));
        if (match > 0 && table.PathIsSystem[Slot(match)]) {
            continue;
        }
        Expansion fullName = ExpandAsPlatform(folder, lookup);
        const long k =
            AppendEntry(table, piece, std::move(folder), std::move(fullName), false, folderExists);
        table.PathDuplicate[Slot(k)] = match;
        earlier.Add(table, k);
    }
}

void build_path_list(PathFolderTable& table, const platform::scripting::FileSystemObject& fso) {
    if (table.numPathFolders > 0) {
        return;
    }
    try {
        table.numPathFolders = 0;
        const FolderProbe folderExists = [&fso](std::string_view path) {
            return fso.FolderExists(path);
        };
        const std::optional<StoredString> stored =
            ReadStoredString(std::string(kSystemEnvironmentKey), std::string(kSystemPathValue));
        table.systemPath = NoteForStoredValue(stored);
        const bool used = table.systemPath.state == SystemPathState::kExpandable ||
                          table.systemPath.state == SystemPathState::kLiteral;
        if (used && !stored->text.empty()) {
            const bool expand = table.systemPath.state == SystemPathState::kExpandable;
            AddSystemEntries(table, stored->text, expand, EnvironmentValue, folderExists);
        }
        const std::string processPath = platform::runtime::Environ("PATH");
        const std::vector<std::string> pieces =
            processPath.empty() ? std::vector<std::string>{} : SplitPathList(processPath);
        AddUserEntries(table, pieces, EnvironmentValue, folderExists);
    } catch (const std::exception& e) {
        platform::window::MessageBox(
            std::string("An error orrurred while setting up the path information: ") + e.what());
    }
}

void VB_get_path_folders(long& VBnpathfolders, std::vector<std::string>& VBchPathFolder) {
    const std::string path = platform::runtime::Environ("PATH");
    VBnpathfolders = 0;
    if (path.empty()) {
        return;
    }
    std::vector<std::string> folders = SplitPathList(path);
    for (std::string& folder : folders) {
        folder = WithTrailingBackslash(std::move(folder));
    }
    VBnpathfolders = static_cast<long>(folders.size());
    VBchPathFolder = std::move(folders);
}

std::string get_full_path_name(std::string curPath) {
    return ExpandReferences(curPath, EnvironmentValue);
}

}  // namespace pathcheck
