// Path texts of the registry component: a root key name (long or short form, any letter case,
// after one optional leading backslash; platform/root_keys.h), then optionally a backslash and
// the subkey path, as in HKLM\SOFTWARE\Classes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace registry {

struct KeyPath {
    std::uint32_t root = 0;  // a predefined root key value, 0 for an unknown root name
    std::string subKey;      // "" addresses the root key itself
};

// Splits a path text into its root key and subkey path. Only the text before the first
// backslash names the root: a root name inside the subkey path is an ordinary key name.
// Backslashes at either end of the subkey path are dropped (HKCU\\X\ is HKCU\X).
KeyPath ParseKeyPath(std::string_view path);

// True when the path names a root key as a whole: its subkey path holds nothing but
// backslashes and spaces. Such a key is never deleted.
bool NamesARoot(const KeyPath& path);

// Why the key of the path may not be deleted, before anything is: its root is unknown, it names
// a root key as a whole, or it is the root of a hive (platform/root_keys.h), which the registry
// cannot delete and a tree deletion would only empty. nullopt when it may be deleted.
std::optional<std::string> DeletionRefusal(const KeyPath& path);

// The path with its root name written in the long form (HKCU\X gives HKEY_CURRENT_USER\X);
// a path whose root is unknown comes back unchanged.
std::string LongRootPath(std::string_view path);

}  // namespace registry
