// The folders of the library search, each once, and one listing of them per run: which copies
// of a file name lie in them, in search order. The walk of imports and the copies block ask
// it for many names; each folder is listed once, whatever the number of names.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fileinfo {

// The folders of the library search in its order, each once: two spellings of one folder
// (after the file system's normalisation, relative ones taken from the current folder) count
// once, the first spelling kept.
std::vector<std::string> SearchFoldersOnce();

// The key of a folder, equal for two spellings of it: a relative one is taken from
// `currentFolder`, then normalised and upper-cased as pathcheck::FolderKey does.
std::string SearchFolderKey(const std::string& folder, const std::string& currentFolder);

class SearchFolderIndex {
  public:
    // The paths of the files of that name (any letter case) in the search folders, in search
    // order, as the folder's spelling and the file's own name give them.
    const std::vector<std::string>& Copies(std::string_view name);

  private:
    std::optional<std::map<std::string, std::vector<std::string>>> byName_;  // by upper name
    const std::vector<std::string> none_{};
};

}  // namespace fileinfo
