/* A DLL whose start-up code shows a message box and waits until it is answered: one of the
   misbehaving files that the report window must survive. No C run-time. */
typedef int BOOL;
typedef void* HANDLE;
typedef void* HWND;
typedef unsigned long DWORD;

__declspec(dllimport) int __stdcall MessageBoxA(HWND owner, const char* text, const char* caption,
                                                unsigned type);

/* How the simulated loader, which runs no code, knows what it does. */
static const volatile char kMarker[] = "KELVRA-START-UP-SHOWS-A-BOX";

__declspec(dllexport) int KelvraTestProbe(void) {
    return 42;
}

BOOL __stdcall DllMain(HANDLE instance, DWORD reason, void* reserved) {
    (void)instance;
    (void)reserved;
    if (reason == 1 && kMarker[0] != 0) { /* DLL_PROCESS_ATTACH */
        MessageBoxA(0, "A DLL's start-up code shows this box.", "Kelvra start-up box", 0);
    }
    return 1;
}
