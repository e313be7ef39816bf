// The runs without a window that the command line asks for: the report made once onto an
// off-screen surface, with message boxes turned into lines of the output, written where the
// command line says, and an exit code that tells a collector whether anything is missing.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report/command_line.h"
#include "report/reference_reader.h"

namespace report {

// The report text as /report writes it: the window's report text with CR LF line ends, then
// one line for each message box that a window run would have shown, in order, and one for
// each pass of the report that failed.
std::string UnattendedReportText(std::string_view reportText,
                                 const std::vector<std::string>& messages,
                                 const std::vector<int>& failedPasses = {});

// What /compare asks for, read before the run: the reference it names (nullopt without the
// option), or the one line that says why that file cannot be used, which ends the program with
// exit code 2 before any report is made.
struct CompareOption {
    std::optional<Reference> reference;
    std::string error;  // "" when there is nothing wrong
};
CompareOption ReadCompareOption(const CommandLine& command);

// Runs what `command` asks for (unattended, usage, the probe or a command-line error) and
// returns the process's exit code. Never opens a window or a message box, except that the usage is
// shown in a box when no standard output is attached.
int RunWithoutWindow(const CommandLine& command);

}  // namespace report
