/* A DLL whose start-up code refuses to load (DllMain returns FALSE on attach), so the loader
   fails with "initialization routine failed". The simulated loader, which runs no code,
   knows it by the marker text that the entry point reads. */
typedef int BOOL;
typedef void* HANDLE;
typedef unsigned long DWORD;

static const volatile char kMarker[] = "KELVRA-START-UP-FAILS";

__declspec(dllexport) int KelvraTestProbe(void) {
    return 42;
}

BOOL __stdcall DllMain(HANDLE instance, DWORD reason, void* reserved) {
    (void)instance;
    (void)reserved;
    /* Refuses the process attach (reason 1); the marker's first letter is never 0. */
    return reason != 1 && kMarker[0] == 0;
}
