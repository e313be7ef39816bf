// Type libraries (oleaut32): what the type library that a file carries says of itself and of
// its classes. The file is read as data, never loaded as a module, so none of its code runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::type_library {

// The platform a type library was made for (its SYSKIND).
inline constexpr std::uint32_t kPlatformWin16 = 0;
inline constexpr std::uint32_t kPlatformWin32 = 1;
inline constexpr std::uint32_t kPlatformMac = 2;
inline constexpr std::uint32_t kPlatformWin64 = 3;

// A class (coclass) of a type library.
struct CoClass {
    std::string id;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case
    std::string name;
    // False for a class marked noncreatable: no one creates it through the registry, so it has
    // no registration of its own.
    bool creatable = true;
    friend bool operator==(const CoClass&, const CoClass&) = default;
};

struct TypeLibraryInfo {
    std::string id;  // the library identifier, spelled as CoClass::id
    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
    std::uint32_t locale = 0;  // its LCID
    std::uint32_t platform = kPlatformWin32;
    std::vector<CoClass> classes;  // in the library's order
    friend bool operator==(const TypeLibraryInfo&, const TypeLibraryInfo&) = default;
};

// A file's type library, or the reason why there is none.
struct Reading {
    std::optional<TypeLibraryInfo> library;
    std::string reason;  // "" when there is a library
};

// Reads the first type library (resource TYPELIB 1) of the image at `path`, as data. The
// simulated machine gives the type library that the simulated file carries.
Reading ReadTypeLibrary(std::string_view path);

}  // namespace platform::type_library
