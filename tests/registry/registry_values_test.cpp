#include <gtest/gtest.h>

#include "registry_fixture.h"

namespace registry::test {
namespace {

namespace reg = platform::registry;
using RegistryValues = RegistryFixture;

TEST_F(RegistryValues, AtAndEmptyNameWriteTheDefaultValue) {
    EXPECT_NE(reg_.WriteString(Key(), "@", "default text"), 0u);
    EXPECT_EQ(reg_.ReadString(Key(), ""), "default text");
    // Reading "@" asks for a value literally named "@".
    EXPECT_EQ(reg_.ReadString(Key(), "@", "none"), "none");
    EXPECT_FALSE(reg_.ValueExists(Key(), "@"));

    EXPECT_NE(reg_.WriteString(Key(), "", "other"), 0u);
    EXPECT_EQ(reg_.ReadString(Key(), ""), "other");
}

TEST_F(RegistryValues, CreateKeyIfDoesntExistsDecidesWhetherWritesCreateTheKey) {
    EXPECT_TRUE(reg_.CreateKeyIfDoesntExists());
    reg_.CreateKeyIfDoesntExists(false);
    EXPECT_FALSE(reg_.CreateKeyIfDoesntExists());
    EXPECT_EQ(reg_.WriteDWORD(Key("a\\b"), "n", 1), 0u);
    EXPECT_EQ(reg_.WriteString(Key("a\\b"), "s", "x"), 0u);
    EXPECT_EQ(reg_.WriteBinary(Key("a\\b"), "b", "01"), 0u);
    EXPECT_FALSE(reg_.KeyExists(Key()));

    reg_.CreateKeyIfDoesntExists(true);
    EXPECT_NE(reg_.WriteDWORD(Key("a\\b"), "n", 7), 0u);
    EXPECT_EQ(reg_.ReadDWORD(Key("a\\b"), "n"), 7);
}

TEST_F(RegistryValues, ReadsGiveTheDefaultForMissingValuesAndKeys) {
    reg_.CreateKey(Key());
    for (const std::string& path : {Key(), Key("missing")}) {
        EXPECT_EQ(reg_.ReadString(path, "none"), "");
        EXPECT_EQ(reg_.ReadString(path, "none", "dflt"), "dflt");
        EXPECT_EQ(reg_.ReadDWORD(path, "none"), -1);
        EXPECT_EQ(reg_.ReadDWORD(path, "none", 42), 42);
        EXPECT_EQ(reg_.ReadBinary(path, "none"), "");
        EXPECT_EQ(reg_.ReadBinary(path, "none", "01 02"), "01 02");
        EXPECT_FALSE(reg_.ValueExists(path, "none"));
    }
}

TEST_F(RegistryValues, DwordValues) {
    EXPECT_NE(reg_.WriteDWORD(Key(), "neg", -1), 0u);
    EXPECT_NE(reg_.WriteDWORD(Key(), "pos", 0x1234ABCD), 0u);
    EXPECT_EQ(reg_.ReadDWORD(Key(), "neg"), -1);
    EXPECT_EQ(reg_.ReadDWORD(Key(), "pos"), 0x1234ABCD);
    EXPECT_EQ(GetRaw("", "neg").type, reg::kRegDword);
    EXPECT_EQ(GetRaw("", "neg").data, (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(RegistryValues, ReadDwordTakesAnyValueOfAtMostFourBytes) {
    reg_.WriteString(Key(), "ab", "ab");  // "ab" and its terminator: 3 bytes
    EXPECT_EQ(reg_.ReadDWORD(Key(), "ab"), 0x6261);
    reg_.WriteBinary(Key(), "five", "01 02 03 04 05");
    EXPECT_EQ(reg_.ReadDWORD(Key(), "five", 9), 9);
    reg_.WriteBinary(Key(), "two", "01 02");
    EXPECT_EQ(reg_.ReadDWORD(Key(), "two"), 0x0201);
}

TEST_F(RegistryValues, BinaryValues) {
    EXPECT_NE(reg_.WriteBinary(Key(), "bin", "0A FF 00"), 0u);
    EXPECT_EQ(GetRaw("", "bin").type, reg::kRegBinary);
    EXPECT_EQ(GetRaw("", "bin").data, (std::vector<std::uint8_t>{0x0A, 0xFF, 0x00}));
    EXPECT_EQ(reg_.ReadBinary(Key(), "bin"), "0A FF 00");

    EXPECT_NE(reg_.WriteBinary(Key(), "empty", ""), 0u);
    EXPECT_TRUE(reg_.ValueExists(Key(), "empty"));
    EXPECT_TRUE(GetRaw("", "empty").data.empty());
    EXPECT_EQ(reg_.ReadBinary(Key(), "empty", "dflt"), "");

    // Other types read as the bytes the ANSI functions give, a string with its terminator.
    reg_.WriteString(Key(), "text", "ab");
    EXPECT_EQ(reg_.ReadBinary(Key(), "text"), "61 62 00");
}

TEST_F(RegistryValues, StringsOfAnyLengthComeBackExactly) {
    for (const std::size_t length : {254u, 255u, 300u, 100'000u}) {
        std::string text(length, 'x');
        text.back() = 'y';
        ASSERT_NE(reg_.WriteString(Key(), "long", text), 0u);
        EXPECT_EQ(reg_.ReadString(Key(), "long"), text) << length;
    }
    reg_.WriteString(Key(), "spaces", "  both ends  ");
    EXPECT_EQ(reg_.ReadString(Key(), "spaces"), "  both ends  ");
    reg_.WriteString(Key(), "empty", "");
    EXPECT_EQ(reg_.ReadString(Key(), "empty", "dflt"), "");
    // Stored with its terminating NUL.
    EXPECT_EQ(GetRaw("", "spaces").data, Wide("  both ends  "));
    EXPECT_EQ(GetRaw("", "spaces").type, reg::kRegSz);
}

TEST_F(RegistryValues, ReadStringKeepsTheLastCharacterOfATextWithoutTerminator) {
    SetRaw("", "bare", reg::kRegSz, {'a', 0, 'b', 0});
    EXPECT_EQ(reg_.ReadString(Key(), "bare"), "ab");
}

TEST_F(RegistryValues, KillValue) {
    reg_.WriteString(Key(), "s", "x");
    EXPECT_NE(reg_.KillValue(Key(), "s"), 0u);
    EXPECT_FALSE(reg_.ValueExists(Key(), "s"));
    // The key could be opened and the value is gone: success even when it never existed.
    EXPECT_NE(reg_.KillValue(Key(), "s"), 0u);
    EXPECT_EQ(reg_.KillValue(Key("missing"), "s"), 0u);
}

TEST_F(RegistryValues, EnumValuesConvertsByTypeAndFilters) {
    // Created in name order: Windows lists values as created, Wine by name.
    reg_.WriteString(Key(), "a_str", "text");
    reg_.WriteBinary(Key(), "b_bin", "0A FF");
    reg_.WriteDWORD(Key(), "c_num", 26);
    SetRaw("", "d_exp", reg::kRegExpandSz, Wide("%PATH%"));
    reg_.WriteDWORD(Key(), "e_num2", -1);

    std::vector<std::string> names;
    std::vector<EnumeratedValue> values;
    ASSERT_EQ(reg_.EnumValues(Key(), names, values), 5);
    EXPECT_EQ(names, (std::vector<std::string>{"a_str", "b_bin", "c_num", "d_exp", "e_num2"}));
    EXPECT_EQ(values[0], EnumeratedValue{std::string("text")});
    EXPECT_EQ(values[1], EnumeratedValue{std::string("0A FF")});
    EXPECT_EQ(values[2], EnumeratedValue{std::int32_t{26}});
    EXPECT_EQ(values[3], EnumeratedValue{});
    EXPECT_EQ(values[4], EnumeratedValue{std::int32_t{-1}});

    ASSERT_EQ(reg_.EnumValues(Key(), names, values, 4), 2);
    EXPECT_EQ(names, (std::vector<std::string>{"c_num", "e_num2"}));
    ASSERT_EQ(reg_.EnumValues(Key(), names, values, 1), 1);
    EXPECT_EQ(names, std::vector<std::string>{"a_str"});

    // A missing key leaves the vectors as they were.
    EXPECT_EQ(reg_.EnumValues(Key("missing"), names, values), -1);
    EXPECT_EQ(names, std::vector<std::string>{"a_str"});
    EXPECT_EQ(values.size(), 1u);

    reg_.CreateKey(Key("empty"));
    EXPECT_EQ(reg_.EnumValues(Key("empty"), names, values), 0);
    EXPECT_TRUE(names.empty());
    EXPECT_TRUE(values.empty());
}

TEST_F(RegistryValues, EnumValuesListsLongNamesAndLargeData) {
    const std::string longName(300, 'n');
    reg_.WriteBinary(Key(), longName, std::string(2000, 'A'));
    reg_.WriteString(Key(), "zbig", std::string(5000, 's'));
    std::vector<std::string> names;
    std::vector<EnumeratedValue> values;
    ASSERT_EQ(reg_.EnumValues(Key(), names, values), 2);
    EXPECT_EQ(names[0], longName);
    EXPECT_EQ(std::get<std::string>(values[0]).size(), 1000u * 3 - 1);
    EXPECT_EQ(std::get<std::string>(values[1]), std::string(5000, 's'));
}

}  // namespace
}  // namespace registry::test
