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
    return block ? platform::version::QueryRootBlock(*block) : std::nullopt;
}

std::string ReadFileVersionText(std::string_view path) {
    const auto fixed = ReadFixedFileVersion(path);
    return fixed ? FormatFileVersion(fixed->fileVersionMS, fixed->fileVersionLS) : "";
}

}  // namespace fileinfo
