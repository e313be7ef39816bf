#include "fileinfo/os_version.h"

namespace fileinfo {

std::string OsNameFor(const std::optional<platform::kernel32::OsVersionInfo>& record) {
    if (!record) {
        return "Unknown";
    }
    const auto& r = *record;
    if (r.platformId == 1 && r.majorVersion == 4 && r.minorVersion == 0) {
        return "Windows 95";
    }
    if (r.platformId == 1 && r.majorVersion == 4 && r.minorVersion == 10) {
        return "Windows 98";
    }
    if (r.platformId == 2 && r.majorVersion == 3 && r.minorVersion == 51) {
        return "Windows NT 3.51";
    }
    if (r.platformId == 2 && r.majorVersion == 4 && r.minorVersion == 0) {
        return "Windows NT 4.0";
    }
    if (r.platformId == 2 && r.majorVersion == 5 && r.minorVersion == 0) {
        return "Windows 2000 (Build " + std::to_string(r.buildNumber) + ")";
    }
    return "Unknown";
}

}  // namespace fileinfo
