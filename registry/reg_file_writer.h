// The registry script text that an export writes: a header, then one section per key.
// REGEDIT4: names and texts are written as they are (no escapes) and no line is wrapped. Only
// what an import reads back exactly is written; everything else is left out and named.
// Unicode: as the registry editors write it, every value of every key whose name holds no line
// break.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace registry {

inline constexpr std::string_view kRegFileHeader = "REGEDIT4\r\n\r\n";

// One value of a key, ready to be written.
struct ExportedValue {
    enum class Kind {
        kString,  // "name"="text"; the default value as @="text", and only when not empty
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

// A key's section (UTF-8): the key line, the default text, then the string, binary, DWORD and
// other values, each group in the order given, and an empty line. Every line ends with CR LF.
std::string FormatRegSection(std::string_view keyPath, std::span<const ExportedValue> values);

// Text in the ANSI code page when it converts back exactly, nullopt otherwise.
using AnsiEncoder = std::function<std::optional<std::string>(std::string_view utf8)>;

// A value as the registry stores it (string types as UTF-16LE).
struct StoredValue {
    std::string name;
    platform::registry::Value value;
};

// A value that a section leaves out, and why.
struct OmittedValue {
    std::string name;
    std::string reason;

    friend bool operator==(const OmittedValue&, const OmittedValue&) = default;
};

struct ExactSection {
    std::string ansi;  // the section in the ANSI code page
    std::vector<OmittedValue> omitted;
};

// The section of a key whose path is known to convert exactly: every value that an import gives
// back exactly, the rest left out:
//   - a value whose name holds a double quote, a CR or an LF, or does not convert exactly;
//   - a string type whose text does not convert exactly (or whose data is no whole UTF-16).
// A REG_SZ text that the quoted form cannot carry (one holding CR or LF, data other than the
// text and one NUL, the empty default text) is written as hex(1): with its ANSI bytes, as are
// REG_EXPAND_SZ and REG_MULTI_SZ as hex(2): and hex(7):.
ExactSection FormatExactSection(std::string_view keyPath, std::span<const StoredValue> values,
                                const AnsiEncoder& toAnsi);

// Why a subkey of that name cannot be written (it holds CR or LF, or does not convert
// exactly); nullopt when it can.
std::optional<std::string> UnwritableKeyName(std::string_view name, const AnsiEncoder& toAnsi);

// The start of a file in the Unicode form: the byte-order mark, the header line and an empty
// line, as UTF-16LE.
std::string UnicodeFileStart();

// UTF-8 text as UTF-16LE bytes.
std::string Utf16LeBytes(std::string_view utf8);

// The section of a key in the Unicode form (UTF-8, for Utf16LeBytes): the key line, the default
// value, the other values in the order given, and an empty line. Every value is written, as the
// registry editors write it:
//   - a REG_SZ holding one text, one terminating NUL and no CR, LF or NUL inside, as "text"
//     (the empty default text too), with \\ for a backslash and \" for a quote;
//   - a REG_DWORD of four bytes as dword:0000001a;
//   - every other value (any other REG_SZ included) as hex: (REG_BINARY) or hex(N): with its
//     bytes as stored, the list wrapped as the registry editors wrap it.
// A name is quoted with the same escapes, and \r and \n for CR and LF, as Wine's regedit writes.
std::string FormatUnicodeSection(std::string_view keyPath, std::span<const StoredValue> values);

// Why a subkey of that name cannot be written in the Unicode form (a line break: no key line
// carries one); nullopt when it can.
std::optional<std::string> UnwritableUnicodeKeyName(std::string_view name);

}  // namespace registry
