#include "registry/value_data.h"

#include <algorithm>

#include "platform/kernel32.h"
#include "platform/text.h"

namespace registry {
namespace {

namespace reg = platform::registry;

// Every UTF-16 unit of the data, NULs included (an odd last byte is dropped).
std::u16string AllUnits(std::span<const std::uint8_t> bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return units;
}

std::vector<std::uint8_t> BytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

}  // namespace

bool IsStringType(std::uint32_t type) {
    return type == reg::kRegSz || type == reg::kRegExpandSz || type == reg::kRegMultiSz;
}

std::vector<std::uint8_t> AnsiBytes(const reg::Value& value) {
    if (!IsStringType(value.type)) {
        return value.data;
    }
    const std::string utf8 = platform::text::Utf16ToUtf8(AllUnits(value.data));
    return BytesOf(platform::kernel32::Utf8ToAnsi(utf8));
}

std::vector<std::uint8_t> StoredBytesFromAnsi(std::uint32_t type,
                                              std::span<const std::uint8_t> ansiBytes) {
    if (!IsStringType(type)) {
        return {ansiBytes.begin(), ansiBytes.end()};
    }
    const std::string ansi(ansiBytes.begin(), ansiBytes.end());
    const std::u16string units = platform::text::Utf8ToUtf16(platform::kernel32::AnsiToUtf8(ansi));
    std::vector<std::uint8_t> stored;
    stored.reserve(units.size() * 2);
    for (const char16_t unit : units) {
        stored.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        stored.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return stored;
}

std::string TextOf(const reg::Value& value) {
    if (IsStringType(value.type)) {
        return platform::text::DecodeRegistryString(value.data);
    }
    const auto end = std::find(value.data.begin(), value.data.end(), std::uint8_t{0});
    return platform::kernel32::AnsiToUtf8(std::string(value.data.begin(), end));
}

std::optional<std::int32_t> DwordOf(const reg::Value& value) {
    const std::vector<std::uint8_t> bytes = AnsiBytes(value);
    if (bytes.size() > 4) {
        return std::nullopt;
    }
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        number |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    }
    return static_cast<std::int32_t>(number);
}

std::vector<std::uint8_t> DwordBytes(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
            static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
}

}  // namespace registry
