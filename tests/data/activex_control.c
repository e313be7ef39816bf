/* The test control: a DLL that carries a type library (activex_control.idl, as resource
   TYPELIB 1), as ActiveX controls do. Its start-up code creates the file that the environment
   variable KELVRA_CONTROL_MARKER names, when it is set, so that a test sees whether any of its
   code ran. No C run-time. */
typedef int BOOL;
typedef void* HANDLE;
typedef unsigned long DWORD;

__declspec(dllimport) DWORD __stdcall GetEnvironmentVariableW(const unsigned short* name,
                                                              unsigned short* value, DWORD size);
__declspec(dllimport) HANDLE
    __stdcall CreateFileW(const unsigned short* name, DWORD access, DWORD share, void* security,
                          DWORD disposition, DWORD flags, HANDLE model);
__declspec(dllimport) BOOL __stdcall CloseHandle(HANDLE handle);

static void LeaveTheMarker(void) {
    static const unsigned short kName[] = {'K', 'E', 'L', 'V', 'R', 'A', '_', 'C', 'O', 'N', 'T',
                                           'R', 'O', 'L', '_', 'M', 'A', 'R', 'K', 'E', 'R', 0};
    unsigned short path[1024];
    DWORD length = GetEnvironmentVariableW(kName, path, 1024);
    HANDLE file;
    if (length == 0 || length >= 1024) {
        return;
    }
    file = CreateFileW(path, 0x40000000u /* GENERIC_WRITE */, 0, 0, 2 /* CREATE_ALWAYS */,
                       0x80 /* FILE_ATTRIBUTE_NORMAL */, 0);
    if (file != (HANDLE)-1) {
        CloseHandle(file);
    }
}

BOOL __stdcall DllMain(HANDLE instance, DWORD reason, void* reserved) {
    (void)instance;
    (void)reserved;
    if (reason == 1) { /* DLL_PROCESS_ATTACH */
        LeaveTheMarker();
    }
    return 1;
}
