// Binary registry data as hex text: two hex digits per byte, separated by spaces.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace registry {

// The value of a hex digit in either case, -1 for any other character.
int HexDigit(char c);

// Reads hex text of any length. Spaces anywhere are ignored; the digits are taken in pairs,
// and a pair reads as far as its leading hex digits go (a pair without a leading digit gives
// 0, "1z" gives 1). A final single digit gives one byte of that digit's value.
std::vector<std::uint8_t> HexToBytes(std::string_view hexText);

// " 0A FF 00" for the bytes 10, 255, 0: a space and two upper-case digits for every byte,
// "" for no bytes.
std::string BytesToHex(std::span<const std::uint8_t> bytes);

// The trimmed form that readers show: "0A FF 00".
std::string BytesToTrimmedHex(std::span<const std::uint8_t> bytes);

// True when the text, spaces ignored, is non-empty and holds only hex digits (either case).
// An odd number of digits passes.
bool IsHexText(std::string_view hexText);

}  // namespace registry
