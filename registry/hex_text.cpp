#include "registry/hex_text.h"

namespace registry {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

namespace {

std::string WithoutSpaces(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c != ' ') {
            out.push_back(c);
        }
    }
    return out;
}

// A pair reads like a hex number literal: as far as its leading digits go.
std::uint8_t ReadPair(std::string_view pair) {
    int value = 0;
    for (const char c : pair) {
        const int digit = HexDigit(c);
        if (digit < 0) {
            break;
        }
        value = value * 16 + digit;
    }
    return static_cast<std::uint8_t>(value);
}

}  // namespace

std::vector<std::uint8_t> HexToBytes(std::string_view hexText) {
    const std::string digits = WithoutSpaces(hexText);
    std::vector<std::uint8_t> bytes;
    bytes.reserve((digits.size() + 1) / 2);
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        bytes.push_back(ReadPair(std::string_view(digits).substr(i, 2)));
    }
    return bytes;
}

std::string BytesToHex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const std::uint8_t byte : bytes) {
        out.push_back(' ');
        out.push_back(kDigits[byte >> 4]);
        out.push_back(kDigits[byte & 0x0F]);
    }
    return out;
}

std::string BytesToTrimmedHex(std::span<const std::uint8_t> bytes) {
    std::string out = BytesToHex(bytes);
    if (!out.empty()) {
        out.erase(0, 1);
    }
    return out;
}

bool IsHexText(std::string_view hexText) {
    const std::string digits = WithoutSpaces(hexText);
    if (digits.empty()) {
        return false;
    }
    for (const char c : digits) {
        if (HexDigit(c) < 0) {
            return false;
        }
    }
    return true;
}

}  // namespace registry
