#include "pathcheck/reg_string.h"

#include <algorithm>
#include <array>
#include <exception>

#include "platform/kernel32.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/window.h"

namespace pathcheck {
namespace {

namespace reg = platform::registry;

constexpr std::array<RootKeyName, 7> kRootKeyNames{{
    {"HKEY_CURRENT_USER", "HKCU", reg::kCurrentUser},
    {"HKEY_LOCAL_MACHINE", "HKLM", reg::kLocalMachine},
    {"HKEY_CLASSES_ROOT", "HKCR", reg::kClassesRoot},
    {"HKEY_USERS", "HKUS", reg::kUsers},
    {"HKEY_PERFORMANCE_DATA", "HKPD", reg::kPerformanceData},
    {"HKEY_DYN_DATA", "HKDD", reg::kDynData},
    {"HKEY_CURRENT_CONFIG", "HKCC", reg::kCurrentConfig},
}};

std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

// The text of a value as the ANSI read returns it: string types converted, anything else
// as its raw bytes; either up to the first NUL.
std::string ValueText(const reg::Value& value) {
    switch (value.type) {
        case reg::kRegSz:
        case reg::kRegExpandSz:
        case reg::kRegMultiSz:
            return platform::text::DecodeRegistryString(value.data);
        default:
            break;
    }
    std::string bytes(value.data.begin(), value.data.end());
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    return platform::kernel32::AnsiToUtf8(bytes);
}

// Opens the subkey, or failing that the subkey with a "\" in front of it.
long OpenSubkey(std::uint32_t root, const std::string& subkey, reg::Key& key) {
    const reg::RawKey parent = reg::PredefinedKey(root);
    if (parent == 0) {
        return reg::kErrorInvalidHandle;
    }
    const long result = reg::OpenKey(parent, subkey, reg::kKeyRead, key);
    if (result == reg::kErrorSuccess) {
        return result;
    }
    return reg::OpenKey(parent, "\\" + subkey, reg::kKeyRead, key);
}

// Reads one value of the key that a path text names; false when the key cannot be opened or
// the value cannot be read. `path` is left with its root name shortened.
bool ReadValue(std::string& path, const std::string& name, reg::Value& value) {
    std::string subkey;
    const std::uint32_t root = myRegGetKeys(path, subkey);
    reg::Key key;
    return OpenSubkey(root, subkey, key) == reg::kErrorSuccess &&
           reg::QueryValue(key.get(), name, value) == reg::kErrorSuccess;
}

void ShowReadError(const std::string& path, const std::string& name, const std::exception& e) {
    platform::window::MessageBox("An error occurred in myRegReadString: " + path + " " + name +
                                 " : " + e.what());
}

}  // namespace

std::span<const RootKeyName> RootKeyNames() {
    return kRootKeyNames;
}

std::uint32_t SplitKeyPath(std::string& path, std::string& subkey) {
    const std::size_t start = path.starts_with('\\') ? 1 : 0;
    const std::size_t rootEnd = std::min(path.find('\\', start), path.size());
    const std::string_view rootText = std::string_view(path).substr(start, rootEnd - start);
    for (const RootKeyName& row : kRootKeyNames) {
        if (platform::text::EqualsIgnoringCase(rootText, row.longName)) {
            path.replace(0, rootEnd, row.shortName);
            break;
        }
    }
    const std::size_t slash = path.find('\\');
    subkey = slash == std::string::npos ? std::string() : path.substr(slash + 1);
    const std::string root = platform::text::AsciiUpper(std::string_view(path).substr(0, slash));
    for (const RootKeyName& row : kRootKeyNames) {
        if (root == row.shortName) {
            return row.root;
        }
    }
    return 0;
}

std::uint32_t myRegGetKeys(std::string& sPath, std::string& sKey) {
    try {
        return SplitKeyPath(sPath, sKey);
    } catch (const std::exception& e) {
        platform::window::MessageBox("An error occurred in myRegGetKeys: " + sPath + " " + sKey +
                                     " : " + e.what());
        return 0;
    }
}

std::optional<StoredString> ReadStoredString(std::string sPath, std::string sName) {
    std::string path = sPath;
    try {
        reg::Value value;
        if (!ReadValue(path, sName, value)) {
            return std::nullopt;
        }
        return StoredString{value.type, ValueText(value)};
    } catch (const std::exception& e) {
        ShowReadError(path, sName, e);
        return std::nullopt;
    }
}

std::string myRegReadString(std::string sPath, std::string sName, std::string sDefault) {
    std::string path = sPath;
    try {
        reg::Value value;
        if (!ReadValue(path, sName, value)) {
            return sDefault;
        }
        return TrimNull(ValueText(value));
    } catch (const std::exception& e) {
        ShowReadError(path, sName, e);
        return "";
    }
}

std::string TrimNull(std::string_view chstr) {
    std::string_view text = TrimSpaces(chstr);
    if (const auto nul = text.find('\0'); nul != std::string_view::npos) {
        text = TrimSpaces(text.substr(0, nul));
    }
    return std::string(text);
}

}  // namespace pathcheck
