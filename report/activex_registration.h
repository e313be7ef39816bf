// Whether each ActiveX control of the list is registered for the copy that the report found:
// the type library and the classes that the copy's own type library names, looked up in this
// program's view of HKEY_CLASSES_ROOT (the view the application itself reads), with one verdict
// per file. The block "ActiveX registration" that lists them is in report_blocks.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/type_library.h"

namespace report {

inline constexpr std::string_view kActiveXHeading = "ActiveX registration";

// The first that applies: the type library and every class name this copy; nothing has an
// entry; an entry names a file that does not exist; an entry names another file; anything else.
enum class RegistrationVerdict { kRegistered, kNotRegistered, kMissingCopy, kOtherCopy, kPartly };

// What one registry entry (a key's default value) names.
enum class EntryTarget { kNoEntry, kThisCopy, kMissingFile, kOtherFile };

struct RegistrationEntry {
    std::optional<std::string> registeredPath;  // the value as stored; nullopt: no entry
    std::string namedPath;  // the file it names: unquoted, references expanded ("" for none)
    EntryTarget target = EntryTarget::kNoEntry;
    friend bool operator==(const RegistrationEntry&, const RegistrationEntry&) = default;
};

struct ClassRegistration {
    std::string id;
    std::string name;
    RegistrationEntry entry;
    friend bool operator==(const ClassRegistration&, const ClassRegistration&) = default;
};

struct ControlRegistration {
    RegistrationVerdict verdict = RegistrationVerdict::kNotRegistered;
    std::string shownPath;  // kMissingCopy, kOtherCopy: the path of the first such entry
    std::string libraryId;
    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
    std::uint32_t locale = 0;
    RegistrationEntry typeLibrary;
    std::vector<ClassRegistration> classes;  // the creatable classes, in the library's order
    friend bool operator==(const ControlRegistration&, const ControlRegistration&) = default;
};

// --- Pure parts.

// Sets the verdict (and the path it shows) from the entries.
void ChooseVerdict(ControlRegistration& registration);
// The block's line for the file, named as the list spells it.
std::string RegistrationLine(std::string_view fileName, const ControlRegistration& registration);
// "registered", "notRegistered", "missingCopy", "otherCopy" or "partly".
std::string_view VerdictName(RegistrationVerdict verdict);

// --- Through the platform.

// The registration of the copy at `copyPath`, whose type library is `library`.
ControlRegistration CheckRegistration(const platform::type_library::TypeLibraryInfo& library,
                                      std::string_view copyPath);

}  // namespace report
