// kernel32: loaded modules, the thread's last-error code, system message texts, the OS
// version record, file attributes and the ANSI code page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/handle.h"

namespace platform::kernel32 {

using RawModule = std::uintptr_t;

struct ModuleTraits {
    using pointer = RawModule;
    static constexpr RawModule invalid() noexcept { return 0; }
    static void close(RawModule module) noexcept;  // FreeLibrary
};
// A module loaded by LoadLibrary, freed when its owner goes.
using Module = UniqueHandle<ModuleTraits>;

// Loads a DLL through the platform's library search (its initialisation runs); an empty
// Module on failure, with the reason in the last-error code.
Module LoadLibrary(std::string_view name);
// The handle of a module of that name already loaded in this process, 0 when there is none.
RawModule GetModuleHandle(std::string_view name);
// The full path of a loaded module, however long; "" on failure.
std::string GetModuleFileName(RawModule module);
// The full paths of the modules loaded in this process, read in one pass (asking for names
// one by one with GetModuleHandle costs a search of the load path each under Wine); empty
// when they cannot be listed.
std::vector<std::string> LoadedModulePaths();

std::uint32_t GetLastError();
void SetLastError(std::uint32_t code);

// The system's message text for an error code, as the system words it (with its CR LF);
// nullopt when the system has no text for it.
std::optional<std::string> FormatSystemMessage(std::uint32_t code);

struct OsVersionInfo {
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0;
    std::uint32_t platformId = 0;
};
// The version record the system reports to this program; nullopt when the call fails.
std::optional<OsVersionInfo> GetVersionEx();

inline constexpr std::uint32_t kFileAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kFileAttributeHidden = 0x02;
inline constexpr std::uint32_t kFileAttributeSystem = 0x04;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
// The attributes of a file or folder; nullopt when it does not exist.
std::optional<std::uint32_t> GetFileAttributes(std::string_view path);
// The full path of an existing file or folder with every short (8.3) name replaced by its long
// name, and the path with short names wherever the file system has them; nullopt when it does
// not exist.
std::optional<std::string> LongPathName(std::string_view path);
std::optional<std::string> ShortPathName(std::string_view path);

// The folders that the library search looks in before the PATH: the program's own folder,
// the system folder and the Windows folder (no trailing "\\").
std::string ProgramFolder();
std::string SystemFolder();
std::string WindowsFolder();

// The computer's name ("" when it cannot be read).
std::string ComputerName();

// The id of the running process.
std::uint32_t CurrentProcessId();

// The machine type of the running process (0x014C for x86, 0x8664 for x64).
std::uint16_t ProcessMachine();

// Text in the system's ANSI code page, and back; characters outside it become "?".
std::string Utf8ToAnsi(std::string_view utf8);
std::string AnsiToUtf8(std::string_view ansi);
// Text in the ANSI code page only when it converts back to exactly the same text: nullopt when
// any character has no counterpart there (no "?", no look-alike such as "A" for "Ā").
std::optional<std::string> Utf8ToAnsiExact(std::string_view utf8);

}  // namespace platform::kernel32
