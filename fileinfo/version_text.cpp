#include "fileinfo/version_text.h"

#include "platform/version.h"

namespace fileinfo {

std::string FormatFileVersion(std::uint32_t fileVersionMS, std::uint32_t fileVersionLS) {
    return std::to_string(HiWord(fileVersionMS)) + "." + std::to_string(LoWord(fileVersionMS)) +
           "." + std::to_string(HiWord(fileVersionLS)) + "." +
           std::to_string(LoWord(fileVersionLS));
}

std::optional<platform::version::FixedFileInfo> ReadFixedFileVersion(std::string_view path) {
    const auto block = platform::version::GetFileVersionInfo(path);
    if (!block) {
        return std::nullopt;
    }
    return platform::version::QueryRootBlock(*block);
}

std::string ReadFileVersionText(std::string_view path) {
    const auto fixed = ReadFixedFileVersion(path);
    if (!fixed) {
        return "";
    }
    return FormatFileVersion(fixed->fileVersionMS, fixed->fileVersionLS);
}

}  // namespace fileinfo
