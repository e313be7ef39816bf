#include "registry/reg_file_writer.h"

#include <array>
#include <cstdio>

#include "platform/text.h"

namespace registry {
namespace {

using Kind = ExportedValue::Kind;
constexpr std::string_view kLineEnd = "\r\n";

std::string HexList(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const std::uint8_t byte : bytes) {
        if (!out.empty()) {
            out.push_back(',');
        }
        out.push_back(kDigits[byte >> 4]);
        out.push_back(kDigits[byte & 0x0F]);
    }
    return out;
}

std::string EightDigits(std::uint32_t value) {
    std::array<char, 9> digits{};
    std::snprintf(digits.data(), digits.size(), "%08X", static_cast<unsigned>(value));
    return std::string(digits.data(), 8);
}

std::string TypeInHex(std::uint32_t type) {
    std::array<char, 9> digits{};
    const int length =
        std::snprintf(digits.data(), digits.size(), "%x", static_cast<unsigned>(type));
    return std::string(digits.data(), static_cast<std::size_t>(length));
}

std::string QuotedName(const ExportedValue& value) {
    return "\"" + value.name + "\"=";
}

// The line of one value, without its line end; "" when the value writes no line.
std::string ValueLine(const ExportedValue& value) {
    switch (value.kind) {
        case Kind::kString:
            if (value.name.empty()) {
                return value.text.empty() ? "" : "@=\"" + value.text + "\"";
            }
            return QuotedName(value) + "\"" + value.text + "\"";
        case Kind::kBinary:
            return QuotedName(value) + "hex:" + HexList(value.bytes);
        case Kind::kDword:
            return QuotedName(value) +
                   "dword:" + EightDigits(static_cast<std::uint32_t>(value.dword));
        case Kind::kTyped:
            return QuotedName(value) + "hex(" + TypeInHex(value.type) + "):" + HexList(value.bytes);
    }
    return "";
}

void AppendLine(std::string& out, std::string_view line) {
    out += line;
    out += kLineEnd;
}

void AppendValues(std::string& out, std::span<const ExportedValue> values, Kind kind,
                  bool defaultValue) {
    for (const ExportedValue& value : values) {
        if (value.kind != kind || (kind == Kind::kString && value.name.empty() != defaultValue)) {
            continue;
        }
        const std::string line = ValueLine(value);
        if (!line.empty()) {
            AppendLine(out, line);
        }
    }
}

}  // namespace

std::string FormatRegSection(std::string_view keyPath, std::span<const ExportedValue> values) {
    std::string out;
    out += '[';
    out += keyPath;
    AppendLine(out, "]");
    AppendValues(out, values, Kind::kString, true);
    AppendValues(out, values, Kind::kString, false);
    AppendValues(out, values, Kind::kBinary, false);
    AppendValues(out, values, Kind::kDword, false);
    AppendValues(out, values, Kind::kTyped, false);
    out += kLineEnd;
    return out;
}

namespace {

namespace reg = platform::registry;

constexpr std::string_view kOutsideCodePage = "not in the ANSI code page";

bool HoldsLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Every UTF-16 unit of stored string data; nullopt for an odd number of bytes.
std::optional<std::u16string> WholeUnits(std::span<const std::uint8_t> data) {
    if (data.size() % 2 != 0) {
        return std::nullopt;
    }
    std::u16string units;
    units.reserve(data.size() / 2);
    for (std::size_t i = 0; i < data.size(); i += 2) {
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    return units;
}

// The UTF-8 text of stored string data, NULs included; nullopt when the data is no whole
// UTF-16 text (an odd number of bytes, a lone surrogate).
std::optional<std::string> WholeText(std::span<const std::uint8_t> data) {
    const auto units = WholeUnits(data);
    if (!units) {
        return std::nullopt;
    }
    std::string utf8 = platform::text::Utf16ToUtf8(*units);
    if (platform::text::Utf8ToUtf16(utf8) != *units) {
        return std::nullopt;
    }
    return utf8;
}

// The text of stored string data of ASCII characters (no NUL) and one NUL at its end, read
// without a round of conversions: the usual text. nullopt for any other data.
std::optional<std::string> AsciiText(std::span<const std::uint8_t> data) {
    if (data.size() < 2 || data.size() % 2 != 0 || data[data.size() - 2] != 0 || data.back() != 0) {
        return std::nullopt;
    }
    std::string text(data.size() / 2 - 1, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (data[2 * i + 1] != 0 || data[2 * i] == 0 || data[2 * i] >= 0x80) {
            return std::nullopt;
        }
        text[i] = static_cast<char>(data[2 * i]);
    }
    return text;
}

// A REG_SZ value that `"name"="text"` carries exactly.
bool QuotedFormCarries(const StoredValue& stored, const std::string& text) {
    return !(stored.name.empty() && text.empty()) && !HoldsLineBreak(text) &&
           platform::text::EncodeRegistryString(text) == stored.value.data;
}

struct Planned {
    std::optional<ExportedValue> value;
    std::string reason;  // when there is no value
};

Planned PlanValue(const StoredValue& stored, const AnsiEncoder& toAnsi) {
    if (stored.name.find_first_of("\"\r\n") != std::string::npos) {
        return {std::nullopt, "a value name with a double quote, CR or LF"};
    }
    const reg::Value& value = stored.value;
    ExportedValue out;
    out.name = stored.name;
    if (value.type == reg::kRegSz) {
        auto ascii = AsciiText(value.data);  // then its quoted form is exact, as far as it goes
        std::string text =
            ascii ? std::move(*ascii) : platform::text::DecodeRegistryString(value.data);
        if (ascii ? !(stored.name.empty() && text.empty()) && !HoldsLineBreak(text)
                  : QuotedFormCarries(stored, text)) {
            out.kind = Kind::kString;
            out.text = std::move(text);
            return {std::move(out), {}};
        }
    }
    out.kind = Kind::kTyped;
    out.type = value.type;
    if (value.type == reg::kRegSz || value.type == reg::kRegExpandSz ||
        value.type == reg::kRegMultiSz) {
        // Written as the ANSI bytes the import converts back, NULs included.
        const auto text = WholeText(value.data);
        if (!text) {
            return {std::nullopt, "string data that is no whole UTF-16 text"};
        }
        const auto ansi = toAnsi(*text);
        if (!ansi) {
            return {std::nullopt, std::string("a text ") + std::string(kOutsideCodePage)};
        }
        out.bytes.assign(ansi->begin(), ansi->end());
    } else if (value.type == reg::kRegBinary) {
        out.kind = Kind::kBinary;
        out.bytes = value.data;
    } else if (value.type == reg::kRegDword && value.data.size() == 4) {
        out.kind = Kind::kDword;
        out.dword =
            static_cast<std::int32_t>(value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                      (static_cast<std::uint32_t>(value.data[3]) << 24));
    } else {
        out.bytes = value.data;  // every other type (and a DWORD of another size) as its bytes
    }
    return {std::move(out), {}};
}

// Why a written value does not convert exactly, nullopt when it does.
std::optional<std::string> InexactPart(const ExportedValue& value, const AnsiEncoder& toAnsi) {
    if (!toAnsi(value.name)) {
        return std::string("a value name ") + std::string(kOutsideCodePage);
    }
    if (value.kind == ExportedValue::Kind::kString && !toAnsi(value.text)) {
        return std::string("a text ") + std::string(kOutsideCodePage);
    }
    return std::nullopt;
}

}  // namespace

ExactSection FormatExactSection(std::string_view keyPath, std::span<const StoredValue> values,
                                const AnsiEncoder& toAnsi) {
    ExactSection section;
    std::vector<ExportedValue> exported;
    exported.reserve(values.size());
    for (const StoredValue& stored : values) {
        Planned planned = PlanValue(stored, toAnsi);
        if (planned.value) {
            exported.push_back(std::move(*planned.value));
        } else {
            section.omitted.push_back({stored.name, std::move(planned.reason)});
        }
    }
    // Usually the whole section converts at once; otherwise the values that do not are found
    // and left out.
    if (auto ansi = toAnsi(FormatRegSection(keyPath, exported))) {
        section.ansi = std::move(*ansi);
        return section;
    }
    std::vector<ExportedValue> exact;
    for (ExportedValue& value : exported) {
        if (auto reason = InexactPart(value, toAnsi)) {
            section.omitted.push_back({value.name, std::move(*reason)});
        } else {
            exact.push_back(std::move(value));
        }
    }
    section.ansi = toAnsi(FormatRegSection(keyPath, exact)).value_or("");
    return section;
}

namespace {

// A list line of the Unicode form ends after the comma that brings it to this many characters
// or more; a backslash follows, and the list goes on after two spaces on the next line.
constexpr std::size_t kHexLineWidth = 77;
constexpr std::string_view kHexLineBreak = "\\\r\n  ";

// The length of UTF-8 text in UTF-16 units, as the registry editors count a line's width.
std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        units += (byte & 0xC0) != 0x80 ? 1 : 0;  // a character starts here
        units += byte >= 0xF0 ? 1 : 0;           // beyond the Basic Multilingual Plane: a pair
    }
    return units;
}

std::string Escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out.push_back(c);
                break;
        }
    }
    return out;
}

void AppendWrappedHexList(std::string& out, std::size_t column,
                          std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(kDigits[bytes[i] >> 4]);
        out.push_back(kDigits[bytes[i] & 0x0F]);
        if (i + 1 == bytes.size()) {
            break;
        }
        out.push_back(',');
        column += 3;
        if (column >= kHexLineWidth) {
            out += kHexLineBreak;
            column = 2;
        }
    }
}

// The text of a REG_SZ that the quoted form carries exactly: whole UTF-16 text ending in its
// one NUL, with no CR, LF or NUL before it; nullopt for any other value.
std::optional<std::string> QuotableText(const reg::Value& value) {
    const std::span<const std::uint8_t> data = value.data;
    if (value.type != reg::kRegSz) {
        return std::nullopt;
    }
    if (auto ascii = AsciiText(data)) {
        return HoldsLineBreak(*ascii) ? std::nullopt : std::move(ascii);
    }
    if (data.size() < 2 || data.size() % 2 != 0 || data.back() != 0 || data[data.size() - 2] != 0) {
        return std::nullopt;
    }
    auto text = WholeText(data.first(data.size() - 2));
    if (!text || text->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
        return std::nullopt;
    }
    return text;
}

void AppendUnicodeValue(std::string& out, const StoredValue& stored) {
    const std::size_t start = out.size();
    out += stored.name.empty() ? "@=" : "\"" + Escaped(stored.name) + "\"=";
    const reg::Value& value = stored.value;
    if (auto text = QuotableText(value)) {
        out += "\"" + Escaped(*text) + "\"";
    } else if (value.type == reg::kRegDword && value.data.size() == 4) {
        const std::uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                     (static_cast<std::uint32_t>(value.data[3]) << 24);
        std::array<char, 9> digits{};
        std::snprintf(digits.data(), digits.size(), "%08x", static_cast<unsigned>(number));
        out += "dword:";
        out += digits.data();
    } else {
        out += value.type == reg::kRegBinary ? "hex:" : "hex(" + TypeInHex(value.type) + "):";
        AppendWrappedHexList(out, Utf16Length(std::string_view(out).substr(start)), value.data);
    }
    out += kLineEnd;
}

}  // namespace

std::string UnicodeFileStart() {
    return "\xFF\xFE" + Utf16LeBytes("Windows Registry Editor Version 5.00\r\n\r\n");
}

std::string Utf16LeBytes(std::string_view utf8) {
    // The ASCII start (usually the whole text) unit by unit, the rest converted.
    std::size_t ascii = 0;
    while (ascii < utf8.size() && static_cast<unsigned char>(utf8[ascii]) < 0x80) {
        ++ascii;
    }
    const std::u16string units = platform::text::Utf8ToUtf16(utf8.substr(ascii));
    std::string bytes((ascii + units.size()) * 2, '\0');
    for (std::size_t i = 0; i < ascii; ++i) {
        bytes[2 * i] = utf8[i];
    }
    for (std::size_t i = 0; i < units.size(); ++i) {
        bytes[2 * (ascii + i)] = static_cast<char>(units[i] & 0xFF);
        bytes[2 * (ascii + i) + 1] = static_cast<char>(units[i] >> 8);
    }
    return bytes;
}

std::string FormatUnicodeSection(std::string_view keyPath, std::span<const StoredValue> values) {
    std::string out;
    out += '[';
    out += keyPath;
    AppendLine(out, "]");
    for (const bool defaultValue : {true, false}) {
        for (const StoredValue& stored : values) {
            if (stored.name.empty() == defaultValue) {
                AppendUnicodeValue(out, stored);
            }
        }
    }
    out += kLineEnd;
    return out;
}

std::optional<std::string> UnwritableUnicodeKeyName(std::string_view name) {
    if (HoldsLineBreak(name)) {
        return "a key name with CR or LF, which no key line can carry";
    }
    return std::nullopt;
}

std::optional<std::string> UnwritableKeyName(std::string_view name, const AnsiEncoder& toAnsi) {
    if (HoldsLineBreak(name)) {
        return "a key name with CR or LF";
    }
    if (!toAnsi(name)) {
        return std::string("a key name ") + std::string(kOutsideCodePage);
    }
    return std::nullopt;
}

}  // namespace registry
