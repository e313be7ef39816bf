/* A DLL whose exports the PE reader is held against objdump with (exports.def): by name, by
   ordinal alone, at ordinals with gaps between them, and one forwarded to another DLL. */
typedef int BOOL;
typedef void* HANDLE;
typedef unsigned long DWORD;

int KelvraAlpha(void) {
    return 1;
}

int KelvraBeta(void) {
    return 2;
}

int KelvraHidden(void) {
    return 3;
}

BOOL __stdcall DllMain(HANDLE instance, DWORD reason, void* reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return 1;
}
