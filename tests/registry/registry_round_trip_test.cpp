// Export, delete the tree, import: every key and value comes back equal. Trees are generated
// from a fixed seed with every value type, texts holding "=", quotes, backslashes and spaces
// at both ends, and names of any kind but double quotes. Two things a registry script cannot
// carry are left out: a key without values or subkeys, and an empty default text.
#include <gtest/gtest.h>

#include <random>

#include "registry_fixture.h"

namespace registry::test {
namespace {

namespace reg = platform::registry;

class TreeGenerator {
  public:
    explicit TreeGenerator(std::uint32_t seed) : random_(seed) {}

    // Fills the key below HKCU with values and subkeys, `depth` levels deep at most.
    void Fill(const std::string& subKey, int depth) {
        const int children = depth > 0 ? Pick(0, 3) : 0;
        const int values = Pick(children == 0 ? 1 : 0, 5);
        reg::Key key;
        ASSERT_EQ(reg::CreateKey(reg::PredefinedKey(reg::kCurrentUser), subKey, key), 0);
        std::map<std::string, bool> used;
        for (int i = 0; i < values; ++i) {
            std::string name = Pick(0, 5) == 0 ? "" : Name(kNameChars);
            if (!used.emplace(platform::text::AsciiUpper(name), true).second) {
                continue;
            }
            const StoredValue value = Value(name.empty());
            ASSERT_EQ(reg::SetValue(key.get(), name, value.type, value.data), 0);
        }
        std::map<std::string, bool> usedKeys;
        for (int i = 0; i < children; ++i) {
            const std::string child = Name(kKeyChars);
            if (usedKeys.emplace(platform::text::AsciiUpper(child), true).second) {
                Fill(subKey + "\\" + child, depth - 1);
            }
        }
    }

  private:
    static constexpr std::string_view kNameChars = "abcXYZ019 =\\@;[]-_.'";
    static constexpr std::string_view kKeyChars = "abcXYZ019_-.";
    static constexpr std::string_view kTextChars = "abcXYZ019 =\"\\@;[]-_.'%";

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    std::string Text(std::string_view alphabet, int low, int high) {
        std::string text;
        for (int n = Pick(low, high); n > 0; --n) {
            text.push_back(
                alphabet[static_cast<std::size_t>(Pick(0, static_cast<int>(alphabet.size()) - 1))]);
        }
        return text;
    }

    std::string Name(std::string_view alphabet) { return Text(alphabet, 1, 12); }

    std::vector<std::uint8_t> Bytes(int low, int high) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(Pick(low, high)));
        for (std::uint8_t& b : bytes) {
            b = static_cast<std::uint8_t>(Pick(0, 255));
        }
        return bytes;
    }

    std::string StringText(bool defaultValue) {
        std::string text = Text(kTextChars, defaultValue ? 1 : 0, 20);
        if (Pick(0, 3) == 0) {
            text = std::string("  ") + text + " ";
        }
        return text;
    }

    static std::vector<std::uint8_t> Units(std::string_view withNuls) {
        std::vector<std::uint8_t> data;
        for (const char c : withNuls) {
            data.push_back(static_cast<std::uint8_t>(c));
            data.push_back(0);
        }
        return data;
    }

    StoredValue Value(bool defaultValue) {
        switch (Pick(0, 6)) {
            case 0:
                return {reg::kRegSz,
                        platform::text::EncodeRegistryString(StringText(defaultValue))};
            case 1:
                return {reg::kRegBinary, Bytes(0, 300)};
            case 2:
                return {reg::kRegDword, Bytes(4, 4)};
            case 3:
                return {reg::kRegExpandSz,
                        platform::text::EncodeRegistryString(std::string("%") + StringText(false))};
            case 4: {
                std::string list;
                for (int n = Pick(1, 3); n > 0; --n) {
                    list += Text(kTextChars, 1, 8);
                    list.push_back('\0');
                }
                list.push_back('\0');
                return {reg::kRegMultiSz, Units(list)};
            }
            case 5:
                return {reg::kRegQword, Bytes(8, 8)};
            default:
                return {static_cast<std::uint32_t>(Pick(0, 1) == 0 ? reg::kRegNone : 0x20),
                        Bytes(0, 6)};
        }
    }

    std::mt19937 random_;
};

using RegistryRoundTrip = RegistryFixture;

TEST_F(RegistryRoundTrip, GeneratedTreesComeBackEqual) {
    const reg::RawKey hkcu = reg::PredefinedKey(reg::kCurrentUser);
    std::size_t keys = 0;
    std::size_t values = 0;
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        SCOPED_TRACE(std::string("seed ") + std::to_string(seed));
        TreeGenerator(seed).Fill(SubKey(), 3);
        const Snapshot before = TestKeySnapshot();
        keys += before.size();
        for (const auto& [path, entry] : before) {
            values += entry.second.size();
        }

        const std::string file = File(std::string("round_trip_") + std::to_string(seed) + ".reg");
        ASSERT_EQ(reg_.ExportToReg(Key(), file), 1);
        ASSERT_EQ(reg::DeleteTree(hkcu, SubKey()), 0);
        ASSERT_EQ(reg_.ImportFromReg(file), 1);

        EXPECT_EQ(TestKeySnapshot(), before);
        reg::DeleteTree(hkcu, SubKey());
    }
    // The trees are not trivial.
    EXPECT_GT(keys, 60u);
    EXPECT_GT(values, 150u);
}

}  // namespace
}  // namespace registry::test
