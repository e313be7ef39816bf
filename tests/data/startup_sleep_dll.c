/* A DLL whose start-up code sleeps: for the number of seconds in the environment variable
   KELVRA_STARTUP_SLEEP_SECONDS (30 when it is not set), or for good when it is "forever".
   One of the misbehaving files that the report window must survive. No C run-time. */
typedef int BOOL;
typedef void* HANDLE;
typedef unsigned long DWORD;

__declspec(dllimport) DWORD
    __stdcall GetEnvironmentVariableA(const char* name, char* value, DWORD size);
__declspec(dllimport) void __stdcall Sleep(DWORD milliseconds);

/* How the simulated loader, which runs no code, knows what it does. */
static const volatile char kMarker[] = "KELVRA-START-UP-SLEEPS";

__declspec(dllexport) int KelvraTestProbe(void) {
    return 42;
}

static DWORD SleepMilliseconds(void) {
    char value[16];
    DWORD length = GetEnvironmentVariableA("KELVRA_STARTUP_SLEEP_SECONDS", value, sizeof value);
    DWORD seconds = 0;
    DWORD i;
    if (length == 0 || length >= sizeof value) {
        return 30000;
    }
    if (value[0] == 'f') {
        return 0xFFFFFFFFu; /* INFINITE */
    }
    for (i = 0; i < length && value[i] >= '0' && value[i] <= '9'; ++i) {
        seconds = seconds * 10 + (DWORD)(value[i] - '0');
    }
    return seconds * 1000;
}

BOOL __stdcall DllMain(HANDLE instance, DWORD reason, void* reserved) {
    (void)instance;
    (void)reserved;
    if (reason == 1 && kMarker[0] != 0) { /* DLL_PROCESS_ATTACH */
        Sleep(SleepMilliseconds());
    }
    return 1;
}
