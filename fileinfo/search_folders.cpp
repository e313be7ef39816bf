#include "fileinfo/search_folders.h"

#include <set>

#include "pathcheck/path_text.h"
#include "platform/dll_search.h"
#include "platform/folder_listing.h"
#include "platform/runtime.h"
#include "platform/text.h"

namespace fileinfo {

std::string SearchFolderKey(const std::string& folder, const std::string& currentFolder) {
    return pathcheck::FolderKey(pathcheck::IsFullPath(folder)
                                    ? folder
                                    : pathcheck::WithTrailingBackslash(currentFolder) + folder);
}

std::vector<std::string> SearchFoldersOnce() {
    const std::string currentFolder = platform::runtime::CurDir();
    std::vector<std::string> folders;
    std::set<std::string> seen;
    for (std::string& folder : platform::DllSearchFolders()) {
        if (!folder.empty() && seen.insert(SearchFolderKey(folder, currentFolder)).second) {
            folders.push_back(std::move(folder));
        }
    }
    return folders;
}

const std::vector<std::string>& SearchFolderIndex::Copies(std::string_view name) {
    if (!byName_) {
        byName_.emplace();
        for (const std::string& folder : SearchFoldersOnce()) {
            const auto names = platform::folder::FileNames(folder);
            for (const std::string& file : names.value_or(std::vector<std::string>{})) {
                (*byName_)[platform::text::AsciiUpper(file)].push_back(
                    pathcheck::WithTrailingBackslash(folder) + file);
            }
        }
    }
    const auto found = byName_->find(platform::text::AsciiUpper(name));
    return found != byName_->end() ? found->second : none_;
}

}  // namespace fileinfo
