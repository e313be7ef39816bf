// A file's version text: major.minor.build.revision from its version resource.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/version.h"

namespace fileinfo {

// The high and the low 16 bits of a 32-bit value, as unsigned numbers.
constexpr std::uint32_t HiWord(std::uint32_t value) {
    return (value >> 16) & 0xFFFFu;
}
constexpr std::uint32_t LoWord(std::uint32_t value) {
    return value & 0xFFFFu;
}

// "major.minor.build.revision" from the fixed file information's file version fields.
std::string FormatFileVersion(std::uint32_t fileVersionMS, std::uint32_t fileVersionLS);

// The fixed file information of the file's version resource; nullopt when it has none or
// cannot be read.
std::optional<platform::version::FixedFileInfo> ReadFixedFileVersion(std::string_view path);

// The version text of the file at `path`, "" when it has no version resource or cannot be
// read.
std::string ReadFileVersionText(std::string_view path);

}  // namespace fileinfo
