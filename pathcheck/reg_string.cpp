#include "pathcheck/reg_string.h"

#include <algorithm>
#include <exception>

#include "platform/kernel32.h"
#include "platform/registry.h"
#include "platform/root_keys.h"
#include "platform/text.h"
#include "platform/window.h"

namespace pathcheck {
namespace {

namespace reg = platform::registry;
namespace root_keys = platform::root_keys;

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

std::uint32_t SplitKeyPath(std::string& path, std::string& subkey) {
    const std::string_view rootName = root_keys::SplitRootName(path).rootName;
    if (const root_keys::RootKeyName* row = root_keys::FindByLongName(rootName)) {
        const std::size_t rootEnd = (path.starts_with('\\') ? 1 : 0) + rootName.size();
        path.replace(0, rootEnd, row->shortName);
    }
    const std::size_t slash = path.find('\\');
    subkey = slash == std::string::npos ? std::string() : path.substr(slash + 1);
    const root_keys::RootKeyName* row =
        root_keys::FindByShortName(std::string_view(path).substr(0, slash));
    return row == nullptr ? 0 : row->root;
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
    using platform::text::TrimSpaces;
    std::string_view text = TrimSpaces(chstr);
    if (const auto nul = text.find('\0'); nul != std::string_view::npos) {
        text = TrimSpaces(text.substr(0, nul));
    }
    return std::string(text);
}

}  // namespace pathcheck
