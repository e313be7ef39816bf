// The registry's predefined root keys by name, for every part of the program: each root's long
// name (HKEY_CURRENT_USER), its short name (HKCU) and its 32-bit value (platform/registry.h),
// the signed decimal text of a value ("-2147483648" for HKEY_CLASSES_ROOT), and which keys are
// the roots of hives. Pure: no platform calls.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace platform::root_keys {

struct RootKeyName {
    std::string_view longName;
    std::string_view shortName;
    std::uint32_t root;
};

// Every root key, in the order its names are compared.
std::span<const RootKeyName> RootKeyNames();

// The root whose long name, short name, or either name is `name`, compared without regard to
// case; nullptr when there is none.
const RootKeyName* FindByLongName(std::string_view name);
const RootKeyName* FindByShortName(std::string_view name);
const RootKeyName* FindByName(std::string_view name);

// True for the value of a predefined root key.
bool IsRootValue(std::uint64_t value);

// A path text cut into the name of its root and the rest: after one optional leading "\", the
// root's name runs to the next "\"; the rest is what follows that backslash ("" when none).
struct RootNameAndRest {
    std::string_view rootName;
    std::string_view rest;
};
RootNameAndRest SplitRootName(std::string_view path);

// A root's value as signed 32-bit decimal text, and back: nullopt for any text other than the
// exact decimal text of a root's value.
std::string DecimalText(std::uint32_t root);
std::optional<std::uint32_t> ParseDecimalText(std::string_view text);

// True when the key `subKey` below `root` is the root of a hive, which the registry cannot
// delete: every key directly below HKEY_USERS (.DEFAULT and each user's) or HKEY_LOCAL_MACHINE
// (SOFTWARE, SYSTEM, HARDWARE, SAM, SECURITY and the others). `subKey` is spelled in any way
// the registry reads as that key: empty names between backslashes do not count.
bool IsHiveRoot(std::uint32_t root, std::string_view subKey);

}  // namespace platform::root_keys
