// Form1, the report window's logic: the report runs once, off the window's thread, when the
// window is first shown and again on request (F5); the window shows which file is being
// checked until the run has ended, then the run's drawing. "Copy Text" copies the report
// text of the latest complete run, "Done" ends the program.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/window.h"
#include "report/background_run.h"
#include "report/command_line.h"
#include "report/verification_report.h"

namespace report {

inline constexpr std::string_view kCopyFailedMessage =
    "The report could not be copied to the clipboard.";
// Shown on the window, not in a message box: a notice needs no answer.
inline constexpr std::string_view kReportNotCompleteMessage =
    "The report is not complete yet, so nothing was copied. Click \"Copy Text\" again once "
    "the report is shown.";

// What the window shows while a run is at `progress`, e.g. "Checking libmmd.dll (17 of 19)",
// or, while the file's start-up code shows a window, that the report waits for it.
std::string ProgressText(const VerificationReport::Progress& progress);

// The window run that the command line asks for; returns the program's exit code. A reference
// of /compare that cannot be used is named in a box (a window run has no standard error), and
// the program ends with exit code 2 without a report.
int RunReportWindow(const CommandLine& command);

class Form1 final : public platform::window::FormEvents {
  public:
    // `timeoutSeconds`: how long a file's start-up code may take while it shows no window.
    // `reference`: with /compare, the reference the runs are compared with.
    explicit Form1(int timeoutSeconds = platform::library_probe::kDefaultLimitSeconds,
                   std::optional<Reference> reference = std::nullopt)
        : report_({timeoutSeconds, true, std::move(reference)}) {}
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;
    // Stops a run in progress (ending its probe) and waits for it.
    ~Form1() override = default;

    void Shown(platform::window::ReportWindow& window) override;
    // Ignored while a run is in progress: that run is the one asked for.
    void RunAgainRequested(platform::window::ReportWindow& window) override;
    void RunNotified(platform::window::ReportWindow& window) override;
    // While a run is in progress it copies nothing and says so on the window.
    void CopyTextClicked(platform::window::ReportWindow& window) override;
    void DoneClicked() override;

    // From the start of a run until the window has been told of its end.
    [[nodiscard]] bool RunInProgress() const { return run_ != nullptr; }
    // The report text of the latest complete run; "" before the first has ended.
    [[nodiscard]] const std::string& ReportText() const { return reportText_; }

  private:
    void StartRun(platform::window::ReportWindow& window);

    VerificationReport report_;
    std::string reportText_;
    std::unique_ptr<BackgroundRun> run_;  // last: its worker uses report_
};

}  // namespace report
