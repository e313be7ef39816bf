// The REGEDIT4 registry script text that an export writes: a header, then one section per key.
// Names and texts are written as they are (no escapes) and no line is wrapped. The text is
// UTF-8 here; the caller converts it to the ANSI code page at the file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace registry {

inline constexpr std::string_view kRegFileHeader = "REGEDIT4\r\n\r\n";

// One value of a key, ready to be written.
struct ExportedValue {
    enum class Kind {
        kString,  // "name"="text"; the default value only as @="text" and only when not empty
        kBinary,  // "name"=hex:0A,FF
        kDword,   // "name"=dword:0000001A
        kTyped,   // "name"=hex(N):.. for every other type, N the type in hex
    };
    Kind kind = Kind::kString;
    std::string name;                 // "" is the key's default value
    std::string text;                 // kString
    std::vector<std::uint8_t> bytes;  // kBinary and kTyped, as they go into the file
    std::int32_t dword = 0;           // kDword
    std::uint32_t type = 0;           // kTyped
};

// A key's section: the key line, the default text, then the string, binary, DWORD and other
// values, each group in the order given, and an empty line. Every line ends with CR LF.
std::string FormatRegSection(std::string_view keyPath, std::span<const ExportedValue> values);

}  // namespace registry
