#include "platform/kernel32.h"

#include "platform/win32/windows_api.h"

#include <psapi.h>

#include <vector>

#include "platform/win32/wide.h"

namespace platform::kernel32 {
namespace {

HMODULE AsModule(RawModule module) {
    return reinterpret_cast<HMODULE>(module);
}
RawModule AsRaw(HMODULE module) {
    return reinterpret_cast<RawModule>(module);
}

}  // namespace

void ModuleTraits::close(RawModule module) noexcept {
    ::FreeLibrary(AsModule(module));
}

Module LoadLibrary(std::string_view name) {
    return Module{AsRaw(::LoadLibraryW(win32::Widen(name).c_str()))};
}

RawModule GetModuleHandle(std::string_view name) {
    return AsRaw(::GetModuleHandleW(win32::Widen(name).c_str()));
}

std::string GetModuleFileName(RawModule module) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = ::GetModuleFileNameW(AsModule(module), buffer.data(), size);
        if (length == 0) {
            return "";
        }
        if (length < size) {
            return win32::Narrow(std::wstring_view(buffer.data(), length));
        }
        if (buffer.size() >= 32768) {
            return "";
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::vector<std::string> LoadedModulePaths() {
    std::vector<HMODULE> modules(256);
    for (;;) {
        DWORD bytesNeeded = 0;
        const auto bytes = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
        if (!::EnumProcessModules(::GetCurrentProcess(), modules.data(), bytes, &bytesNeeded)) {
            return {};
        }
        if (bytesNeeded <= bytes) {
            modules.resize(bytesNeeded / sizeof(HMODULE));
            break;
        }
        modules.resize(bytesNeeded / sizeof(HMODULE) + 16);  // more were loaded meanwhile
    }
    std::vector<std::string> paths;
    for (const HMODULE module : modules) {
        if (std::string path = GetModuleFileName(AsRaw(module)); !path.empty()) {
            paths.push_back(std::move(path));
        }
    }
    return paths;
}

std::uint32_t GetLastError() {
    return ::GetLastError();
}
void SetLastError(std::uint32_t code) {
    ::SetLastError(code);
}

std::optional<std::string> FormatSystemMessage(std::uint32_t code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr) {
        return std::nullopt;
    }
    std::string message = win32::Narrow(std::wstring_view(buffer, length));
    ::LocalFree(buffer);
    return message;
}

std::optional<OsVersionInfo> GetVersionEx() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&info)) {
        return std::nullopt;
    }
#pragma GCC diagnostic pop
    return OsVersionInfo{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber,
                         info.dwPlatformId};
}

std::optional<std::uint32_t> GetFileAttributes(std::string_view path) {
    const DWORD attributes = ::GetFileAttributesW(win32::Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return std::nullopt;
    }
    return attributes;
}

namespace {

// The text that a path function of the form f(in, buffer, size) writes, however long.
template <typename PathFunction>
std::optional<std::string> PathFrom(std::string_view path, PathFunction function) {
    const std::wstring wide = win32::Widen(path);
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = function(wide.c_str(), buffer.data(), size);
        if (length == 0) {
            return std::nullopt;
        }
        if (length < size) {
            return win32::Narrow(std::wstring_view(buffer.data(), length));
        }
        buffer.resize(length);  // the size it needs, its terminator included
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> LongPathName(std::string_view path) {
    const auto full = PathFrom(path, [](const wchar_t* in, wchar_t* out, DWORD size) {
        return ::GetFullPathNameW(in, size, out, nullptr);
    });
    return full ? PathFrom(*full, ::GetLongPathNameW) : std::nullopt;
}

std::optional<std::string> ShortPathName(std::string_view path) {
    return PathFrom(path, ::GetShortPathNameW);
}

std::string ProgramFolder() {
    const std::string program = GetModuleFileName(AsRaw(::GetModuleHandleW(nullptr)));
    const auto cut = program.find_last_of('\\');
    return cut == std::string::npos ? "" : program.substr(0, cut);
}

std::string SystemFolder() {
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
    return win32::Narrow(std::wstring_view(buffer, length < MAX_PATH ? length : 0));
}

std::string WindowsFolder() {
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(buffer, MAX_PATH);
    return win32::Narrow(std::wstring_view(buffer, length < MAX_PATH ? length : 0));
}

std::string ComputerName() {
    // The DNS host name, which may be longer than the 15 characters of the NetBIOS name.
    DWORD length = 0;
    ::GetComputerNameExW(ComputerNameDnsHostname, nullptr, &length);
    if (length != 0) {
        std::wstring name(length, L'\0');
        if (::GetComputerNameExW(ComputerNameDnsHostname, name.data(), &length)) {
            name.resize(length);
            return win32::Narrow(name);
        }
    }
    wchar_t netbios[MAX_COMPUTERNAME_LENGTH + 1] = {};
    length = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(netbios, &length)) {
        return "";
    }
    return win32::Narrow(std::wstring_view(netbios, length));
}

std::uint32_t CurrentProcessId() {
    return ::GetCurrentProcessId();
}

std::uint16_t ProcessMachine() {
#if defined(_WIN64)
    return 0x8664;
#else
    return 0x014C;
#endif
}

std::string Utf8ToAnsi(std::string_view utf8) {
    const std::wstring wide = win32::Widen(utf8);
    if (wide.empty()) {
        return "";
    }
    const int wideLength = static_cast<int>(wide.size());
    const int size =
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, ansi.data(), size, nullptr, nullptr);
    return ansi;
}

std::string AnsiToUtf8(std::string_view ansi) {
    if (ansi.empty()) {
        return "";
    }
    const int ansiLength = static_cast<int>(ansi.size());
    const int size = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), ansiLength, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), ansiLength, wide.data(), size);
    return win32::Narrow(wide);
}

std::optional<std::string> Utf8ToAnsiExact(std::string_view utf8) {
    const std::wstring wide = win32::Widen(utf8);
    if (wide.empty()) {
        return std::string();
    }
    // The UTF code pages take neither flags nor the default-character report.
    const UINT codePage = ::GetACP();
    const bool utf = codePage == CP_UTF8 || codePage == CP_UTF7;
    const DWORD flags = utf ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* const usedDefaultReport = utf ? nullptr : &usedDefault;
    const int wideLength = static_cast<int>(wide.size());
    const int size = ::WideCharToMultiByte(CP_ACP, flags, wide.data(), wideLength, nullptr, 0,
                                           nullptr, usedDefaultReport);
    std::string ansi(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, flags, wide.data(), wideLength, ansi.data(), size, nullptr,
                          usedDefaultReport);
    // Exact only when the text reads back as it was (this also refuses malformed UTF-8).
    if (size == 0 || usedDefault || AnsiToUtf8(ansi) != utf8) {
        return std::nullopt;
    }
    return ansi;
}

}  // namespace platform::kernel32
