#include "report/command_line.h"

#include <charconv>

#include "platform/library_probe.h"
#include "platform/text.h"

namespace report {
namespace {

CommandLine Error(std::string message) {
    CommandLine command;
    command.mode = CommandLine::Mode::kError;
    command.error = std::move(message);
    return command;
}

// The option's name in upper case without its "/" or "-", or nullopt for no option.
std::optional<std::string> OptionName(std::string_view argument) {
    if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) {
        return std::nullopt;
    }
    return platform::text::AsciiUpper(argument.substr(1));
}

// A whole number of seconds from 1 to the longest limit.
std::optional<int> TimeoutSeconds(std::string_view text) {
    int seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || seconds < 1 ||
        seconds > kLongestTimeoutSeconds) {
        return std::nullopt;
    }
    return seconds;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine command;
    const std::string probe = platform::text::AsciiUpper(platform::library_probe::kProbeArgument);
    bool timeoutGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const auto option = OptionName(argument);
        if (!option) {
            return Error("unexpected argument \"" + argument + "\" (see /?)");
        }
        if (*option == "?" || *option == "H" || *option == "HELP") {
            command.mode = CommandLine::Mode::kUsage;
            return command;
        }
        if ("/" + *option == probe) {
            if (arguments.size() != 1 || argument != platform::library_probe::kProbeArgument) {
                return Error(argument + " is the program's own; it is not for use by hand");
            }
            command.mode = CommandLine::Mode::kLibraryProbe;
            return command;
        }
        if (*option == "TIMEOUT") {
            if (timeoutGiven) {
                return Error(argument + " is given twice");
            }
            const auto seconds =
                i + 1 < arguments.size() ? TimeoutSeconds(arguments[i + 1]) : std::nullopt;
            if (!seconds) {
                return Error(argument + " needs a number of seconds from 1 to " +
                             std::to_string(kLongestTimeoutSeconds));
            }
            command.timeoutSeconds = *seconds;
            timeoutGiven = true;
            ++i;
            continue;
        }
        std::optional<std::string>* target = nullptr;
        if (*option == "REPORT") {
            target = &command.reportFile;
        } else if (*option == "JSON") {
            target = &command.jsonFile;
        } else if (*option == "COMPARE") {
            target = &command.referenceFile;
        } else {
            return Error("unknown option " + argument + " (see /?)");
        }
        if (target->has_value()) {
            return Error(argument + " is given twice");
        }
        if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
            return Error(argument + (target == &command.referenceFile
                                         ? " needs the file name of a JSON report of this program"
                                         : " needs a file name, or - for the standard output"));
        }
        *target = arguments[++i];
    }
    if (command.reportFile && command.jsonFile && *command.reportFile == *command.jsonFile) {
        return Error("/report and /json cannot write to the same place");
    }
    for (const auto& output : {command.reportFile, command.jsonFile}) {
        if (output && command.referenceFile &&
            platform::text::EqualsIgnoringCase(*output, *command.referenceFile)) {
            return Error("/compare reads the file that /report or /json would write");
        }
    }
    if (command.reportFile || command.jsonFile) {
        command.mode = CommandLine::Mode::kUnattended;
    }
    return command;
}

std::string UsageText() {
    return "Kelvra_System_Files_Test: checks the run-time files and folders of the Kelvra "
           "application.\r\n"
           "\r\n"
           "Kelvra_System_Files_Test                 shows the report in a window\r\n"
           "Kelvra_System_Files_Test /report FILE    writes the report text to FILE\r\n"
           "Kelvra_System_Files_Test /json FILE      writes the report as JSON to FILE\r\n"
           "Kelvra_System_Files_Test /timeout SECONDS  gives each file's start-up code that "
           "long\r\n"
           "Kelvra_System_Files_Test /compare REFERENCE.json\r\n"
           "                         compares this machine with the JSON report of one where\r\n"
           "                         the application works (with or without /report, /json)\r\n"
           "Kelvra_System_Files_Test /?              shows this text\r\n"
           "\r\n"
           "FILE - writes to the standard output. /report and /json may be given together.\r\n"
           "They run without a window and without message boxes, and write DLLver.log as a\r\n"
           "window run does. An existing FILE is replaced as a whole.\r\n"
           "\r\n"
           "Each file is loaded in a probe process of its own, so that its start-up code cannot\r\n"
           "stop the report; /timeout (1 to 600 seconds, 10 by default) is how long it may "
           "take.\r\n"
           "\r\n"
           "Exit codes: 0 every file was located and the install folder exists and is on the\r\n"
           "PATH; 1 something is missing; 2 a usage error or an output that cannot be "
           "written.\r\n"
           "With /compare: 0 nothing differs from the reference, 1 something does, 2 as above\r\n"
           "or a reference that cannot be read.\r\n";
}

std::string WithCrLf(std::string_view reportText) {
    std::string text;
    text.reserve(reportText.size() + reportText.size() / 16 + 2);
    for (const char c : reportText) {
        text += c;
        if (c == '\r') {
            text += '\n';
        }
    }
    return text + "\r\n";
}

}  // namespace report
