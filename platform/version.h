// version.dll: the version resource of a file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace platform::version {

// The fixed file information, the 52-byte root block of a version resource.
struct FixedFileInfo {
    std::uint32_t signature = 0;
    std::uint32_t strucVersion = 0;
    std::uint32_t fileVersionMS = 0;
    std::uint32_t fileVersionLS = 0;
    std::uint32_t productVersionMS = 0;
    std::uint32_t productVersionLS = 0;
    std::uint32_t fileFlagsMask = 0;
    std::uint32_t fileFlags = 0;
    std::uint32_t fileOS = 0;
    std::uint32_t fileType = 0;
    std::uint32_t fileSubtype = 0;
    std::uint32_t fileDateMS = 0;
    std::uint32_t fileDateLS = 0;
};

// GetFileVersionInfoSize and GetFileVersionInfo: the file's version resource block, nullopt
// when the file has none or cannot be read.
std::optional<std::vector<std::uint8_t>> GetFileVersionInfo(std::string_view path);

// VerQueryValue with the sub-block "\": the fixed file information of a block that
// GetFileVersionInfo returned; nullopt when it has none.
std::optional<FixedFileInfo> QueryRootBlock(std::span<const std::uint8_t> block);

}  // namespace platform::version
