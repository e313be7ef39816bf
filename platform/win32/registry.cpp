// The registry through the wide advapi32 functions. Names cross as UTF-16; value data is
// passed as the wide functions store it.
#include <windows.h>

#include <algorithm>
#include <array>
#include <span>

#include "platform/registry.h"
#include "platform/root_keys.h"
#include "platform/text.h"

namespace platform::registry {
namespace {

bool IsPredefined(RawKey key) {
    return root_keys::IsRootValue(key);
}

// A predefined root is the sign-extended 32-bit value (0x80000001 is 0xFFFFFFFF80000001 on
// x64); any other key is the handle the platform returned.
HKEY ToHkey(RawKey key) {
    if (IsPredefined(key)) {
        const auto value = static_cast<LONG>(static_cast<std::uint32_t>(key));
        return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(value));
    }
    return reinterpret_cast<HKEY>(key);
}

// A predefined root comes back from the platform as its sign-extended value on x64 (opening ""
// below a root returns the root itself): it is given its 32-bit value again, so that it is
// recognised as a root, and never closed.
RawKey FromHkey(HKEY key) {
    const auto value = reinterpret_cast<RawKey>(key);
    const auto low = static_cast<std::uint32_t>(value);
    if (IsPredefined(low) && reinterpret_cast<LONG_PTR>(key) == static_cast<LONG>(low)) {
        return low;
    }
    return value;
}

// True for a subkey path of nothing but backslashes, which names the parent itself.
bool NamesNoSubkey(std::string_view subkey) {
    return subkey.find_first_not_of('\\') == std::string_view::npos;
}

std::wstring Wide(std::string_view utf8) {
    // Names are mostly ASCII, which converts byte for unit.
    if (std::all_of(utf8.begin(), utf8.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return std::wstring(utf8.begin(), utf8.end());
    }
    const std::u16string units = text::Utf8ToUtf16(utf8);
    return {units.begin(), units.end()};
}

std::string Utf8(const wchar_t* chars, std::size_t count) {
    if (std::all_of(chars, chars + count, [](wchar_t c) { return c < 0x80; })) {
        return std::string(chars, chars + count);  // ASCII, unit for byte
    }
    return text::Utf16ToUtf8(std::u16string(chars, chars + count));
}

// Data pointer for RegSetValueExW: never null, even for empty data.
const BYTE* DataPointer(std::span<const std::uint8_t> data) {
    static constexpr BYTE kNoData = 0;
    return data.empty() ? &kNoData : data.data();
}

}  // namespace

void KeyTraits::close(RawKey key) noexcept {
    if (!IsPredefined(key)) {
        RegCloseKey(ToHkey(key));
    }
}

RawKey PredefinedKey(std::uint32_t root) noexcept {
    return IsPredefined(root) ? RawKey{root} : 0;
}

long OpenKey(RawKey parent, std::string_view subkey, std::uint32_t access, Key& key) {
    if (parent == 0) {
        return kErrorInvalidHandle;
    }
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExW(ToHkey(parent), Wide(subkey).c_str(), 0, access, &opened);
    if (result == ERROR_SUCCESS) {
        key.reset(FromHkey(opened));
    }
    return result;
}

long CreateKey(RawKey parent, std::string_view subkey, Key& key) {
    if (parent == 0) {
        return kErrorInvalidHandle;
    }
    HKEY created = nullptr;
    const LONG result =
        RegCreateKeyExW(ToHkey(parent), Wide(subkey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        MAXIMUM_ALLOWED, nullptr, &created, nullptr);
    if (result == ERROR_SUCCESS) {
        key.reset(FromHkey(created));
    }
    return result;
}

long DeleteKey(RawKey parent, std::string_view subkey) {
    if (parent == 0) {
        return kErrorInvalidHandle;
    }
    if (NamesNoSubkey(subkey) && IsPredefined(parent)) {
        return kErrorAccessDenied;  // a root key is never deleted
    }
    return RegDeleteKeyW(ToHkey(parent), Wide(subkey).c_str());
}

long DeleteTree(RawKey parent, std::string_view subkey) {
    if (parent == 0) {
        return kErrorInvalidHandle;
    }
    // An empty subkey (or one of backslashes only) would make RegDeleteTreeW empty the key
    // the handle names, a whole root for a predefined one.
    if (NamesNoSubkey(subkey)) {
        return kErrorFileNotFound;
    }
    return RegDeleteTreeW(ToHkey(parent), Wide(subkey).c_str());
}

long QueryValue(RawKey key, std::string_view name, Value& value) {
    const std::wstring wideName = Wide(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG result = RegQueryValueExW(ToHkey(key), wideName.c_str(), nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    // The value may grow between the calls; ask again until the buffer holds it.
    std::vector<std::uint8_t> data(std::max<DWORD>(size, 1));
    while (true) {
        size = static_cast<DWORD>(data.size());
        result =
            RegQueryValueExW(ToHkey(key), wideName.c_str(), nullptr, &type, data.data(), &size);
        if (result != ERROR_MORE_DATA) {
            break;
        }
        data.resize(std::max<std::size_t>(size, data.size() * 2));
    }
    if (result != ERROR_SUCCESS) {
        return result;
    }
    data.resize(size);
    value = Value{type, std::move(data)};
    return ERROR_SUCCESS;
}

// True for string data that does not end with a NUL character.
bool LacksTerminator(std::uint32_t type, std::span<const std::uint8_t> data) {
    const bool stringType = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
    return stringType && !data.empty() &&
           (data.size() % 2 != 0 || data[data.size() - 1] != 0 || data[data.size() - 2] != 0);
}

long SetValue(RawKey key, std::string_view name, std::uint32_t type,
              std::span<const std::uint8_t> data) {
    // For string data without a terminating NUL the platform looks at the character after the
    // data and counts it in when it is a NUL ("the caller forgot it"). The data is stored as
    // given only when that character is not a NUL: a copy provides one that is not.
    if (LacksTerminator(type, data)) {
        std::vector<std::uint8_t> padded(data.begin(), data.end());
        padded.insert(padded.end(), {0xFF, 0xFF, 0xFF});
        return RegSetValueExW(ToHkey(key), Wide(name).c_str(), 0, type, padded.data(),
                              static_cast<DWORD>(data.size()));
    }
    return RegSetValueExW(ToHkey(key), Wide(name).c_str(), 0, type, DataPointer(data),
                          static_cast<DWORD>(data.size()));
}

long DeleteValue(RawKey key, std::string_view name) {
    return RegDeleteValueW(ToHkey(key), Wide(name).c_str());
}

long EnumKey(RawKey key, std::uint32_t index, std::string& name) {
    // Key names are at most 255 characters.
    std::vector<wchar_t> buffer(256);
    while (true) {
        auto chars = static_cast<DWORD>(buffer.size());
        const LONG result = RegEnumKeyExW(ToHkey(key), index, buffer.data(), &chars, nullptr,
                                          nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (result == ERROR_SUCCESS) {
            name = Utf8(buffer.data(), chars);
        }
        return result;
    }
}

long EnumValue(RawKey key, std::uint32_t index, std::string& name, Value& value) {
    // First into buffers on the stack, sized for the common case; a value that does not fit
    // is read again into buffers grown to fit.
    std::array<wchar_t, 256> stackName;
    std::array<std::uint8_t, 512> stackData;
    std::vector<wchar_t> nameBuffer;
    std::vector<std::uint8_t> data;
    std::span<wchar_t> names = stackName;
    std::span<std::uint8_t> bytes = stackData;
    while (true) {
        auto chars = static_cast<DWORD>(names.size());
        auto size = static_cast<DWORD>(bytes.size());
        DWORD type = REG_NONE;
        const LONG result = RegEnumValueW(ToHkey(key), index, names.data(), &chars, nullptr, &type,
                                          bytes.data(), &size);
        if (result == ERROR_MORE_DATA) {
            // Either buffer may be the short one: grow both.
            nameBuffer.resize(names.size() * 2);
            data.resize(std::max<std::size_t>(size, bytes.size() * 2));
            names = nameBuffer;
            bytes = data;
            continue;
        }
        if (result == ERROR_SUCCESS) {
            name = Utf8(names.data(), chars);
            value = Value{type, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + size)};
        }
        return result;
    }
}

long OverridePredefinedKey(std::uint32_t root, RawKey replacement) {
    if (!IsPredefined(root) || IsPredefined(replacement)) {
        return kErrorInvalidHandle;
    }
    return RegOverridePredefKey(ToHkey(root), replacement == 0 ? nullptr : ToHkey(replacement));
}

Host RegistryHost() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr
               ? Host::kWine
               : Host::kWindows;
}

}  // namespace platform::registry
