// Key and value operations of clsRegistryAccess.
#include "registry/registry_access.h"

#include "platform/text.h"
#include "registry/hex_text.h"
#include "registry/key_path.h"
#include "registry/value_data.h"

namespace registry {
namespace {

namespace reg = platform::registry;

// The handle value an operation reports: never 0 for a key that was opened.
HandleValue ValueOf(const reg::Key& key) {
    return key ? key.get() : 0;
}

}  // namespace

long clsRegistryAccess::OpenKey(std::string_view sPath, std::uint32_t access, reg::Key& key) {
    const KeyPath path = ParseKeyPath(sPath);
    const reg::RawKey root = reg::PredefinedKey(path.root);
    if (root == 0) {
        return reg::kErrorInvalidHandle;
    }
    return reg::OpenKey(root, path.subKey, access, key);
}

HandleValue clsRegistryAccess::CreateKey(std::string_view sPath) const {
    const KeyPath path = ParseKeyPath(sPath);
    const reg::RawKey root = reg::PredefinedKey(path.root);
    reg::Key key;
    if (root == 0 || reg::CreateKey(root, path.subKey, key) != reg::kErrorSuccess) {
        return 0;
    }
    return ValueOf(key);
}

HandleValue clsRegistryAccess::KillKey(std::string_view sPath) const {
    const KeyPath path = ParseKeyPath(sPath);
    reg::Key key;
    // Neither a root nor the root of a hive is deleted, however its path is spelled.
    if (DeletionRefusal(path) || OpenKey(sPath, reg::kKeyAllAccess, key) != reg::kErrorSuccess) {
        return 0;
    }
    const HandleValue handle = ValueOf(key);
    key.reset();
    reg::DeleteKey(reg::PredefinedKey(path.root), path.subKey);
    return KeyExists(sPath) ? 0 : handle;
}

bool clsRegistryAccess::KeyExists(std::string_view sPath) const {
    reg::Key key;
    return OpenKey(sPath, reg::kKeyRead, key) == reg::kErrorSuccess;
}

long clsRegistryAccess::EnumKeys(std::string_view sPath, std::vector<std::string>& Key) const {
    Key.clear();
    reg::Key key;
    if (OpenKey(sPath, reg::kKeyRead, key) != reg::kErrorSuccess) {
        return -1;
    }
    // Any failure ends the list; the names gathered before it stay.
    std::string name;
    for (std::uint32_t index = 0; reg::EnumKey(key.get(), index, name) == reg::kErrorSuccess;
         ++index) {
        Key.push_back(name);
    }
    return static_cast<long>(Key.size());
}

bool clsRegistryAccess::HaveSubkey(std::string_view sPath) const {
    reg::Key key;
    if (OpenKey(sPath, reg::kKeyRead, key) != reg::kErrorSuccess) {
        return false;
    }
    std::string name;
    return reg::EnumKey(key.get(), 0, name) == reg::kErrorSuccess;
}

HandleValue clsRegistryAccess::WriteValue(std::string_view sPath, std::string_view sName,
                                          std::uint32_t type,
                                          std::span<const std::uint8_t> data) const {
    if (!KeyExists(sPath)) {
        if (!createKeyIfMissing_) {
            return 0;
        }
        CreateKey(sPath);
    }
    reg::Key key;
    if (OpenKey(sPath, reg::kKeyWrite, key) != reg::kErrorSuccess ||
        reg::SetValue(key.get(), sName, type, data) != reg::kErrorSuccess) {
        return 0;
    }
    return ValueOf(key);
}

HandleValue clsRegistryAccess::WriteString(std::string_view sPath, std::string_view sName,
                                           std::string_view sValue) const {
    return WriteValue(sPath, sName == "@" ? "" : sName, reg::kRegSz,
                      platform::text::EncodeRegistryString(sValue));
}

HandleValue clsRegistryAccess::WriteDWORD(std::string_view sPath, std::string_view sName,
                                          std::int32_t lValue) const {
    return WriteValue(sPath, sName, reg::kRegDword, DwordBytes(lValue));
}

HandleValue clsRegistryAccess::WriteBinary(std::string_view sPath, std::string_view sName,
                                           std::string_view sValue) const {
    return WriteValue(sPath, sName, reg::kRegBinary, HexToBytes(sValue));
}

std::string clsRegistryAccess::ReadString(std::string_view sPath, std::string_view sName,
                                          std::string_view sDefault) const {
    reg::Key key;
    reg::Value value;
    if (OpenKey(sPath, reg::kKeyRead, key) != reg::kErrorSuccess ||
        reg::QueryValue(key.get(), sName, value) != reg::kErrorSuccess) {
        return std::string(sDefault);
    }
    return TextOf(value);
}

std::int32_t clsRegistryAccess::ReadDWORD(std::string_view sPath, std::string_view sName,
                                          std::int32_t lDefault) const {
    reg::Key key;
    reg::Value value;
    if (OpenKey(sPath, reg::kKeyRead, key) != reg::kErrorSuccess ||
        reg::QueryValue(key.get(), sName, value) != reg::kErrorSuccess) {
        return lDefault;
    }
    return DwordOf(value).value_or(lDefault);
}

std::string clsRegistryAccess::ReadBinary(std::string_view sPath, std::string_view sName,
                                          std::string_view sDefault) const {
    reg::Key key;
    reg::Value value;
    if (OpenKey(sPath, reg::kKeyRead, key) != reg::kErrorSuccess ||
        reg::QueryValue(key.get(), sName, value) != reg::kErrorSuccess) {
        return std::string(sDefault);
    }
    return BytesToTrimmedHex(AnsiBytes(value));
}

HandleValue clsRegistryAccess::KillValue(std::string_view sPath, std::string_view sName) const {
    reg::Key key;
    if (OpenKey(sPath, reg::kKeySetValue, key) != reg::kErrorSuccess) {
        return 0;
    }
    const long result = reg::DeleteValue(key.get(), sName);
    return (result == reg::kErrorSuccess || result == reg::kErrorFileNotFound) ? ValueOf(key) : 0;
}

bool clsRegistryAccess::ValueExists(std::string_view sPath, std::string_view sName) const {
    reg::Key key;
    reg::Value value;
    return OpenKey(sPath, reg::kKeyRead, key) == reg::kErrorSuccess &&
           reg::QueryValue(key.get(), sName, value) == reg::kErrorSuccess;
}

long clsRegistryAccess::ReadAllValues(std::string_view sPath, std::vector<NamedValue>& values) {
    reg::Key key;
    if (OpenKey(sPath, reg::kKeyRead, key) != reg::kErrorSuccess) {
        return -1;
    }
    // Any failure ends the list; the values gathered before it stay.
    NamedValue entry;
    for (std::uint32_t index = 0;
         reg::EnumValue(key.get(), index, entry.name, entry.value) == reg::kErrorSuccess; ++index) {
        values.push_back(entry);
    }
    return static_cast<long>(values.size());
}

long clsRegistryAccess::EnumValues(std::string_view sPath, std::vector<std::string>& sName,
                                   std::vector<EnumeratedValue>& sValue, long OnlyType) const {
    std::vector<NamedValue> values;
    if (ReadAllValues(sPath, values) < 0) {
        return -1;
    }
    sName.clear();
    sValue.clear();
    for (const NamedValue& entry : values) {
        const reg::Value& value = entry.value;
        if (OnlyType != -1 && static_cast<std::uint32_t>(OnlyType) != value.type) {
            continue;
        }
        sName.push_back(entry.name);
        switch (value.type) {
            case reg::kRegBinary:
                sValue.emplace_back(BytesToTrimmedHex(value.data));
                break;
            case reg::kRegDword:
                sValue.emplace_back(DwordOf(value).value_or(0));
                break;
            case reg::kRegSz:
                sValue.emplace_back(TextOf(value));
                break;
            default:
                sValue.emplace_back(std::monostate{});
                break;
        }
    }
    return static_cast<long>(sName.size());
}

std::vector<std::uint8_t> clsRegistryAccess::StrToBin(std::string_view sBin) {
    return HexToBytes(sBin);
}

std::string clsRegistryAccess::BinToStr(std::span<const std::uint8_t> sStr) {
    return BytesToHex(sStr);
}

bool clsRegistryAccess::isBinValid(std::string_view sBin) {
    return IsHexText(sBin);
}

}  // namespace registry
