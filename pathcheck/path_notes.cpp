#include "pathcheck/path_notes.h"

#include <algorithm>
#include <array>

#include "platform/text.h"

namespace pathcheck {
namespace {

std::string WithoutQuotesAndSurroundingSpaces(std::string text) {
    std::erase(text, '"');
    return std::string(platform::text::TrimSpaces(text));
}

}  // namespace

EntryNotes NotesForEntry(std::string_view piece, const Expansion& folderExpansion) {
    EntryNotes notes;
    if (piece.empty()) {
        return notes;
    }
    if (piece.find('"') != std::string_view::npos) {
        notes.Add(EntryNote::kQuoted);
    }
    if (piece.front() == ' ' || piece.back() == ' ') {
        notes.Add(EntryNote::kSurroundingSpaces);
    }
    if (!folderExpansion.undefinedNames.empty()) {
        notes.Add(EntryNote::kUndefinedVariable);
        notes.undefinedNames = folderExpansion.undefinedNames;
    }
    const std::string bare = WithoutQuotesAndSurroundingSpaces(folderExpansion.text);
    const bool startsWithUndefined =
        notes.Has(EntryNote::kUndefinedVariable) && bare.starts_with('%');
    if (!IsFullPath(bare) && !startsWithUndefined) {
        notes.Add(EntryNote::kRelative);
    }
    return notes;
}

std::vector<std::string> EntryNoteTexts(const EntryNotes& notes) {
    std::vector<std::string> texts;
    if (notes.Has(EntryNote::kQuoted)) {
        texts.emplace_back("Folder is quoted; Windows does not remove the quotes");
    }
    if (notes.Has(EntryNote::kSurroundingSpaces)) {
        texts.emplace_back("Folder has leading or trailing spaces");
    }
    if (notes.Has(EntryNote::kUndefinedVariable)) {
        for (const std::string& name : notes.undefinedNames) {
            texts.push_back("Folder uses an undefined variable: %" + name + "%");
        }
    }
    if (notes.Has(EntryNote::kRelative)) {
        texts.emplace_back("Folder is relative; Windows resolves it against the working folder");
    }
    return texts;
}

std::string RegistryTypeName(std::uint32_t type) {
    static constexpr std::array<std::string_view, 12> kNames{
        "REG_NONE",
        "REG_SZ",
        "REG_EXPAND_SZ",
        "REG_BINARY",
        "REG_DWORD",
        "REG_DWORD_BIG_ENDIAN",
        "REG_LINK",
        "REG_MULTI_SZ",
        "REG_RESOURCE_LIST",
        "REG_FULL_RESOURCE_DESCRIPTOR",
        "REG_RESOURCE_REQUIREMENTS_LIST",
        "REG_QWORD",
    };
    if (type < kNames.size()) {
        return std::string(kNames[type]);
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (std::uint32_t rest = type; rest != 0 || hex.empty(); rest >>= 4) {
        hex.insert(hex.begin(), kDigits[rest & 0xF]);
    }
    return "0x" + hex;
}

std::string SystemPathNoteText(const SystemPathNote& note) {
    switch (note.state) {
        case SystemPathState::kExpandable:
            return "";
        case SystemPathState::kLiteral:
            return note.unexpandedReferences
                       ? "Path value has type " + RegistryTypeName(note.type) +
                             "; Windows does not expand its %NAME% references"
                       : "";
        case SystemPathState::kMissing:
            return "Path value is missing from the registry";
        case SystemPathState::kIgnored:
            return "Path value has type " + RegistryTypeName(note.type) +
                   "; Windows does not use it";
    }
    return "";
}

}  // namespace pathcheck
