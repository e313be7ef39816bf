/* DLLs whose start-up code misbehaves, one per behaviour, chosen when the file is compiled:
     KELVRA_EXITS        calls ExitProcess(7)
     KELVRA_TERMINATES   calls TerminateProcess(its own process, 9)
     KELVRA_HANGS        never returns (Sleep(INFINITE))
     KELVRA_OVERFLOWS    overflows its stack
     KELVRA_NULL         writes through a null pointer
     KELVRA_RECORDS      writes the id of the process that loads it to the file that the
                         environment variable KELVRA_LOADER_RECORD names
   Each carries the text by which the simulated loader, which runs no code, knows what it
   does (platform/sim/machine.h). No C run-time. */
typedef int BOOL;
typedef void* HANDLE;
typedef unsigned long DWORD;

__declspec(dllimport) void __stdcall ExitProcess(unsigned code);
__declspec(dllimport) BOOL __stdcall TerminateProcess(HANDLE process, unsigned code);
__declspec(dllimport) HANDLE __stdcall GetCurrentProcess(void);
__declspec(dllimport) DWORD __stdcall GetCurrentProcessId(void);
__declspec(dllimport) void __stdcall Sleep(DWORD milliseconds);
__declspec(dllimport) DWORD
    __stdcall GetEnvironmentVariableA(const char* name, char* value, DWORD size);
__declspec(dllimport) HANDLE
    __stdcall CreateFileA(const char* name, DWORD access, DWORD share, void* security,
                          DWORD disposition, DWORD flags, HANDLE templateFile);
__declspec(dllimport) BOOL __stdcall WriteFile(HANDLE file, const void* bytes, DWORD count,
                                               DWORD* written, void* overlapped);
__declspec(dllimport) BOOL __stdcall CloseHandle(HANDLE handle);

#if defined(KELVRA_EXITS)
static const volatile char kMarker[] = "KELVRA-START-UP-EXITS-7";
#elif defined(KELVRA_TERMINATES)
static const volatile char kMarker[] = "KELVRA-START-UP-EXITS-9";
#elif defined(KELVRA_HANGS)
static const volatile char kMarker[] = "KELVRA-START-UP-NEVER-RETURNS";
#elif defined(KELVRA_OVERFLOWS)
/* Nothing handles a stack overflow: it ends the process. */
static const volatile char kMarker[] = "KELVRA-START-UP-RAISES-C00000FD";
#elif defined(KELVRA_NULL)
/* The loader handles the access violation: the load fails with ERROR_NOACCESS. */
static const volatile char kMarker[] = "KELVRA-START-UP-FAILS-WITH-998";
#elif defined(KELVRA_RECORDS)
static const volatile char kMarker[] = "KELVRA-START-UP-RECORDS-PROCESS";
#endif

__declspec(dllexport) int KelvraTestProbe(void) {
    return 42;
}

#if defined(KELVRA_OVERFLOWS)
/* Frames below a page, so that no stack probe of the C run-time is needed. */
__attribute__((noinline)) static int Deeper(int depth) {
    volatile char frame[2048];
    frame[0] = (char)depth;
    return Deeper(depth + 1) + frame[0];
}
#endif

#if defined(KELVRA_RECORDS)
static void RecordThisProcess(void) {
    char path[512];
    char digits[16];
    char text[16];
    DWORD id = GetCurrentProcessId();
    DWORD count = 0;
    DWORD length = 0;
    DWORD written = 0;
    HANDLE file;
    if (GetEnvironmentVariableA("KELVRA_LOADER_RECORD", path, sizeof path) - 1 >= sizeof path - 1) {
        return;
    }
    do {
        digits[count++] = (char)('0' + id % 10);
        id /= 10;
    } while (id != 0);
    while (count > 0) {
        text[length++] = digits[--count];
    }
    /* GENERIC_WRITE, no sharing, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL */
    file = CreateFileA(path, 0x40000000u, 0, 0, 2, 0x80, 0);
    if (file == (HANDLE)-1) {
        return;
    }
    WriteFile(file, text, length, &written, 0);
    CloseHandle(file);
}
#endif

BOOL __stdcall DllMain(HANDLE instance, DWORD reason, void* reserved) {
    (void)instance;
    (void)reserved;
    if (reason != 1 || kMarker[0] == 0) { /* only DLL_PROCESS_ATTACH; the marker stays */
        return 1;
    }
#if defined(KELVRA_EXITS)
    ExitProcess(7);
#elif defined(KELVRA_TERMINATES)
    TerminateProcess(GetCurrentProcess(), 9);
#elif defined(KELVRA_HANGS)
    Sleep(0xFFFFFFFFu);
#elif defined(KELVRA_OVERFLOWS)
    return Deeper(0) != 0;
#elif defined(KELVRA_NULL)
    *(volatile int*)0 = 1;
#elif defined(KELVRA_RECORDS)
    RecordThisProcess();
#endif
    return 1;
}
