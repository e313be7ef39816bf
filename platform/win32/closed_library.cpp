// The closed library is found by the library search at the first call and stays loaded for
// the life of the process, as a declared DLL function does.
#include "platform/closed_library.h"

#include "platform/win32/windows_api.h"

#include <vector>

#include "platform/kernel32.h"

namespace platform::closed_library {
namespace {

using FindFileInPathFunction = long(__stdcall*)(char* name, long nameLength, char* path,
                                                long pathLength);

FindFileInPathFunction Resolve() {
    static HMODULE library = nullptr;
    if (library == nullptr) {
        library = ::LoadLibraryW(L"Kelvra_Intel_Win32.dll");
        if (library == nullptr) {
            throw Unavailable("File not found: Kelvra_Intel_Win32.dll");
        }
    }
    const FARPROC function = ::GetProcAddress(library, "FINDFILEINPATH");
    if (function == nullptr) {
        throw Unavailable("Can't find DLL entry point FINDFILEINPATH in Kelvra_Intel_Win32.dll");
    }
    return reinterpret_cast<FindFileInPathFunction>(reinterpret_cast<void*>(function));
}

std::vector<char> Buffer(const std::string& ansi) {
    std::vector<char> buffer(ansi.begin(), ansi.end());
    buffer.push_back('\0');
    return buffer;
}

std::string FromBuffer(const std::vector<char>& buffer, std::size_t length) {
    std::string ansi(buffer.data(), length);
    // A copy comes back with the length it went out with, up to the library's terminator.
    const auto end = ansi.find('\0');
    return kernel32::AnsiToUtf8(end == std::string::npos ? ansi : ansi.substr(0, end));
}

}  // namespace

void FindFileInPath(std::string& name, std::string& pathBuffer) {
    const FindFileInPathFunction function = Resolve();
    const std::string ansiName = kernel32::Utf8ToAnsi(name);
    const std::string ansiPath = kernel32::Utf8ToAnsi(pathBuffer);
    std::vector<char> nameBuffer = Buffer(ansiName);
    std::vector<char> pathCopy = Buffer(ansiPath);
    function(nameBuffer.data(), static_cast<long>(ansiName.size()), pathCopy.data(),
             static_cast<long>(ansiPath.size()));
    const DWORD error = ::GetLastError();
    name = FromBuffer(nameBuffer, ansiName.size());
    pathBuffer = FromBuffer(pathCopy, ansiPath.size());
    ::SetLastError(error);
}

}  // namespace platform::closed_library
