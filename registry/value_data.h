// What the component makes of stored value data. The registry keeps string types as UTF-16;
// where the component deals in bytes (reading a string value as a DWORD or as binary data,
// writing a string type into a registry script), it uses the bytes that the ANSI functions of
// the platform give: the text in the ANSI code page with its terminating NULs.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace registry {

// REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ.
bool IsStringType(std::uint32_t type);

// The value's bytes as the ANSI functions see them.
std::vector<std::uint8_t> AnsiBytes(const platform::registry::Value& value);

// The stored bytes for data given as the ANSI functions take it (string types are converted
// from the ANSI code page to UTF-16; other types are stored as they are).
std::vector<std::uint8_t> StoredBytesFromAnsi(std::uint32_t type,
                                              std::span<const std::uint8_t> ansiBytes);

// The value's text: a string type up to its first NUL (or its end when it has none); other
// types as the ANSI text of their bytes up to the first NUL.
std::string TextOf(const platform::registry::Value& value);

// The value as a 32-bit number: its ANSI bytes little-endian when there are at most four of
// them (missing high bytes 0), nullopt for longer data.
std::optional<std::int32_t> DwordOf(const platform::registry::Value& value);

// The four bytes of a DWORD value, little-endian.
std::vector<std::uint8_t> DwordBytes(std::int32_t value);

}  // namespace registry
