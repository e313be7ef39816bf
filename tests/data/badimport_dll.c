/* A DLL that imports from kernel32.dll and from a DLL that exists nowhere, so the loader
   must refuse it with "module not found". */
typedef int BOOL;
typedef void* HANDLE;
typedef unsigned long DWORD;

__declspec(dllimport) DWORD __stdcall GetTickCount(void);
__declspec(dllimport) int KelvraMissingFunction(void);

__declspec(dllexport) int KelvraTestProbe(void) {
    return KelvraMissingFunction() + (int)GetTickCount();
}

BOOL __stdcall DllMain(HANDLE instance, DWORD reason, void* reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return 1;
}
