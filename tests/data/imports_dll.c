/* A DLL that imports by name and by ordinal from kelvra_exports.dll, and from kernel32.dll;
   built with KELVRA_DELAY_LOAD (by lld-link, which fills the delay-load directory that GNU ld
   leaves empty), it takes two functions of kelvra_late.dll through the delay-load table
   instead, one by ordinal. */
typedef int BOOL;
typedef void* HANDLE;
typedef unsigned long DWORD;

#ifndef KELVRA_DELAY_LOAD
__declspec(dllimport) DWORD __stdcall GetTickCount(void);
#endif
__declspec(dllimport) int KelvraAlpha(void);
__declspec(dllimport) int KelvraHidden(void);
#ifdef KELVRA_DELAY_LOAD
__declspec(dllimport) int KelvraLate(void);
__declspec(dllimport) int KelvraLateByOrdinal(void);

/* The linker's delay-load thunks call this; nothing here calls a delay-loaded function. */
void* __stdcall __delayLoadHelper2(const void* descriptor, void** address) {
    (void)descriptor;
    (void)address;
    return 0;
}
#endif

__declspec(dllexport) int KelvraImporter(void) {
    int sum = KelvraAlpha() + KelvraHidden();
#ifdef KELVRA_DELAY_LOAD
    sum += KelvraLate() + KelvraLateByOrdinal();
#else
    sum += (int)GetTickCount();
#endif
    return sum;
}

BOOL __stdcall DllMain(HANDLE instance, DWORD reason, void* reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return 1;
}
