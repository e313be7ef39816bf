#include "report/unattended_run.h"

#include <optional>

#include "fileinfo/os_version.h"
#include "platform/kernel32.h"
#include "platform/library_probe.h"
#include "platform/runtime.h"
#include "platform/window.h"
#include "platform/window_layout.h"
#include "report/json_report.h"
#include "report/verification_report.h"

namespace report {
namespace {

inline constexpr std::string_view kMessagePrefix = "  Message: ";

// A message's own line breaks, in any convention, become blanks: one message, one line.
std::string OneLine(std::string_view text) {
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        line += text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
        if (text.substr(i).starts_with("\r\n")) {
            ++i;
        }
    }
    return line;
}

// The line that says that a pass failed, e.g. "  Pass 3 of 20 did not complete: ...".
std::string FailedPassLine(int pass) {
    return "  Pass " + std::to_string(pass) + " of " + std::to_string(kPassCount) +
           " did not complete: an error of the program's own ended it";
}

// Message boxes go to a list while the object lives.
class CollectedMessages {
  public:
    CollectedMessages() {
        platform::window::RedirectMessageBoxes(
            [this](std::string_view text) { texts_.emplace_back(text); });
    }
    CollectedMessages(const CollectedMessages&) = delete;
    CollectedMessages& operator=(const CollectedMessages&) = delete;
    ~CollectedMessages() { platform::window::RedirectMessageBoxes({}); }

    [[nodiscard]] const std::vector<std::string>& Texts() const { return texts_; }

  private:
    std::vector<std::string> texts_;
};

RunContext ContextNow(const ReportFacts& facts) {
    RunContext context;
    context.programVersion = KELVRA_PROGRAM_VERSION;
    context.machineName = platform::kernel32::ComputerName();
    context.osName = fileinfo::OsNameFor(facts.osVersion);
    context.generatedUtc = platform::runtime::NowUtc();
    return context;
}

void ReportError(std::string_view line) {
    platform::runtime::WriteStandardError("Kelvra_System_Files_Test: " + std::string(line) +
                                          "\r\n");
}

// Writes one output; false (after saying why on the standard error) when it cannot.
bool WriteOutput(const std::string& target, std::string_view bytes) {
    if (target == kStandardOutputName) {
        if (platform::runtime::WriteStandardOutput(bytes)) {
            return true;
        }
        ReportError("cannot write to the standard output (is it redirected?)");
        return false;
    }
    if (platform::runtime::ReplaceFileWhole(target, bytes)) {
        return true;
    }
    ReportError("cannot write " + target);
    return false;
}

int RunUnattended(const CommandLine& command) {
    platform::runtime::SuppressSystemErrorBoxes();
    CompareOption compare = ReadCompareOption(command);
    if (!compare.error.empty()) {
        ReportError(compare.error);
        return kExitUsageOrOutput;
    }
    // Nobody reads a box that a file's start-up code shows: its time runs out as any other.
    VerificationReport report({command.timeoutSeconds, false, std::move(compare.reference)});
    std::string text;
    ReportFacts facts;
    {
        const CollectedMessages messages;
        // The window's design size: the report is drawn as the window would show it.
        const auto surface = platform::window::CreateOffscreenSurface(
            platform::window::kDesignWindowWidthTwips, platform::window::kDesignClientHeightTwips);
        text = report.Run(*surface);
        facts = report.Facts();
        facts.messages = messages.Texts();
    }
    bool written = true;
    if (command.reportFile) {
        written = WriteOutput(*command.reportFile,
                              UnattendedReportText(text, facts.messages, facts.failedPasses));
    }
    if (command.jsonFile) {
        written = WriteOutput(*command.jsonFile, JsonReport(facts, ContextNow(facts))) && written;
    }
    if (!written) {
        return kExitUsageOrOutput;
    }
    return ExitCodeOf(facts, command.referenceFile.has_value());
}

}  // namespace

CompareOption ReadCompareOption(const CommandLine& command) {
    CompareOption option;
    if (command.referenceFile) {
        ReferenceReading reading = ReadReferenceFile(*command.referenceFile, kJsonSchemaVersion);
        if (auto* reference = std::get_if<Reference>(&reading)) {
            option.reference = std::move(*reference);
        } else {
            option.error = std::get<ReferenceError>(reading).line;
        }
    }
    return option;
}

std::string UnattendedReportText(std::string_view reportText,
                                 const std::vector<std::string>& messages,
                                 const std::vector<int>& failedPasses) {
    std::string text = WithCrLf(reportText);
    for (const std::string& message : messages) {
        text += kMessagePrefix;
        text += OneLine(message);
        text += "\r\n";
    }
    for (const int pass : failedPasses) {
        text += FailedPassLine(pass);
        text += "\r\n";
    }
    return text;
}

int RunWithoutWindow(const CommandLine& command) {
    switch (command.mode) {
        case CommandLine::Mode::kUnattended:
            return RunUnattended(command);
        case CommandLine::Mode::kUsage:
            if (!platform::runtime::WriteStandardOutput(UsageText())) {
                platform::window::MessageBox(UsageText());
            }
            return kExitAllInPlace;
        case CommandLine::Mode::kLibraryProbe:
            if (const int code = platform::library_probe::Serve(); code != kExitUsageOrOutput) {
                return code;
            }
            ReportError("/library-probe is the program's own; it is started so by the program");
            return kExitUsageOrOutput;
        case CommandLine::Mode::kError:
        case CommandLine::Mode::kWindow:
            break;
    }
    ReportError(command.error.empty() ? "nothing to do without a window" : command.error);
    return kExitUsageOrOutput;
}

}  // namespace report
