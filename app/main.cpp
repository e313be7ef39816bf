// Kelvra_System_Files_Test: shows the system files verification report window, or, with
// /report or /json, writes the report without one (see /?).
#include <windows.h>

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
    report::Form1 form(command.timeoutSeconds);
    return platform::window::RunReportWindow(form);
}
