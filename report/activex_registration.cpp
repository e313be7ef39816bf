#include "report/activex_registration.h"

#include <algorithm>
#include <cstdio>

#include "platform/dll_search.h"
#include "platform/kernel32.h"
#include "platform/pe_image.h"
#include "platform/registry.h"
#include "platform/runtime.h"
#include "platform/scripting.h"
#include "platform/text.h"
#include "report/report_blocks.h"

namespace report {
namespace {

namespace reg = platform::registry;

std::string Hex(std::uint32_t number) {
    char text[12];
    std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(number));
    return text;
}

bool IsBareName(std::string_view path) {
    return path.find_first_of("\\/:") == std::string_view::npos;
}

bool IsFile(const std::string& path) {
    return platform::scripting::FileSystemObject{}.FileExists(path);
}

// The path through which two names of one file compare equal: full, with long names.
std::string ComparablePath(const std::string& path) {
    return platform::kernel32::LongPathName(path).value_or(path);
}

// The text without blanks around it and without a pair of double quotes around the rest.
std::string WithoutSurroundingQuotes(std::string_view path) {
    path = platform::text::TrimSpaces(path);
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
        path = path.substr(1, path.size() - 2);
    }
    return std::string(path);
}

// A type library's path may name its resource after the file ("...\MSVBVM60.DLL\3"): the path
// without that index, or nullopt when it ends in none.
std::optional<std::string> WithoutResourceIndex(std::string_view path) {
    const auto cut = path.find_last_of('\\');
    if (cut == std::string_view::npos || cut == 0 || cut + 1 == path.size() ||
        path.find_first_not_of("0123456789", cut + 1) != std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(path.substr(0, cut));
}

// "TypeLib\{id}\<major>.<minor>\<locale>\win32" (all in hex; "win64" for an x64 process).
std::string TypeLibraryKeyPath(const platform::type_library::TypeLibraryInfo& library,
                               std::uint16_t processMachine) {
    return "TypeLib\\" + library.id + "\\" + Hex(library.majorVersion) + "." +
           Hex(library.minorVersion) + "\\" + Hex(library.locale) +
           (processMachine == platform::pe::kMachineAmd64 ? "\\win64" : "\\win32");
}

// "CLSID\{id}\InprocServer32".
std::string ClassKeyPath(std::string_view classId) {
    return "CLSID\\" + std::string(classId) + "\\InprocServer32";
}

// The default value of a key, when it is a text that names something.
std::optional<std::pair<std::uint32_t, std::string>> DefaultText(const std::string& keyPath) {
    reg::Key key;
    if (reg::OpenKey(reg::PredefinedKey(reg::kClassesRoot), keyPath, reg::kKeyRead, key) != 0) {
        return std::nullopt;
    }
    reg::Value value;
    if (reg::QueryValue(key.get(), "", value) != 0 ||
        (value.type != reg::kRegSz && value.type != reg::kRegExpandSz)) {
        return std::nullopt;
    }
    std::string text = platform::text::DecodeRegistryString(value.data);
    if (WithoutSurroundingQuotes(text).empty()) {
        return std::nullopt;
    }
    return std::pair{value.type, std::move(text)};
}

// The file that a registered path names: quotes removed, references expanded, a bare name
// found as the library search finds it, and for a type library a resource index dropped.
std::string NamedFile(std::uint32_t type, const std::string& stored, bool typeLibrary) {
    std::string named = WithoutSurroundingQuotes(
        type == reg::kRegExpandSz ? platform::runtime::ExpandEnviron(stored) : stored);
    if (IsBareName(named)) {
        if (auto found = platform::FindDllOnSearchPath(named)) {
            named = std::move(*found);
        }
    }
    if (typeLibrary && !IsFile(named)) {
        if (auto file = WithoutResourceIndex(named); file && IsFile(*file)) {
            named = std::move(*file);
        }
    }
    return named;
}

RegistrationEntry LookUp(const std::string& keyPath, const std::string& copy, bool typeLibrary) {
    RegistrationEntry entry;
    const auto stored = DefaultText(keyPath);
    if (!stored) {
        return entry;
    }
    entry.registeredPath = stored->second;
    entry.namedPath = NamedFile(stored->first, stored->second, typeLibrary);
    if (!IsFile(entry.namedPath)) {
        entry.target = EntryTarget::kMissingFile;
    } else if (platform::text::EqualsIgnoringCase(ComparablePath(entry.namedPath), copy)) {
        entry.target = EntryTarget::kThisCopy;
    } else {
        entry.target = EntryTarget::kOtherFile;
    }
    return entry;
}

}  // namespace

void ChooseVerdict(ControlRegistration& registration) {
    std::vector<const RegistrationEntry*> entries = {&registration.typeLibrary};
    for (const ClassRegistration& coclass : registration.classes) {
        entries.push_back(&coclass.entry);
    }
    const auto all = [&entries](EntryTarget target) {
        return std::all_of(entries.begin(), entries.end(),
                           [target](const RegistrationEntry* e) { return e->target == target; });
    };
    const auto first = [&entries](EntryTarget target) {
        return std::find_if(entries.begin(), entries.end(),
                            [target](const RegistrationEntry* e) { return e->target == target; });
    };
    registration.shownPath.clear();
    if (all(EntryTarget::kThisCopy)) {
        registration.verdict = RegistrationVerdict::kRegistered;
    } else if (all(EntryTarget::kNoEntry)) {
        registration.verdict = RegistrationVerdict::kNotRegistered;
    } else if (const auto missing = first(EntryTarget::kMissingFile); missing != entries.end()) {
        registration.verdict = RegistrationVerdict::kMissingCopy;
        registration.shownPath = (*missing)->namedPath;
    } else if (const auto other = first(EntryTarget::kOtherFile); other != entries.end()) {
        registration.verdict = RegistrationVerdict::kOtherCopy;
        registration.shownPath = (*other)->namedPath;
    } else {
        registration.verdict = RegistrationVerdict::kPartly;
    }
}

std::string RegistrationLine(std::string_view fileName, const ControlRegistration& registration) {
    std::string line = std::string(fileName) + ": ";
    switch (registration.verdict) {
        case RegistrationVerdict::kRegistered:
            return line + "registered";
        case RegistrationVerdict::kNotRegistered:
            return line + "not registered";
        case RegistrationVerdict::kMissingCopy:
            return line + "registered to a copy that is missing: " + registration.shownPath;
        case RegistrationVerdict::kOtherCopy:
            return line + "registered to another copy: " + registration.shownPath;
        case RegistrationVerdict::kPartly:
            break;
    }
    const auto classes = registration.classes.size();
    const auto here = std::count_if(
        registration.classes.begin(), registration.classes.end(),
        [](const ClassRegistration& c) { return c.entry.target == EntryTarget::kThisCopy; });
    line += "partly registered: " + std::to_string(here) + " of " + std::to_string(classes) +
            (classes == 1 ? " class" : " classes");
    if (registration.typeLibrary.target == EntryTarget::kNoEntry) {
        line += ", type library not registered";
    }
    return line;
}

std::string_view VerdictName(RegistrationVerdict verdict) {
    switch (verdict) {
        case RegistrationVerdict::kRegistered:
            return "registered";
        case RegistrationVerdict::kNotRegistered:
            return "notRegistered";
        case RegistrationVerdict::kMissingCopy:
            return "missingCopy";
        case RegistrationVerdict::kOtherCopy:
            return "otherCopy";
        case RegistrationVerdict::kPartly:
            break;
    }
    return "partly";
}

ControlRegistration CheckRegistration(const platform::type_library::TypeLibraryInfo& library,
                                      std::string_view copyPath) {
    const std::string copy = ComparablePath(std::string(copyPath));
    ControlRegistration registration;
    registration.libraryId = library.id;
    registration.majorVersion = library.majorVersion;
    registration.minorVersion = library.minorVersion;
    registration.locale = library.locale;
    registration.typeLibrary =
        LookUp(TypeLibraryKeyPath(library, platform::kernel32::ProcessMachine()), copy, true);
    for (const platform::type_library::CoClass& coclass : library.classes) {
        if (coclass.creatable) {
            registration.classes.push_back(
                {coclass.id, coclass.name, LookUp(ClassKeyPath(coclass.id), copy, false)});
        }
    }
    ChooseVerdict(registration);
    return registration;
}

void CollectRegistrations(ReportFacts& facts, const BlockInputs& inputs) {
    for (FileRowRecord& row : facts.files) {
        if (row.loadInfoFailed || row.filePath.empty()) {
            continue;
        }
        const fileinfo::FileRecord& record = inputs.locator.Records().Of(row.filePath);
        if (record.typeLibrary) {
            row.registration = CheckRegistration(*record.typeLibrary, row.filePath);
        }
    }
}

std::string ActiveXBlockText(const ReportFacts& facts) {
    std::string lines;
    for (const FileRowRecord& row : facts.files) {
        if (row.registration) {
            lines += RegistrationLine(row.name, *row.registration) + '\r';
        }
    }
    if (lines.empty()) {
        return "";
    }
    // Laid out as the PATH block is: the heading, an empty line, the lines, an empty line.
    return std::string(kActiveXHeading) + "\r\r" + lines + "\r";
}

}  // namespace report
