// Reads REGEDIT4 registry script text into the operations it asks for, in file order. Pure:
// the caller applies the operations to the registry.
//
// The text (UTF-8 here) is cut into lines at CR LF. The first line, in any letter case but
// otherwise exact, must be "REGEDIT4". After it:
//   [key]            starts a section whose value lines write into that key
//   [-key]           deletes that key with everything below it
//   ; text           a comment
//   "name"=data      a value line inside a section ("@" instead of "name" is the default value);
//                    "=" may have spaces around it, and the data is everything after it:
//                      "-"            deletes the value
//                      hex:01,02      a binary value; a line ending in "\" continues the list
//                      hex(N):01,02   a value of type N (hex) with those bytes
//                      dword:1A       a DWORD value (one to eight hex digits)
//                      "text"         a string value, without the enclosing quotes
//                      anything else  a string value holding the data as it stands
// Lines without "=", value lines before the first section and malformed value lines are
// passed over.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace registry {

struct RegOperation {
    enum class Kind {
        kDeleteTree,   // keyPath
        kDeleteValue,  // keyPath, name
        kSetString,    // keyPath, name, text
        kSetDword,     // keyPath, name, dword
        kSetBinary,    // keyPath, name, bytes
        kSetTyped,     // keyPath, name, type, bytes as in the file (ANSI text for string types)
    };
    Kind kind = Kind::kSetString;
    std::string keyPath;
    std::string name;  // "" is the key's default value
    std::string text;
    std::int32_t dword = 0;
    std::vector<std::uint8_t> bytes;
    std::uint32_t type = 0;

    friend bool operator==(const RegOperation&, const RegOperation&) = default;
};

// Receives each operation of a script as the reader reaches it.
using RegOperationSink = std::function<void(const RegOperation&)>;

// Hands the operations of a registry script to `sink` in file order; false (and nothing
// handed over) when its first line is not the header.
bool ReadRegFile(std::string_view text, const RegOperationSink& sink);

// The operations of a registry script, or nullopt when its first line is not the header.
std::optional<std::vector<RegOperation>> ReadRegFile(std::string_view text);

}  // namespace registry
