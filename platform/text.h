// Text conversions that need no platform: text inside the program is UTF-8; the registry and
// the wide-character functions store UTF-16LE.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform::text {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// The bytes of a registry string as the wide functions store it: UTF-16LE with one NUL.
std::vector<std::uint8_t> EncodeRegistryString(std::string_view utf8);
// The text of stored UTF-16LE bytes, up to the first NUL (an odd last byte is ignored).
std::string DecodeRegistryString(std::span<const std::uint8_t> bytes);

// Upper-cases ASCII letters only, as the platform's case-insensitive names compare for the
// names this program uses.
std::string AsciiUpper(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);
bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix);

// The file name at the end of a path (after its last "\\" or "/"), and the folder before it,
// that separator included ("" when there is none).
std::string_view FileNameOf(std::string_view path);
std::string_view FolderOf(std::string_view path);

// The text without the spaces at either end.
std::string_view TrimSpaces(std::string_view text);
// The text without the blanks (spaces and tabs) at its start, or at either end.
std::string_view TrimLeadingBlanks(std::string_view text);
std::string_view TrimBlanks(std::string_view text);

}  // namespace platform::text
