// Simulated kernel32: the module table, the library search, the last-error code, message
// texts and the OS version record.
#include <algorithm>

#include "platform/kernel32.h"
#include "platform/sim/library_search.h"
#include "platform/sim/machine.h"
#include "platform/text.h"

namespace platform::kernel32 {
namespace {

// What the start-up code of a DLL that records its loader does.
void RecordLoadingProcess(sim::Machine& m, const std::string& path) {
    const sim::File* file = m.FindFile(path);
    const auto record = m.GetEnv("KELVRA_LOADER_RECORD");
    if (file != nullptr && record &&
        file->bytes.find(sim::kStartUpRecordsProcessMarker) != std::string::npos) {
        m.AddFile(*record, std::to_string(m.currentProcessId));
    }
}

}  // namespace

void ModuleTraits::close(RawModule module) noexcept {
    auto& m = sim::machine();
    const auto handle = m.moduleHandles.find(module);
    if (handle == m.moduleHandles.end()) {
        return;
    }
    const auto it = m.modules.find(handle->second);
    if (it == m.modules.end() || it->second.pinned) {
        return;
    }
    if (--it->second.loadCount <= 0) {
        m.modules.erase(it);
        m.moduleHandles.erase(handle);
    }
}

Module LoadLibrary(std::string_view name) {
    auto& m = sim::machine();
    const std::string wanted = sim::WithDefaultExtension(name);
    const auto result = sim::SearchLibrary(m, wanted);
    if (!result.path) {
        m.lastError = result.error;
        return Module{};
    }
    m.lastError = 0;
    const bool mapped = sim::MapsAnew(m, *result.path);
    Module module{m.AddLoadedModule(*result.path)};
    if (mapped && m.libraryStartup) {
        m.libraryStartup(*result.path);
    }
    if (mapped) {
        RecordLoadingProcess(m, *result.path);
    }
    return module;
}

RawModule GetModuleHandle(std::string_view name) {
    auto& m = sim::machine();
    const std::string upper = text::AsciiUpper(sim::BaseName(sim::WithDefaultExtension(name)));
    for (const auto& [handle, moduleName] : m.moduleHandles) {
        if (moduleName == upper) {
            m.lastError = 0;
            return handle;
        }
    }
    m.lastError = 126;
    return 0;
}

std::string GetModuleFileName(RawModule module) {
    auto& m = sim::machine();
    const auto handle = m.moduleHandles.find(module);
    if (handle == m.moduleHandles.end()) {
        m.lastError = 126;
        return "";
    }
    return m.modules.at(handle->second).path;
}

std::vector<std::string> LoadedModulePaths() {
    std::vector<std::string> paths;
    for (const auto& [upper, module] : sim::machine().modules) {
        paths.push_back(module.path);
    }
    return paths;
}

std::uint32_t GetLastError() {
    return sim::machine().lastError;
}
void SetLastError(std::uint32_t code) {
    sim::machine().lastError = code;
}

std::optional<std::string> FormatSystemMessage(std::uint32_t code) {
    auto& m = sim::machine();
    const auto it = m.messageTexts.find(code);
    if (it == m.messageTexts.end()) {
        m.lastError = 317;  // ERROR_MR_MID_NOT_FOUND
        return std::nullopt;
    }
    return it->second;
}

std::optional<OsVersionInfo> GetVersionEx() {
    return sim::machine().osVersion;
}

std::optional<std::uint32_t> GetFileAttributes(std::string_view path) {
    auto& m = sim::machine();
    if (const sim::File* file = m.FindFile(path)) {
        return file->attributes == 0 ? 0x80u : file->attributes;  // FILE_ATTRIBUTE_NORMAL
    }
    if (m.FolderExists(path)) {
        return kFileAttributeDirectory;
    }
    m.lastError = 2;
    return std::nullopt;
}

std::optional<std::string> LongPathName(std::string_view path) {
    auto& m = sim::machine();
    if (m.FindFile(path) == nullptr && !m.FolderExists(path)) {
        m.lastError = 2;
        return std::nullopt;
    }
    return m.LongForm(path);
}

std::optional<std::string> ShortPathName(std::string_view path) {
    auto& m = sim::machine();
    if (m.FindFile(path) == nullptr && !m.FolderExists(path)) {
        m.lastError = 2;
        return std::nullopt;
    }
    return m.ShortForm(path);
}

std::string ProgramFolder() {
    return sim::machine().programFolder;
}
std::string SystemFolder() {
    return sim::machine().systemFolder;
}
std::string WindowsFolder() {
    return sim::machine().windowsFolder;
}

std::string ComputerName() {
    return sim::machine().computerName;
}

std::uint32_t CurrentProcessId() {
    return sim::machine().currentProcessId;
}

std::uint16_t ProcessMachine() {
    return sim::machine().processMachine;
}

namespace {
// Windows-1252 for the bytes 0x80 to 0x9F; 0 where the code page has no character.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
}  // namespace

// The simulated machine's ANSI code page is Windows-1252.
std::string Utf8ToAnsi(std::string_view utf8) {
    std::string out;
    for (const char16_t unit : text::Utf8ToUtf16(utf8)) {
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
            out.push_back(static_cast<char>(unit));
            continue;
        }
        const auto* hit = std::find(std::begin(kCp1252High), std::end(kCp1252High), unit);
        if (unit != 0 && hit != std::end(kCp1252High)) {
            out.push_back(static_cast<char>(0x80 + (hit - std::begin(kCp1252High))));
        } else {
            out.push_back('?');
        }
    }
    return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
    std::u16string wide;
    for (const char c : ansi) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte < 0xA0) {
            const char16_t mapped = kCp1252High[byte - 0x80];
            wide.push_back(mapped == 0 ? byte : mapped);
        } else {
            wide.push_back(byte);
        }
    }
    return text::Utf16ToUtf8(wide);
}

std::optional<std::string> Utf8ToAnsiExact(std::string_view utf8) {
    std::string ansi = Utf8ToAnsi(utf8);
    if (AnsiToUtf8(ansi) != utf8) {
        return std::nullopt;
    }
    return ansi;
}

}  // namespace platform::kernel32
