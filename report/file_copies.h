// What the copies of one file along the library search tell a support person: a newer copy
// further along than the one in use, a copy of the other machine in use while one of the
// program's own machine lies further along, and compiler run-time files in use that come from
// different releases. Values in, values out: no platform.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fileinfo/file_record.h"
#include "platform/runtime.h"

namespace report {

// The compiler run-time files among the files of the list, which must come from one release.
inline constexpr std::array<std::string_view, 4> kRuntimeFileNames = {
    "libifcoremd.dll", "libmmd.dll", "libifportmd.dll", "libiomp5md.dll"};

// A file version as the fixed file information holds it.
struct FileVersionNumber {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t build = 0;
    std::uint16_t revision = 0;
    friend auto operator<=>(const FileVersionNumber&, const FileVersionNumber&) = default;
};

// The number of the fixed file information's file version fields.
FileVersionNumber VersionNumberOf(std::uint32_t fileVersionMS, std::uint32_t fileVersionLS);

// One copy of a file in a folder of the library search.
struct FileCopy {
    std::string path;
    std::optional<FileVersionNumber> version;  // nullopt: no version resource
    std::string versionText;                   // "" without a version resource
    fileinfo::MachineKind machine = fileinfo::MachineKind::kUnknown;
    std::optional<std::int64_t> size;
    std::optional<platform::runtime::DateTime> date;
    bool inUse = false;  // the copy the file's row names
    friend bool operator==(const FileCopy&, const FileCopy&) = default;
};

// The notes on a file's copies (in search order) for a program built for `programMachine`,
// none when no copy is in use: the newest copy further along of the machine
// of the copy in use, when it is newer than that copy; the first copy further along of the
// program's machine, when the copy in use is of the other one.
std::vector<std::string> CopyNotes(const std::vector<FileCopy>& copies,
                                   fileinfo::MachineKind programMachine);

// One of the compiler run-time files and its copy in use, if any.
struct RuntimeFileInUse {
    std::string name;
    std::optional<FileCopy> copy;
    friend bool operator==(const RuntimeFileInUse&, const RuntimeFileInUse&) = default;
};

// Whether the run-time files in use that have a version share its major, minor and build.
bool ShareOneRelease(const std::vector<RuntimeFileInUse>& files);

// The note naming each run-time file in use with its version and folder; "" when they share
// one release.
std::string RuntimeReleaseNote(const std::vector<RuntimeFileInUse>& files);

}  // namespace report
