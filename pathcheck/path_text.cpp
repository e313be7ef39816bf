#include "pathcheck/path_text.h"

#include <algorithm>
#include <exception>

#include "platform/text.h"

namespace pathcheck {
namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool StartsWithDrive(std::string_view path) {
    return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':';
}

// A path written with "\" only, split into its root and the rest. The root is "X:\", "X:" (the
// drive's working folder), "\" (the working drive's root), "" (the working folder), or for a
// network name "\\" with the server and share after it, each followed by one "\" however
// many separate them.
struct RootAndRest {
    std::string root;
    std::string_view rest;
};

RootAndRest SplitRoot(std::string_view path) {
    if (StartsWithDrive(path)) {
        const std::size_t length = path.size() >= 3 && path[2] == '\\' ? 3 : 2;
        return {std::string(path.substr(0, length)), path.substr(length)};
    }
    if (path.starts_with("\\\\")) {
        std::string root = "\\\\";
        std::string_view rest = path.substr(2);
        for (int part = 0; part < 2; ++part) {
            rest.remove_prefix(std::min(rest.find_first_not_of('\\'), rest.size()));
            if (rest.empty()) {
                break;
            }
            const std::size_t end = std::min(rest.find('\\'), rest.size());
            root.append(rest.substr(0, end)).append(1, '\\');
            rest.remove_prefix(end);
        }
        return {std::move(root), rest};
    }
    if (path.starts_with('\\')) {
        return {"\\", path.substr(1)};
    }
    return {"", path};
}

// The segments after the root, "." dropped and ".." resolved. A ".." that has nothing before
// it stays when the root is only a starting point (a relative text or "X:"), and goes when it
// would climb above a real root.
std::vector<std::string_view> ResolvedSegments(std::string_view rest, bool climbsAboveStart) {
    std::vector<std::string_view> segments;
    std::size_t start = 0;
    while (start <= rest.size()) {
        const std::size_t end = std::min(rest.find('\\', start), rest.size());
        const std::string_view segment = rest.substr(start, end - start);
        start = end + 1;
        if (segment.empty() || segment == ".") {
            continue;
        }
        if (segment != "..") {
            segments.push_back(segment);
        } else if (!segments.empty() && segments.back() != "..") {
            segments.pop_back();
        } else if (climbsAboveStart) {
            segments.push_back(segment);
        }
    }
    return segments;
}

void NoteUndefinedName(std::vector<std::string>& names, std::string_view name) {
    const bool seen = std::any_of(names.begin(), names.end(), [name](const std::string& known) {
        return platform::text::EqualsIgnoringCase(known, name);
    });
    if (!seen) {
        names.emplace_back(name);
    }
}

}  // namespace

std::vector<std::string> SplitPathList(std::string_view list) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t cut = list.find(';'); cut != std::string_view::npos;
         cut = list.find(';', start)) {
        pieces.emplace_back(list.substr(start, cut - start));
        start = cut + 1;
    }
    pieces.emplace_back(list.substr(start));
    return pieces;
}

std::string WithTrailingBackslash(std::string folder) {
    if (!folder.ends_with('\\')) {
        folder += '\\';
    }
    return folder;
}

Expansion ExpandAsPlatform(std::string_view text, const EnvironmentLookup& lookup) {
    std::string_view remaining = text;
    try {
        Expansion expansion;
        for (auto open = remaining.find('%'); open != std::string_view::npos;
             open = remaining.find('%')) {
            expansion.text += remaining.substr(0, open);
            remaining.remove_prefix(open);
            const auto close = remaining.find('%', 1);
            if (close == std::string_view::npos) {
                break;  // plain text from this "%" to the end
            }
            const std::string_view reference = remaining.substr(0, close + 1);
            const std::string_view name = reference.substr(1, reference.size() - 2);
            remaining.remove_prefix(reference.size());
            const std::optional<std::string> value = name.empty() ? std::nullopt : lookup(name);
            if (value) {
                expansion.text += *value;
                continue;
            }
            expansion.text += reference;
            if (!name.empty()) {
                NoteUndefinedName(expansion.undefinedNames, name);
            }
        }
        expansion.text += remaining;
        return expansion;
    } catch (const std::exception&) {
        return Expansion{std::string(remaining), {}};
    }
}

std::string ExpandReferences(std::string_view text, const EnvironmentLookup& lookup) {
    return ExpandAsPlatform(text, lookup).text;
}

std::string NormalizedFolder(std::string_view folder) {
    if (folder.starts_with("\\\\?\\")) {
        return WithTrailingBackslash(std::string(folder));
    }
    std::string path(folder);
    std::replace(path.begin(), path.end(), '/', '\\');
    const auto [root, rest] = SplitRoot(path);
    const bool startingPoint = root.empty() || (root.size() == 2 && root[1] == ':');
    std::string result = root;
    for (const std::string_view segment : ResolvedSegments(rest, startingPoint)) {
        result.append(segment).append(1, '\\');
    }
    if (result.size() == root.size() && startingPoint) {
        result += ".";  // the working folder itself ("X:" alone is not the drive's root)
    }
    return WithTrailingBackslash(std::move(result));
}

std::string FolderKey(std::string_view folder) {
    return platform::text::AsciiUpper(NormalizedFolder(folder));
}

bool IsFullPath(std::string_view folder) {
    if (StartsWithDrive(folder)) {
        return folder.size() >= 3 && IsSeparator(folder[2]);
    }
    return folder.size() >= 2 && IsSeparator(folder[0]) && IsSeparator(folder[1]);
}

}  // namespace pathcheck
