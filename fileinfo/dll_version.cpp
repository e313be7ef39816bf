#include "fileinfo/dll_version.h"

#include "fileinfo/os_version.h"
#include "platform/kernel32.h"

namespace fileinfo {

std::string CDLLVersion::GetOSVersion() const {
    return OsNameFor(platform::kernel32::GetVersionEx());
}

}  // namespace fileinfo
