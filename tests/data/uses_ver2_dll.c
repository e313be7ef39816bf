/* A DLL that imports from kelvra_ver2.dll: it loads only where the library search finds
   that DLL too. */
typedef int BOOL;
typedef void* HANDLE;
typedef unsigned long DWORD;

__declspec(dllimport) int KelvraTestProbe(void);

__declspec(dllexport) int KelvraUsesProbe(void) {
    return KelvraTestProbe();
}

BOOL __stdcall DllMain(HANDLE instance, DWORD reason, void* reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return 1;
}
