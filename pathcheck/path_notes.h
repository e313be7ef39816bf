// Notes on PATH entries that Windows cannot use as written, and on the machine-wide Path
// value itself. Each note is a field of its own (a flag, with the names it concerns), so that
// every writer of the report can carry it; the text lines are made from them here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pathcheck/path_text.h"

namespace pathcheck {

// What is wrong with an entry as written, one flag each.
enum class EntryNote : std::uint8_t {
    kQuoted = 1u << 0,             // holds a '"': Windows does not remove quotes
    kSurroundingSpaces = 1u << 1,  // begins or ends with a space
    kUndefinedVariable = 1u << 2,  // a %NAME% reference stayed as written
    kRelative = 1u << 3,           // not a full path: taken from the working folder
};

struct EntryNotes {
    std::uint8_t flags = 0;
    // With kUndefinedVariable: the names of the references kept as written.
    std::vector<std::string> undefinedNames;

    [[nodiscard]] bool Has(EntryNote note) const {
        return (flags & static_cast<std::uint8_t>(note)) != 0;
    }
    void Add(EntryNote note) { flags |= static_cast<std::uint8_t>(note); }
    friend bool operator==(const EntryNotes&, const EntryNotes&) = default;
};

// The notes for one PATH piece, given as written (without the "\" the table appends), and
// the expansion of its folder text. An empty piece gets none. An entry is relative when its
// expanded text, without quotes and surrounding spaces, is not a full path, unless it starts
// with an undefined reference (that note says why).
EntryNotes NotesForEntry(std::string_view piece, const Expansion& folderExpansion);

// The note lines of an entry, in the order of the flags, one per undefined variable (no TAB,
// no CR).
std::vector<std::string> EntryNoteTexts(const EntryNotes& notes);

// How the machine-wide Path value was read, which decides what Windows makes of it.
enum class SystemPathState : std::uint8_t {
    kExpandable,  // REG_EXPAND_SZ: used with its references expanded
    kLiteral,     // REG_SZ: used as stored, references left as written
    kMissing,     // no such key or value: no machine-wide folders
    kIgnored,     // any other type: Windows does not use it
};

struct SystemPathNote {
    SystemPathState state = SystemPathState::kExpandable;
    std::uint32_t type = 2;  // the registry type read (REG_EXPAND_SZ when not read)
    // kLiteral: the value holds references that Windows would have expanded as
    // REG_EXPAND_SZ.
    bool unexpandedReferences = false;
    friend bool operator==(const SystemPathNote&, const SystemPathNote&) = default;
};

// The registry's name of a value type ("REG_MULTI_SZ"), or its number in hex ("0x1F") for a
// type that has no name.
std::string RegistryTypeName(std::uint32_t type);

// The note line of the system section, "" when there is nothing to say.
std::string SystemPathNoteText(const SystemPathNote& note);

}  // namespace pathcheck
