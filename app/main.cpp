// Kelvra_System_Files_Test: shows the system files verification report window.
#include <windows.h>

#include "platform/window.h"
#include "report/form1.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    report::Form1 form;
    const int exitCode = platform::window::RunReportWindow(form);
    if (form.RunInProgress()) {
        // The window has gone while a run was still going: its worker may be inside a DLL's
        // start-up code for good, holding the loader lock, which ExitProcess would wait for
        // (and joining the worker would wait for that code). The report is incomplete and
        // nothing of ours is left to finish, so the process ends here, at once.
        ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(exitCode));
    }
    return exitCode;
}
