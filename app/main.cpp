// Kelvra_System_Files_Test: shows the system files verification report window.
#include <windows.h>

#include "platform/window.h"
#include "report/form1.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    report::Form1 form;
    return platform::window::RunReportWindow(form);
}
