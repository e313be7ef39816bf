// The program's command line. Without arguments it opens the report window. For unattended
// runs on many machines it writes the report without any window or message box:
//   /report FILE   the report text (UTF-8, CR LF line ends)
//   /json FILE     the JSON report (schemas/report.schema.json)
//   /timeout SECONDS   how long a file's start-up code may take (1 to 600; 10 by default)
//   /compare FILE  compares the machine with a JSON report made earlier on one where the
//                  application works, in a window run or with /report and /json
//   /?             the usage
// FILE "-" is the standard output that the parent process passed. Options are read without
// regard to letter case, with "/" or "-" in front. "/library-probe" (platform/library_probe.h)
// is the program's own: it starts itself so, and the argument takes no other.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/library_probe.h"

namespace report {

inline constexpr std::string_view kStandardOutputName = "-";

// Exit codes of an unattended run.
inline constexpr int kExitAllInPlace = 0;  // every file located, install folder on the PATH
inline constexpr int kExitSomethingMissing = 1;
inline constexpr int kExitUsageOrOutput = 2;  // a usage error, or an output that cannot be written

// The longest time a file's start-up code may be given, in seconds.
inline constexpr int kLongestTimeoutSeconds = 600;

struct CommandLine {
    enum class Mode { kWindow, kUnattended, kUsage, kError, kLibraryProbe };
    Mode mode = Mode::kWindow;
    std::optional<std::string> reportFile;                               // /report
    std::optional<std::string> jsonFile;                                 // /json
    std::optional<std::string> referenceFile;                            // /compare
    int timeoutSeconds = platform::library_probe::kDefaultLimitSeconds;  // /timeout
    std::string error;  // kError: what is wrong, one line
};

// Reads the arguments that follow the program's name.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text that /? shows (lines ended by CR LF).
std::string UsageText();

// The report text as a file holds it: every CR (the report's line separator) becomes CR LF,
// and the text ends with CR LF.
std::string WithCrLf(std::string_view reportText);

}  // namespace report
