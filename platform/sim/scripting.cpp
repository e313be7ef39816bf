#include "platform/scripting.h"

#include "platform/sim/machine.h"

namespace platform::scripting {

bool FileSystemObject::FolderExists(std::string_view path) const {
    return sim::machine().FolderExists(path);
}

bool FileSystemObject::FileExists(std::string_view path) const {
    return sim::machine().FindFile(path) != nullptr;
}

}  // namespace platform::scripting
