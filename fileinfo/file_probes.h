// The probes behind CDLLVersion: where the platform's library search finds a file, its
// version text, the system's text for an error code, and type-library lookups in the
// registry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/library_probe.h"

namespace fileinfo {

// The marker that LocateFile leaves in the path of a file it could not locate.
inline constexpr std::string_view kUnableToLocate = "Unable to locate";

// How the library search's load of a file went, when LocateFile could not locate it.
struct LoadAttempt {
    bool failed = false;      // the search tried to load the file and could not
    std::uint32_t error = 0;  // the load's own error code, taken right after it; 0: none
    platform::library_probe::Ending probe;  // how the probe ended, when it gave no answer
};

// Locates `name`: a name ending in "EXE" (any case) only in the current folder (or at the
// path it names); any other name through the platform's library search, which `probe` runs
// in a process of its own (it loads the file, so its start-up code runs there, and frees it
// again) and which gives the module's full path as GetModuleFileName gives it. A name the search
// cannot load goes to the closed library's FINDFILEINPATH, also in the probe, which may
// rewrite `name`; the file then counts as not located. `path` receives the path or "Unable to
// locate"; `lastError` the last-error code of the last platform or closed-library call;
// `attempt`, when given, how the library search's own load failed. Throws
// closed_library::Unavailable when the closed library is needed and cannot be called.
bool LocateFile(std::string& name, std::string& path, std::uint32_t& lastError,
                platform::library_probe::Probe& probe, LoadAttempt* attempt = nullptr);

// The system's message text for `code` without its line end; "" when it has none.
std::string GetErrorText(std::uint32_t code);

// The version text of the file at `path`; "" without a version resource.
std::string GetFileVersionString(std::string_view path);

// A registry value as text: a DWORD as at least three decimal digits, a string without its
// terminator (unexpanded), of any length; "" for a root outside the predefined ones, a
// missing key or value.
std::string ReadRegValue(std::uint32_t root, std::string_view keyPath, std::string_view valueName);

// The subkey of `keyPath` named `wanted` exactly; otherwise the subkey whose name reads as
// the highest number ("." as decimal separator), a tie going to the later one; "" when
// there is none. `rootText` is the root key's value as signed decimal text.
std::string FindRegSubKey(std::string_view rootText, std::string_view keyPath,
                          std::string_view wanted);

// A version name read as a single-precision number with "." as the decimal separator,
// whatever the user's locale; false when the whole text is not a number.
bool ReadVersionNumber(std::string_view text, float& number);

}  // namespace fileinfo
