// Export, delete the tree, import: every key and value comes back exactly, except what the
// export names as left out, which must then be missing. Trees are generated from fixed seeds
// with every value type; texts with CR, LF, NULs, quotes, "=", brackets and spaces at both ends;
// string data with odd lengths and without terminator; names with quotes, "=", "]", spaces,
// line breaks and the empty name; and characters that an ANSI code page may not hold.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "registry_fixture.h"

namespace registry::test {
namespace {

namespace reg = platform::registry;

// What the generator knows about an item: whether an export has to leave it out, may leave it
// out (it holds characters outside ASCII), or has to write it.
enum class Carry { kMust, kMay, kNever };

struct Expectations {
    std::map<std::string, Carry> keys;    // by path below the test key, upper-cased
    std::map<std::string, Carry> values;  // by key path and "|" and the upper-cased name
};

class TreeGenerator {
  public:
    explicit TreeGenerator(std::uint32_t seed) : random_(seed) {}

    // Fills the key below HKCU with values and subkeys, `depth` levels deep at most.
    void Fill(const std::string& subKey, const std::string& relative, Carry carry, int depth,
              Expectations& expect) {
        reg::Key key;
        ASSERT_EQ(reg::CreateKey(reg::PredefinedKey(reg::kCurrentUser), subKey, key), 0);
        expect.keys[platform::text::AsciiUpper(relative)] = carry;
        std::set<std::string> used;
        for (int i = Pick(0, 6); i > 0; --i) {
            auto [name, nameCarry] = Pick(0, 5) == 0 ? Named{"", Carry::kMust} : ValueName();
            if (!used.insert(platform::text::AsciiUpper(name)).second) {
                continue;
            }
            auto [value, valueCarry] = Value();
            ASSERT_EQ(reg::SetValue(key.get(), name, value.type, value.data), 0);
            expect.values[platform::text::AsciiUpper(relative) + "|" +
                          platform::text::AsciiUpper(name)] = Worst(nameCarry, valueCarry);
        }
        std::set<std::string> usedKeys;
        for (int i = depth > 0 ? Pick(0, 3) : 0; i > 0; --i) {
            auto [child, childCarry] = KeyName();
            reg::Key probe;
            if (!usedKeys.insert(platform::text::AsciiUpper(child)).second ||
                reg::CreateKey(key.get(), child, probe) != 0) {
                continue;  // a name the platform does not take
            }
            probe.reset();
            Fill(subKey + "\\" + child, relative + "\\" + child, Worst(carry, childCarry),
                 depth - 1, expect);
        }
    }

  private:
    struct Named {
        std::string text;
        Carry carry;
    };

    static constexpr std::string_view kNameChars = "abcXYZ019 =\\@;[]-_.'\"";
    static constexpr std::string_view kKeyChars = "abcXYZ019_-. =]['\";@";
    static constexpr std::string_view kTextChars = "abcXYZ019 =\"\\@;[]-_.'%\r\n";
    // Each in one letter case only, so that no two names differ by case alone: é is in the
    // usual ANSI code pages, Ā only as the look-alike A, Ω and the emoji in few or none.
    static constexpr std::string_view kOutside[] = {"\xC3\xA9", "\xC4\x80", "\xCE\xA9",
                                                    "\xF0\x9F\x98\x80"};

    static Carry Worst(Carry a, Carry b) { return std::max(a, b); }

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    std::string Text(std::string_view alphabet, int low, int high) {
        std::string text;
        for (int n = Pick(low, high); n > 0; --n) {
            text.push_back(
                alphabet[static_cast<std::size_t>(Pick(0, static_cast<int>(alphabet.size()) - 1))]);
        }
        return text;
    }

    // Now and then a character outside ASCII somewhere in the text.
    Named WithOutside(std::string text) {
        if (Pick(0, 7) != 0) {
            return {std::move(text), Carry::kMust};
        }
        const auto at = static_cast<std::size_t>(Pick(0, static_cast<int>(text.size())));
        text.insert(at, kOutside[static_cast<std::size_t>(Pick(0, 3))]);
        return {std::move(text), Carry::kMay};
    }

    Named ValueName() {
        Named name = WithOutside(Text(kNameChars, 1, 12));
        if (Pick(0, 12) == 0) {
            name.text.insert(static_cast<std::size_t>(Pick(0, 1)), Pick(0, 1) ? "\r" : "\n");
        }
        if (name.text.find_first_of("\"\r\n") != std::string::npos) {
            name.carry = Carry::kNever;
        }
        return name;
    }

    Named KeyName() {
        Named name = WithOutside(Text(kKeyChars, 1, 10));
        if (Pick(0, 15) == 0) {
            name.text += "\r\n";
            name.carry = Carry::kNever;
        }
        return name;
    }

    std::vector<std::uint8_t> Bytes(int low, int high) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(Pick(low, high)));
        for (std::uint8_t& b : bytes) {
            b = static_cast<std::uint8_t>(Pick(0, 255));
        }
        return bytes;
    }

    Named StringText() {
        std::string text = Text(kTextChars, 0, 20);
        if (Pick(0, 3) == 0) {
            text = std::string("  ") + text + " ";
        }
        if (Pick(0, 5) == 0) {
            text.insert(static_cast<std::size_t>(Pick(0, static_cast<int>(text.size()))), 1, '\0');
        }
        return WithOutside(std::move(text));
    }

    static std::vector<std::uint8_t> Units(std::string_view utf8) {
        const std::u16string units = platform::text::Utf8ToUtf16(utf8);
        std::vector<std::uint8_t> data;
        for (const char16_t unit : units) {
            data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
            data.push_back(static_cast<std::uint8_t>(unit >> 8));
        }
        return data;
    }

    std::pair<StoredValue, Carry> StringValue(std::uint32_t type) {
        Named text = StringText();
        std::vector<std::uint8_t> data = Units(text.text);
        switch (Pick(0, 7)) {
            case 0:
                break;  // no terminating NUL
            case 1:
                data.push_back(0x41);  // an odd number of bytes: no text
                text.carry = Carry::kNever;
                break;
            case 2:
                data.insert(data.end(), {0, 0, 0, 0});  // two NULs
                break;
            default:
                data.insert(data.end(), {0, 0});
                break;
        }
        return {{type, std::move(data)}, text.carry};
    }

    std::pair<StoredValue, Carry> Value() {
        switch (Pick(0, 9)) {
            case 0:
            case 1:
            case 2:
                return StringValue(reg::kRegSz);
            case 3:
                return {{reg::kRegBinary, Bytes(0, 300)}, Carry::kMust};
            case 4:
                return {{reg::kRegDword, Bytes(Pick(0, 3) == 0 ? 0 : 4, 4)}, Carry::kMust};
            case 5:
                return StringValue(reg::kRegExpandSz);
            case 6: {
                std::string list;
                for (int n = Pick(1, 3); n > 0; --n) {
                    list += Text(kTextChars, 1, 8);
                    list.push_back('\0');
                }
                list.push_back('\0');
                Named named = WithOutside(list);
                return {{reg::kRegMultiSz, Units(named.text)}, named.carry};
            }
            case 7:
                return {{reg::kRegQword, Bytes(8, 8)}, Carry::kMust};
            case 8:
                return {{reg::kRegDwordBigEndian, Bytes(4, 4)}, Carry::kMust};
            default:
                return {{static_cast<std::uint32_t>(Pick(0, 1) == 0 ? reg::kRegNone : 0x7FFF0020),
                         Bytes(0, 6)},
                        Carry::kMust};
        }
    }

    std::mt19937 random_;
};

class RegistryRoundTrip : public RegistryFixture {
  protected:
    // The test key's path below HKCU, upper-cased, for a left-out key path.
    std::string Relative(const std::string& keyPath) const {
        const std::string prefix = platform::text::AsciiUpper(LongKey());
        const std::string upper = platform::text::AsciiUpper(keyPath);
        EXPECT_TRUE(upper.starts_with(prefix)) << keyPath;
        return upper.substr(prefix.size());
    }

    // The snapshot without what was left out: a key with everything below it, or a value.
    Snapshot Without(Snapshot snapshot, const std::vector<ExportLeftOut>& leftOut) const {
        for (const ExportLeftOut& item : leftOut) {
            const std::string relative = Relative(item.keyPath);
            if (item.wholeKey) {
                std::erase_if(snapshot, [&](const auto& entry) {
                    return entry.first == relative || entry.first.starts_with(relative + "\\");
                });
            } else if (auto it = snapshot.find(relative); it != snapshot.end()) {
                it->second.second.erase(platform::text::AsciiUpper(item.valueName));
            }
        }
        return snapshot;
    }

    // Every left-out item may be left out, and every item that cannot be carried is.
    void CheckLeftOut(const std::vector<ExportLeftOut>& leftOut, const Expectations& expect) {
        std::set<std::string> named;
        for (const ExportLeftOut& item : leftOut) {
            const std::string relative = Relative(item.keyPath);
            const std::string id =
                item.wholeKey ? relative
                              : relative + "|" + platform::text::AsciiUpper(item.valueName);
            const auto& table = item.wholeKey ? expect.keys : expect.values;
            const auto it = table.find(id);
            ASSERT_NE(it, table.end()) << "left out, but never generated: " << id;
            EXPECT_NE(it->second, Carry::kMust)
                << "left out for no reason: " << id << ": " << item.reason;
            EXPECT_TRUE(named.insert(id).second) << "named twice: " << id;
        }
        for (const auto& [id, carry] : expect.keys) {
            EXPECT_TRUE(carry != Carry::kNever || named.contains(id) || BelowNamed(id, named))
                << "key not left out: " << id;
        }
        for (const auto& [id, carry] : expect.values) {
            const std::string key = id.substr(0, id.find('|'));
            EXPECT_TRUE(carry != Carry::kNever || named.contains(id) || named.contains(key) ||
                        BelowNamed(key, named))
                << "value not left out: " << id;
        }
    }

    static bool BelowNamed(const std::string& key, const std::set<std::string>& named) {
        for (std::string parent = key; parent.find('\\') != std::string::npos;) {
            parent.erase(parent.rfind('\\'));
            if (named.contains(parent)) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(RegistryRoundTrip, GeneratedTreesComeBackExceptWhatTheExportNames) {
    const reg::RawKey hkcu = reg::PredefinedKey(reg::kCurrentUser);
    std::size_t keys = 0;
    std::size_t values = 0;
    std::size_t leftOutTotal = 0;
    std::size_t completeExports = 0;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(std::string("seed ") + std::to_string(seed));
        Expectations expect;
        TreeGenerator(seed).Fill(SubKey(), "", Carry::kMust, 3, expect);
        const Snapshot before = TestKeySnapshot();
        keys += before.size();
        for (const auto& [path, entry] : before) {
            values += entry.second.size();
        }

        const std::string file = File(std::string("round_trip_") + std::to_string(seed) + ".reg");
        std::vector<ExportLeftOut> leftOut;
        const long exported = reg_.ExportToReg(
            Key(), file, true, {}, [&](const ExportLeftOut& item) { leftOut.push_back(item); });
        EXPECT_EQ(exported, leftOut.empty() ? 1 : 0);
        CheckLeftOut(leftOut, expect);
        ASSERT_EQ(reg::DeleteTree(hkcu, SubKey()), 0);
        std::vector<ImportProblem> problems;
        EXPECT_EQ(reg_.ImportFromReg(file, [&](const ImportProblem& p) { problems.push_back(p); }),
                  1);
        EXPECT_TRUE(problems.empty()) << problems.front().reason << ": " << problems.front().line;

        EXPECT_EQ(TestKeySnapshot(), Without(before, leftOut));
        leftOutTotal += leftOut.size();
        completeExports += exported;
        reg::DeleteTree(hkcu, SubKey());
    }
    // The trees are not trivial, and both outcomes occur.
    EXPECT_GT(keys, 150u);
    EXPECT_GT(values, 400u);
    EXPECT_GT(leftOutTotal, 10u);
    EXPECT_GT(completeExports, 3u);
}

TEST_F(RegistryRoundTrip, TheUnicodeFormCarriesEveryValueAndEveryKeyWithoutALineBreak) {
    const auto exportAndImport = [&](const std::string& name, std::vector<ExportLeftOut>& leftOut) {
        const std::string file = File(name);
        const long exported = reg_.ExportToReg(
            Key(), file, true, {}, [&](const ExportLeftOut& item) { leftOut.push_back(item); },
            RegScriptForm::kUnicode);
        EXPECT_EQ(exported, leftOut.empty() ? 1 : 0);
        DeleteTestKey();
        EXPECT_EQ(reg_.ImportFromReg(file), 1);
    };
    WriteAwkwardTree(true);
    Snapshot before = TestKeySnapshot();
    std::vector<ExportLeftOut> leftOut;
    exportAndImport("awkward.reg", leftOut);
    EXPECT_TRUE(leftOut.empty()) << leftOut.front().keyPath << ": " << leftOut.front().reason;
    EXPECT_EQ(TestKeySnapshot(), before);

    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(std::string("seed ") + std::to_string(seed));
        DeleteTestKey();
        Expectations expect;
        TreeGenerator(seed).Fill(SubKey(), "", Carry::kMust, 3, expect);
        before = TestKeySnapshot();
        leftOut.clear();
        exportAndImport("generated.reg", leftOut);
        for (const ExportLeftOut& item : leftOut) {
            EXPECT_TRUE(item.wholeKey && item.keyPath.find_first_of("\r\n") != std::string::npos)
                << item.keyPath << " " << item.valueName << ": " << item.reason;
        }
        EXPECT_EQ(TestKeySnapshot(), Without(before, leftOut));
    }
}

}  // namespace
}  // namespace registry::test
