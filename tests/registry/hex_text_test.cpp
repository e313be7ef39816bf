#include "registry/hex_text.h"

#include <gtest/gtest.h>

#include <random>

#include "registry/registry_access.h"

namespace registry {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(HexText, StrToBinReadsPairsAndIgnoresSpaces) {
    EXPECT_EQ(clsRegistryAccess::StrToBin("0a ff 00"), (Bytes{10, 255, 0}));
    EXPECT_EQ(clsRegistryAccess::StrToBin(" 0 AF F0 0 "), (Bytes{10, 255, 0}));
    EXPECT_EQ(clsRegistryAccess::StrToBin(""), Bytes{});
    EXPECT_EQ(clsRegistryAccess::StrToBin("    "), Bytes{});
}

TEST(HexText, StrToBinReadsEachPairAsFarAsItsDigitsGo) {
    EXPECT_EQ(clsRegistryAccess::StrToBin("zz"), Bytes{0});
    EXPECT_EQ(clsRegistryAccess::StrToBin("1z"), Bytes{1});
    EXPECT_EQ(clsRegistryAccess::StrToBin("z1"), Bytes{0});
    // A final single digit is one byte of that digit's value.
    EXPECT_EQ(clsRegistryAccess::StrToBin("ABC"), (Bytes{0xAB, 0x0C}));
    EXPECT_EQ(clsRegistryAccess::StrToBin("f"), Bytes{0x0F});
}

TEST(HexText, BinToStrPutsASpaceBeforeEveryByte) {
    EXPECT_EQ(clsRegistryAccess::BinToStr(Bytes{10, 255, 0}), " 0A FF 00");
    EXPECT_EQ(clsRegistryAccess::BinToStr(Bytes{5}), " 05");
    EXPECT_EQ(clsRegistryAccess::BinToStr(Bytes{}), "");
    EXPECT_EQ(BytesToTrimmedHex(Bytes{10, 255, 0}), "0A FF 00");
}

TEST(HexText, IsBinValid) {
    EXPECT_TRUE(clsRegistryAccess::isBinValid("0a ff"));
    EXPECT_TRUE(clsRegistryAccess::isBinValid("ABC"));
    EXPECT_FALSE(clsRegistryAccess::isBinValid("0A,FF"));
    EXPECT_FALSE(clsRegistryAccess::isBinValid("0G"));
    EXPECT_FALSE(clsRegistryAccess::isBinValid("   "));
    EXPECT_FALSE(clsRegistryAccess::isBinValid(""));
}

TEST(HexText, RoundTripHasNoLengthLimit) {
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes data(100'000);
    for (std::uint8_t& b : data) {
        b = static_cast<std::uint8_t>(byte(random));
    }
    const std::string hex = clsRegistryAccess::BinToStr(data);
    EXPECT_EQ(hex.size(), 300'000u);
    EXPECT_EQ(clsRegistryAccess::StrToBin(hex), data);

    // Lower-case hex text without spaces comes back in the upper-case spaced form.
    EXPECT_EQ(BytesToTrimmedHex(clsRegistryAccess::StrToBin("deadbeef0001")), "DE AD BE EF 00 01");
}

}  // namespace
}  // namespace registry
