#include "registry/reg_file_writer.h"

#include <array>
#include <cstdio>

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

}  // namespace registry
