// Kelvra_System_Files_Test: shows the system files verification report window, or, with
// /report or /json, writes the report without one (see /?); /compare compares either with a
// reference.
#include <windows.h>

#include "platform/runtime.h"
#include "report/command_line.h"
#include "report/form1.h"
#include "report/unattended_run.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const report::CommandLine command =
        report::ParseCommandLine(platform::runtime::ProgramArguments());
    if (command.mode != report::CommandLine::Mode::kWindow) {
        return report::RunWithoutWindow(command);
    }
    return report::RunReportWindow(command);
}
