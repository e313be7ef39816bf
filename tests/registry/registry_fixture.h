// A test key of the test's own, HKEY_CURRENT_USER\Software\KelvraTests\<suite>_<test>, deleted
// before and after the test, and registry script files in the TEMP folder (the current folder
// when there is none), deleted likewise. The same tests run on the simulated registry and on
// the real one.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel32.h"
#include "platform/registry.h"
#include "platform/runtime.h"
#include "platform/text.h"
#include "registry/registry_access.h"

namespace registry::test {

// The whole content of a key tree, to compare two registries.
struct StoredValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    friend bool operator==(const StoredValue&, const StoredValue&) = default;
    // Shown as the type and the data in hex, when a comparison fails.
    friend void PrintTo(const StoredValue& value, std::ostream* out) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        *out << "type " << value.type << ":";
        for (const std::uint8_t byte : value.data) {
            *out << ' ' << kDigits[byte >> 4] << kDigits[byte & 0x0F];
        }
    }
};
// Key path (upper-cased, below the test key) -> (spelled name, values by upper-cased name).
using Snapshot = std::map<std::string, std::pair<std::string, std::map<std::string, StoredValue>>>;

inline void SnapshotKey(platform::registry::RawKey parent, const std::string& subKey,
                        const std::string& relative, const std::string& spelled, Snapshot& out) {
    namespace reg = platform::registry;
    reg::Key key;
    ASSERT_EQ(reg::OpenKey(parent, subKey, reg::kKeyRead, key), 0) << subKey;
    auto& entry = out[platform::text::AsciiUpper(relative)];
    entry.first = spelled;
    std::string name;
    reg::Value value;
    for (std::uint32_t i = 0; reg::EnumValue(key.get(), i, name, value) == 0; ++i) {
        entry.second[platform::text::AsciiUpper(name)] = {value.type, value.data};
    }
    std::vector<std::string> children;
    for (std::uint32_t i = 0; reg::EnumKey(key.get(), i, name) == 0; ++i) {
        children.push_back(name);
    }
    for (const std::string& child : children) {
        SnapshotKey(parent, subKey + "\\" + child, relative + "\\" + child, child, out);
    }
}

class RegistryFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        name_ = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name_) {
            if (c == '/') {
                c = '_';
            }
        }
        DeleteTestKey();
    }

    void TearDown() override {
        DeleteTestKey();
        for (const std::string& file : files_) {
            platform::runtime::DeleteFile(file);
        }
    }

    // "HKCU\Software\KelvraTests\<test>" followed by "\" and `sub` when given.
    [[nodiscard]] std::string Key(std::string_view sub = "") const {
        std::string path = std::string("HKCU\\") + SubKey();
        if (!sub.empty()) {
            path += "\\";
            path += sub;
        }
        return path;
    }

    // The test key's path below HKEY_CURRENT_USER.
    [[nodiscard]] std::string SubKey() const {
        return std::string("Software\\KelvraTests\\") + name_;
    }

    // The long form of Key(sub), as an export spells it.
    [[nodiscard]] std::string LongKey(std::string_view sub = "") const {
        return std::string("HKEY_CURRENT_USER") + Key(sub).substr(4);
    }

    // A file path for this test, not existing yet; deleted after the test.
    std::string File(std::string_view name) {
        std::string folder = platform::runtime::Environ("TEMP");
        if (folder.empty()) {
            folder = platform::runtime::CurDir();
        }
        std::string path = folder + "\\kelvra_" + name_ + "_" + std::string(name);
        platform::runtime::DeleteFile(path);
        files_.push_back(path);
        return path;
    }

    // Stores a value of any type directly, as another program would.
    void SetRaw(std::string_view sub, std::string_view name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) {
        namespace reg = platform::registry;
        reg::Key key;
        ASSERT_EQ(reg::CreateKey(reg::PredefinedKey(reg::kCurrentUser), RawSub(sub), key), 0);
        ASSERT_EQ(reg::SetValue(key.get(), name, type, data), 0);
    }

    // The stored value; type kRegNone and no data when it is missing.
    platform::registry::Value GetRaw(std::string_view sub, std::string_view name) {
        namespace reg = platform::registry;
        reg::Key key;
        reg::Value value;
        if (reg::OpenKey(reg::PredefinedKey(reg::kCurrentUser), RawSub(sub), reg::kKeyRead, key) ==
            0) {
            reg::QueryValue(key.get(), name, value);
        }
        return value;
    }

    // The test key's whole tree.
    [[nodiscard]] Snapshot TestKeySnapshot() const {
        namespace reg = platform::registry;
        Snapshot out;
        SnapshotKey(reg::PredefinedKey(reg::kCurrentUser), SubKey(), "", "", out);
        return out;
    }

    void DeleteTestKey() const {
        namespace reg = platform::registry;
        if (name_.empty()) {
            return;  // skipped before SetUp named the key: "" would be the whole scratch tree
        }
        reg::DeleteTree(reg::PredefinedKey(reg::kCurrentUser), SubKey());
    }

    // A tree of everything awkward for a registry script: names and texts outside the code page
    // and outside the Basic Multilingual Plane, quotes, backslashes, "=", brackets and line
    // breaks in names, texts with line breaks, empty values, a default value of every type in
    // keys of their own, REG_QWORD, REG_MULTI_SZ, REG_NONE, a type number of no known type and
    // 100 KB of binary data. `withStrayData` adds string data that is no text with one NUL
    // (NULs inside, none at the end, an odd length, no bytes at all) and a DWORD of two bytes,
    // which Wine's regedit does not export as it is.
    void WriteAwkwardTree(bool withStrayData) {
        namespace reg = platform::registry;
        const std::string outside = "\xCE\xA9mega \xF0\x9F\x98\x80 caf\xC3\xA9";
        const std::string names[] = {"q\"uote", "back\\slash", "a=b",           "[br]acket]",
                                     "@",       " spaced ",    "line\r\nbreak", outside};
        for (const std::string& key : {std::string("plain"), outside, std::string("k\"=[]")}) {
            for (const std::string& name : names) {
                SetRaw(key, name, reg::kRegSz, Wide(name + " = \"" + key + "\" \\ ]["));
            }
            SetRaw(key, "lines", reg::kRegSz, Wide("one\r\n[-HKEY_CURRENT_USER\\x]\r\nlast\n"));
            SetRaw(key, "empty text", reg::kRegSz, Wide(""));
            SetRaw(key, "empty binary", reg::kRegBinary, {});
            SetRaw(key, "none", reg::kRegNone, {});
        }
        const std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> typed = {
            {reg::kRegSz, Wide(outside)},
            {reg::kRegExpandSz, Wide("%SystemRoot%\\" + outside)},
            {reg::kRegBinary, {0, 1, 0xFE, 0xFF}},
            {reg::kRegDword, {0x1A, 0, 0, 0x80}},
            {reg::kRegDwordBigEndian, {0, 0, 0, 1}},
            {reg::kRegMultiSz, {'a', 0, 0, 0, 0xA9, 0x03, '=', 0, 0, 0, 0, 0}},
            {reg::kRegQword, {1, 2, 3, 4, 5, 6, 7, 0x88}},
            {reg::kRegNone, {0xAB}},
            {0x7FFF0020, {1, 2, 3}}};
        for (const auto& [type, data] : typed) {
            SetRaw("defaults\\" + std::to_string(type), "", type, data);
            SetRaw("typed", std::to_string(type), type, data);
        }
        std::vector<std::uint8_t> large(100 * 1024);
        for (std::size_t i = 0; i < large.size(); ++i) {
            large[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
        }
        SetRaw("typed", "100 KB", reg::kRegBinary, large);
        if (withStrayData) {
            SetRaw("stray", "nul inside", reg::kRegSz, Wide(std::string("a\0b", 3)));
            SetRaw("stray", "no nul", reg::kRegSz, {'a', 0, 'b', 0});
            SetRaw("stray", "odd length", reg::kRegSz, {'a', 0, 'b'});
            SetRaw("stray", "no bytes", reg::kRegSz, {});
            SetRaw("stray", "unpaired surrogate", reg::kRegSz, {0x00, 0xD8, 'a', 0, 0, 0});
            SetRaw("stray", "expand, no nul", reg::kRegExpandSz, {'%', 0, 'a', 0});
            SetRaw("stray", "short dword", reg::kRegDword, {1, 2});
        }
    }

    // The bytes of a registry string as the wide functions store it.
    static std::vector<std::uint8_t> Wide(std::string_view text) {
        return platform::text::EncodeRegistryString(text);
    }

    clsRegistryAccess reg_;

  private:
    [[nodiscard]] std::string RawSub(std::string_view sub) const {
        return sub.empty() ? SubKey() : SubKey() + "\\" + std::string(sub);
    }

    std::string name_;
    std::vector<std::string> files_;
};

}  // namespace registry::test
