// Kelvra_System_Files_Test: shows the system files verification report window, or, with
// /report or /json, writes the report without one (see /?); /compare compares either with a
// reference.
#include <windows.h>

#include <utility>

#include "platform/runtime.h"
#include "platform/window.h"
#include "report/command_line.h"
#include "report/form1.h"
#include "report/unattended_run.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const report::CommandLine command =
        report::ParseCommandLine(platform::runtime::ProgramArguments());
    if (command.mode != report::CommandLine::Mode::kWindow) {
        return report::RunWithoutWindow(command);
    }
    report::CompareOption compare = report::ReadCompareOption(command);
    if (!compare.error.empty()) {
        // A window run has no standard error: the line goes to a box, and no report is made.
        platform::window::MessageBox(compare.error);
        return report::kExitUsageOrOutput;
    }
    report::Form1 form(command.timeoutSeconds, std::move(compare.reference));
    return platform::window::RunReportWindow(form);
}
