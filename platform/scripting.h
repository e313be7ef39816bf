// The scripting run-time's file system object (Scripting.FileSystemObject).
#pragma once

#include <string_view>

namespace platform::scripting {

class FileSystemObject {
  public:
    // True for an existing folder (a trailing "\" is allowed).
    [[nodiscard]] bool FolderExists(std::string_view path) const;
    // True for an existing file (not a folder).
    [[nodiscard]] bool FileExists(std::string_view path) const;
};

}  // namespace platform::scripting
