// PATH texts as Windows reads them, without the platform: splitting a PATH list, expanding
// %NAME% references, and the folder a piece names once the file system has normalised it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pathcheck {

// The value of an environment variable, nullopt when it is not set ("" is a value).
using EnvironmentLookup = std::function<std::optional<std::string>(std::string_view)>;

// The pieces of a PATH list split at every ";", empty ones included ("" gives one piece).
std::vector<std::string> SplitPathList(std::string_view list);
// The folder text with "\" appended when it does not end with one.
std::string WithTrailingBackslash(std::string folder);

struct Expansion {
    std::string text;
    // The names of the references that stayed as written because the variable is not set,
    // each once, in the order they first occur.
    std::vector<std::string> undefinedNames;
    friend bool operator==(const Expansion&, const Expansion&) = default;
};

// The text with its %NAME% references expanded as the platform expands them: a set variable
// gives its value, inserted as it stands; a reference to a variable that is not set stays as
// written, both "%" included, and the text goes on after it; "%%" (the empty name, which no
// variable has) stays "%%"; a "%" without a closing one is kept with the rest of the text.
// When the lookup throws, the text is the part not yet processed.
Expansion ExpandAsPlatform(std::string_view text, const EnvironmentLookup& lookup);
// The expanded text alone.
std::string ExpandReferences(std::string_view text, const EnvironmentLookup& lookup);

// The folder as the file system resolves it, letter case kept: "/" read as "\", runs of "\"
// as one (the "\\" of a network name kept), "." segments dropped and ".." segments taking
// away the one before (never the root), ending with one "\". "\\?\" names are taken as
// written. Quotes and spaces are kept: the file system does not remove them.
std::string NormalizedFolder(std::string_view folder);
// The normalised folder with ASCII letters upper-cased: two PATH entries name the same
// folder when their keys are equal.
std::string FolderKey(std::string_view folder);

// Whether the text names a folder from a root of its own: a drive and "\" (or "/"), or a
// network name "\\". Anything else is taken from the working folder (or its drive).
bool IsFullPath(std::string_view folder);

}  // namespace pathcheck
