// The file system object answers from the file attributes that kernel32 reports.
#include "platform/scripting.h"

#include "platform/kernel32.h"

namespace platform::scripting {

bool FileSystemObject::FolderExists(std::string_view path) const {
    const auto attributes = kernel32::GetFileAttributes(path);
    return attributes && (*attributes & kernel32::kFileAttributeDirectory) != 0;
}

bool FileSystemObject::FileExists(std::string_view path) const {
    const auto attributes = kernel32::GetFileAttributes(path);
    return attributes && (*attributes & kernel32::kFileAttributeDirectory) == 0;
}

}  // namespace platform::scripting
