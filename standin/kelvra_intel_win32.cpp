// Stand-in for the application's closed library Kelvra_Intel_Win32.dll, so that the program
// can be built and tested where the real one is not available. FINDFILEINPATH looks a file
// name up in the folders of the process PATH and writes the full path into the buffer.
// The last-error code it leaves is 0 when the file was found and 2 when it was not.
#include <windows.h>

#include <vector>

extern "C" __declspec(dllexport) long __stdcall FINDFILEINPATH(char* name, long nameLength,
                                                               char* path, long pathLength) {
    if (name == nullptr || path == nullptr || nameLength <= 0 || pathLength <= 0) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const DWORD pathSize = ::GetEnvironmentVariableA("PATH", nullptr, 0);
    std::vector<char> folders(pathSize + 1, '\0');
    ::GetEnvironmentVariableA("PATH", folders.data(), static_cast<DWORD>(folders.size()));
    std::vector<char> found(MAX_PATH * 4, '\0');
    const DWORD length = ::SearchPathA(folders.data(), name, nullptr,
                                       static_cast<DWORD>(found.size()), found.data(), nullptr);
    if (length == 0 || length >= found.size()) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    const DWORD copied =
        length < static_cast<DWORD>(pathLength) ? length : static_cast<DWORD>(pathLength);
    ::CopyMemory(path, found.data(), copied);
    if (copied < static_cast<DWORD>(pathLength)) {
        path[copied] = '\0';
    }
    ::SetLastError(ERROR_SUCCESS);
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
