// The facts of one machine that a comparison with a reference machine looks at, and nothing
// else: for each file of the list whether it is located, its copy in use (file name, folder,
// version, size, machine), why it cannot be loaded, its ActiveX registration verdict and the
// number of its copies on the search path; whether the run-time files in use come from one
// release; whether the install folder exists and is on the PATH; the OS version numbers; and
// the machine's known folders, below which paths are compared by their place. Dates are not
// among them: a file copied again is not a different file.
//
// Every fact is optional: nullopt is "not known", as for a fact that a reference made by an
// older version of the program does not hold. A fact that one side does not know is not
// compared.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/known_folders.h"

namespace report {

// Why a file cannot be loaded, as a kind of reason.
enum class LoadFailureKind {
    kNone,         // it was loaded, or no load was tried
    kStartUpCode,  // its start-up code ended the probe, raised an exception or did not finish
    kBrokenLink,   // a DLL that it links to, or a function of one, is missing or unusable
    kSystemError,  // the load failed with the system's error code
};

struct LoadFailure {
    LoadFailureKind kind = LoadFailureKind::kNone;
    std::uint32_t errorCode = 0;  // kSystemError only
    friend bool operator==(const LoadFailure&, const LoadFailure&) = default;
};

// One file of the list. The copy in use is the copy that the file's row describes: the file
// located, or the copy that cannot be loaded (the JSON's `copies` entry with `inUse`).
struct FileFacts {
    std::string name;  // as the list spells it; matched without regard to letter case
    std::optional<bool> located;
    std::optional<std::string> pathInUse;  // the copy in use's full path; "" when none is
    // Of the copy in use, when there is one:
    std::optional<std::string> version;  // "" without a version resource
    std::optional<std::int64_t> size;
    std::optional<std::string> machine;  // "x86", "x64" or "unknown", as MachineText says
    std::optional<LoadFailure> loadFailure;
    // The ActiveX registration verdict as VerdictName says it; "" when the file carries no
    // type library or no file was found.
    std::optional<std::string> registration;
    std::optional<int> copiesOnSearchPath;
    friend bool operator==(const FileFacts&, const FileFacts&) = default;
};

struct OsVersionNumbers {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::uint32_t platformId = 0;
    friend bool operator==(const OsVersionNumbers&, const OsVersionNumbers&) = default;
};

struct ComparableFacts {
    std::vector<FileFacts> files;  // in list order
    std::optional<bool> runtimeReleasesAgree;
    std::optional<bool> installFolderExists;
    std::optional<bool> installFolderOnPath;
    std::optional<OsVersionNumbers> os;
    platform::known_folders::KnownFolders knownFolders;
    friend bool operator==(const ComparableFacts&, const ComparableFacts&) = default;
};

// One thing that differs from the reference. `subject` is a file's name (as the list spells
// it, or as the reference does for a file that is not on the list), or "installFolder",
// "path", "runtimeReleases", "os", or the reference's own member that is not understood;
// `field` names the fact (see reference_comparison.h); `here` and `reference` are the fact's
// value on each machine as the block shows it, paths as each machine spells them.
struct Difference {
    std::string subject;
    std::string field;
    std::string here;
    std::string reference;
    friend bool operator==(const Difference&, const Difference&) = default;
};

}  // namespace report
