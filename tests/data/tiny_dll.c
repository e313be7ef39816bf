/* The smallest useful DLL: an entry point and one export, no C run-time. */
typedef int BOOL;
typedef void* HANDLE;
typedef unsigned long DWORD;

__declspec(dllexport) int KelvraTestProbe(void) {
    return 42;
}

BOOL __stdcall DllMain(HANDLE instance, DWORD reason, void* reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return 1;
}
