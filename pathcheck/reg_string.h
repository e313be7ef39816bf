// Reading one string value of the registry from a single key path text such as
// "HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Session Manager\Environment".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pathcheck {

// Splits a key path into its root and subkey without side effects. `path` is rewritten with a
// long root name at its start (after one optional "\") replaced by the short name; `subkey`
// receives the text after the first "\" ("" when there is none). The root is the whole text
// before that backslash, compared without regard to case; 0 when it names no root.
std::uint32_t SplitKeyPath(std::string& path, std::string& subkey);

// As SplitKeyPath, with a message box instead of an exception on failure.
std::uint32_t myRegGetKeys(std::string& sPath, std::string& sKey);

// The text of the value `sName` of the key `sPath`, without leading and trailing spaces;
// `sDefault` when the key or the value cannot be read. A value of any length is read;
// %NAME% references are returned as stored.
std::string myRegReadString(std::string sPath, std::string sName, std::string sDefault);

// A string value as stored: its registry type and its text up to the first NUL, nothing
// trimmed (data of a type other than a string type as its raw bytes).
struct StoredString {
    std::uint32_t type = 0;
    std::string text;
};

// The value `sName` of the key `sPath`, of any length and type; nullopt when the key or the
// value cannot be read. A failure shows the message box of myRegReadString and gives nullopt.
std::optional<StoredString> ReadStoredString(std::string sPath, std::string sName);

// `chstr` cut at its first NUL, with leading and trailing spaces removed.
std::string TrimNull(std::string_view chstr);

}  // namespace pathcheck
