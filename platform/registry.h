// The registry (advapi32). Keys and value names are UTF-8 text; value data is given and
// returned as the platform stores it (string types as UTF-16LE with their terminating NUL).
// Every function returns the platform's error code: 0 on success.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/handle.h"

namespace platform::registry {

using RawKey = std::uintptr_t;

struct KeyTraits {
    using pointer = RawKey;
    static constexpr RawKey invalid() noexcept { return 0; }
    static void close(RawKey key) noexcept;
};
// An opened registry key, closed when its owner goes.
using Key = UniqueHandle<KeyTraits>;

// Predefined root keys, by the 32-bit values the program's path texts select.
inline constexpr std::uint32_t kClassesRoot = 0x80000000u;
inline constexpr std::uint32_t kCurrentUser = 0x80000001u;
inline constexpr std::uint32_t kLocalMachine = 0x80000002u;
inline constexpr std::uint32_t kUsers = 0x80000003u;
inline constexpr std::uint32_t kPerformanceData = 0x80000004u;
inline constexpr std::uint32_t kCurrentConfig = 0x80000005u;
inline constexpr std::uint32_t kDynData = 0x80000006u;

// Access masks.
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWrite = 0x20006;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;
inline constexpr std::uint32_t kMaximumAllowed = 0x02000000;

// Value types.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegDwordBigEndian = 5;
inline constexpr std::uint32_t kRegLink = 6;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

// Error codes the callers look at.
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorNoMoreItems = 259;

// The handle of a predefined root key (one of the values above), 0 for any other value. The
// platform hands a predefined root back as this same value (opening "" below a root gives the
// root itself), and a Key never closes it.
RawKey PredefinedKey(std::uint32_t root) noexcept;

// Opens `subkey` below `parent` ("" opens `parent` itself: a new handle, or the root's own
// value for a predefined root).
long OpenKey(RawKey parent, std::string_view subkey, std::uint32_t access, Key& key);
// Creates `subkey` below `parent` with every missing level, or opens it when it exists.
long CreateKey(RawKey parent, std::string_view subkey, Key& key);
// Deletes `subkey` below `parent`; fails for a key that has subkeys.
long DeleteKey(RawKey parent, std::string_view subkey);
// Deletes `subkey` below `parent` together with everything below it. A subkey that names no
// key below `parent` ("", or only backslashes) fails: the key itself is never emptied.
long DeleteTree(RawKey parent, std::string_view subkey);

struct Value {
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> data;

    friend bool operator==(const Value&, const Value&) = default;
};

// Reads a value of any size ("" names the default value).
long QueryValue(RawKey key, std::string_view name, Value& value);
long SetValue(RawKey key, std::string_view name, std::uint32_t type,
              std::span<const std::uint8_t> data);
long DeleteValue(RawKey key, std::string_view name);

// Makes the predefined root `root` stand for the key `replacement` in this process only
// (0 puts the root back): writes and reads through the root then reach that key.
long OverridePredefinedKey(std::uint32_t root, RawKey replacement);

// The subkey or value at `index`, in the platform's order; kErrorNoMoreItems past the last.
long EnumKey(RawKey key, std::uint32_t index, std::string& name);
long EnumValue(RawKey key, std::uint32_t index, std::string& name, Value& value);

// Which registry this is: a disposable one (the simulated machine, or a Wine prefix) or a real
// Windows machine's, where tests keep to their own keys.
enum class Host { kSimulation, kWine, kWindows };
Host RegistryHost();

}  // namespace platform::registry
