#include "platform/runtime.h"

#include "platform/win32/windows_api.h"

#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

#include "platform/kernel32.h"
#include "platform/win32/file_handle.h"
#include "platform/win32/wide.h"

namespace platform::runtime {
namespace {

using win32::UniqueFile;
using win32::Widen;

using win32::UniqueKernelHandle;
using win32::WriteAll;

class Win32OutputFile final : public OutputFile {
  public:
    explicit Win32OutputFile(UniqueFile file) : file_(std::move(file)) {}

    bool PrintLine(std::string_view text) override {
        return WriteRaw(kernel32::Utf8ToAnsi(text) + "\r\n");
    }
    bool WriteRaw(std::string_view bytes) override { return WriteAll(file_.get(), bytes); }

  private:
    UniqueFile file_;
};

class Win32InputFile final : public InputFile {
  public:
    explicit Win32InputFile(UniqueFile file) : file_(std::move(file)) {}

    std::optional<std::size_t> Read(std::span<char> buffer) override {
        DWORD read = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
        if (!::ReadFile(file_.get(), buffer.data(), chunk, &read, nullptr)) {
            return std::nullopt;
        }
        return read;
    }

  private:
    UniqueFile file_;
};

DWORD CreationDisposition(OutputFile::Mode mode) {
    switch (mode) {
        case OutputFile::Mode::kCreate:
            return CREATE_ALWAYS;
        case OutputFile::Mode::kCreateNew:
            return CREATE_NEW;
        case OutputFile::Mode::kAppend:
            break;
    }
    return OPEN_ALWAYS;
}

DateTime FromSystemTime(const SYSTEMTIME& st) {
    return DateTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::optional<WIN32_FILE_ATTRIBUTE_DATA> FileData(std::string_view path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return data;
}

struct EnvironmentStringsDeleter {
    void operator()(wchar_t* block) const noexcept { ::FreeEnvironmentStringsW(block); }
};

// Calls visit(name, value) for the entries of this process's environment block in block
// order, until it returns true. A name may begin with "=" (the per-drive current folders).
template <typename Visit>
void ForEachEnvironmentEntry(Visit visit) {
    const std::unique_ptr<wchar_t, EnvironmentStringsDeleter> block{::GetEnvironmentStringsW()};
    if (!block) {
        return;
    }
    for (const wchar_t* entry = block.get(); *entry != L'\0';) {
        const std::wstring_view text(entry);
        const auto equals = text.find(L'=', 1);
        if (equals != std::wstring_view::npos &&
            visit(text.substr(0, equals), text.substr(equals + 1))) {
            return;
        }
        entry += text.size() + 1;
    }
}

// Variable names compare as the system compares them: ordinal, ignoring case.
bool SameVariableName(std::wstring_view a, std::wstring_view b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// This process's environment block with the changed variables replaced or added.
std::wstring EnvironmentBlockWith(const std::vector<EnvironmentChange>& changes) {
    std::vector<std::pair<std::wstring, std::wstring>> wideChanges;
    for (const EnvironmentChange& change : changes) {
        wideChanges.emplace_back(Widen(change.name), Widen(change.value));
    }
    std::wstring block;
    const auto append = [&block](std::wstring_view name, std::wstring_view value) {
        block.append(name).append(1, L'=').append(value).append(1, L'\0');
    };
    ForEachEnvironmentEntry([&](std::wstring_view name, std::wstring_view value) {
        const bool changed =
            std::any_of(wideChanges.begin(), wideChanges.end(),
                        [name](const auto& c) { return SameVariableName(c.first, name); });
        if (!changed) {
            append(name, value);
        }
        return false;
    });
    for (const auto& [name, value] : wideChanges) {
        append(name, value);
    }
    block.append(1, L'\0');
    return block;
}

class Win32ExclusiveFile final : public ExclusiveFile {
  public:
    explicit Win32ExclusiveFile(UniqueFile file) : file_(std::move(file)) {}

  private:
    UniqueFile file_;
};

}  // namespace

std::unique_ptr<ExclusiveFile> ExclusiveFile::Open(std::string_view path) {
    UniqueFile file{::CreateFileW(Widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file) {
        return nullptr;
    }
    return std::make_unique<Win32ExclusiveFile>(std::move(file));
}

std::unique_ptr<OutputFile> OutputFile::Open(std::string_view path, Mode mode) {
    UniqueFile file{::CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CreationDisposition(mode), FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file) {
        return nullptr;
    }
    if (mode == Mode::kAppend &&
        ::SetFilePointer(file.get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) {
        return nullptr;
    }
    return std::make_unique<Win32OutputFile>(std::move(file));
}

std::unique_ptr<InputFile> InputFile::Open(std::string_view path) {
    UniqueFile file{::CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr)};
    if (!file) {
        return nullptr;
    }
    return std::make_unique<Win32InputFile>(std::move(file));
}

std::optional<std::string> ReadFileBytes(std::string_view path) {
    UniqueFile file{::CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr)};
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size)) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        if (!::ReadFile(file.get(), bytes.data() + done, chunk, &read, nullptr) || read == 0) {
            return std::nullopt;
        }
        done += read;
    }
    return bytes;
}

bool WriteFileBytes(std::string_view path, std::string_view bytes) {
    auto output = OutputFile::Open(path, OutputFile::Mode::kCreate);
    return output && output->WriteRaw(bytes);
}

bool DeleteFile(std::string_view path) {
    return ::DeleteFileW(Widen(path).c_str()) != 0;
}
bool CreateDirectory(std::string_view path) {
    return ::CreateDirectoryW(Widen(path).c_str(), nullptr) != 0;
}
bool RemoveDirectory(std::string_view path) {
    return ::RemoveDirectoryW(Widen(path).c_str()) != 0;
}

std::optional<std::int64_t> FileLen(std::string_view path) {
    const auto data = FileData(path);
    if (!data) {
        return std::nullopt;
    }
    return (static_cast<std::int64_t>(data->nFileSizeHigh) << 32) | data->nFileSizeLow;
}

std::optional<DateTime> FileDateTime(std::string_view path) {
    const auto data = FileData(path);
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    if (!data || !::FileTimeToSystemTime(&data->ftLastWriteTime, &utc) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return std::nullopt;
    }
    return FromSystemTime(local);
}

bool SetFileDateTime(std::string_view path, const DateTime& localTime) {
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(localTime.year);
    local.wMonth = static_cast<WORD>(localTime.month);
    local.wDay = static_cast<WORD>(localTime.day);
    local.wHour = static_cast<WORD>(localTime.hour);
    local.wMinute = static_cast<WORD>(localTime.minute);
    local.wSecond = static_cast<WORD>(localTime.second);
    SYSTEMTIME utc{};
    FILETIME written{};
    if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
        !::SystemTimeToFileTime(&utc, &written)) {
        return false;
    }
    const UniqueFile file{::CreateFileW(Widen(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    return file && ::SetFileTime(file.get(), nullptr, nullptr, &written) != 0;
}

std::string Dir(std::string_view pattern) {
    WIN32_FIND_DATAW found{};
    win32::UniqueFind find{::FindFirstFileW(Widen(pattern).c_str(), &found)};
    if (!find) {
        return "";
    }
    constexpr DWORD kSkipped =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
        if ((found.dwFileAttributes & kSkipped) == 0) {
            return win32::Narrow(found.cFileName);
        }
    } while (::FindNextFileW(find.get(), &found));
    return "";
}

std::string CurDir() {
    const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
    std::vector<wchar_t> buffer(size + 1);
    const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    return win32::Narrow(std::wstring_view(buffer.data(), length));
}

bool ChDir(std::string_view path) {
    return ::SetCurrentDirectoryW(Widen(path).c_str()) != 0;
}

DateTime Now() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return FromSystemTime(now);
}

DateTime NowUtc() {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    return FromSystemTime(now);
}

std::string FormatShortDate(const DateTime& date) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(date.year);
    st.wMonth = static_cast<WORD>(date.month);
    st.wDay = static_cast<WORD>(date.day);
    wchar_t buffer[128] = {};
    const int length = ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr,
                                         buffer, 128, nullptr);
    if (length <= 1) {
        return "";
    }
    return win32::Narrow(std::wstring_view(buffer, static_cast<std::size_t>(length - 1)));
}

std::optional<std::string> FindEnviron(std::string_view name) {
    // Read from the block: GetEnvironmentVariableW passes a value's length through a 16-bit
    // byte count, so a value over 32,767 characters (a PATH that a parent process handed
    // down) comes back cut, or under Wine wrapped round to a short length.
    const std::wstring wideName = Widen(name);
    std::optional<std::string> value;
    ForEachEnvironmentEntry([&](std::wstring_view entryName, std::wstring_view entryValue) {
        if (!SameVariableName(entryName, wideName)) {
            return false;
        }
        value = win32::Narrow(entryValue);
        return true;
    });
    return value;
}

std::string Environ(std::string_view name) {
    return FindEnviron(name).value_or("");
}

bool SetEnviron(std::string_view name, std::string_view value) {
    return ::SetEnvironmentVariableW(Widen(name).c_str(), Widen(value).c_str()) != 0;
}

bool UnsetEnviron(std::string_view name) {
    return ::SetEnvironmentVariableW(Widen(name).c_str(), nullptr) != 0;
}

std::string ExpandEnviron(std::string_view text) {
    const std::wstring source = Widen(text);
    DWORD size = ::ExpandEnvironmentStringsW(source.c_str(), nullptr, 0);
    // A variable may change between the size query and the expansion: ask again then.
    for (int attempt = 0; attempt < 3 && size > 0; ++attempt) {
        std::vector<wchar_t> buffer(size + 1);
        const DWORD needed = ::ExpandEnvironmentStringsW(source.c_str(), buffer.data(), size);
        if (needed == 0) {
            break;
        }
        if (needed <= size) {
            return win32::Narrow(buffer.data());
        }
        size = needed;
    }
    return "";
}

std::optional<std::uint32_t> RunProgram(std::string_view commandLine,
                                        const std::vector<EnvironmentChange>& changes) {
    std::wstring environment = EnvironmentBlockWith(changes);
    std::wstring command = Widen(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    // The program shares this process's console, so its output shows with ours.
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                          CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup,
                          &started)) {
        return std::nullopt;
    }
    const UniqueKernelHandle process{started.hProcess};
    const UniqueKernelHandle thread{started.hThread};
    DWORD exitCode = 0;
    if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process.get(), &exitCode)) {
        return std::nullopt;
    }
    return exitCode;
}

namespace {

bool WriteToStandardHandle(DWORD which, std::string_view bytes) {
    const HANDLE handle = ::GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    return WriteAll(handle, bytes);
}

}  // namespace

bool WriteStandardOutput(std::string_view bytes) {
    return WriteToStandardHandle(STD_OUTPUT_HANDLE, bytes);
}

bool WriteStandardError(std::string_view bytes) {
    return WriteToStandardHandle(STD_ERROR_HANDLE, bytes);
}

void SuppressSystemErrorBoxes() {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

std::vector<std::string> ProgramArguments() {
    struct LocalFreeDeleter {
        void operator()(wchar_t** block) const { ::LocalFree(static_cast<HLOCAL>(block)); }
    };
    int count = 0;
    const std::unique_ptr<wchar_t*, LocalFreeDeleter> arguments(
        ::CommandLineToArgvW(::GetCommandLineW(), &count));
    std::vector<std::string> result;
    if (arguments == nullptr) {
        return result;
    }
    for (int i = 1; i < count; ++i) {
        result.push_back(win32::Narrow(arguments.get()[i]));
    }
    return result;
}

std::string PartFilePath(std::string_view path) {
    // The process, the time and a count of the names given out: no other writer picks it.
    static std::atomic<unsigned> named{0};
    return std::string(path) + "." + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(::GetTickCount64()) + "-" + std::to_string(++named) + ".part";
}

bool MoveFileNoReplace(std::string_view from, std::string_view to) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when `to` exists; without
    // MOVEFILE_COPY_ALLOWED it stays a rename on one volume.
    return ::MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

bool ReplaceFileWhole(std::string_view path, std::string_view bytes) {
    const std::wstring target = Widen(path);
    const std::wstring part = Widen(PartFilePath(path));
    {
        const UniqueFile file{::CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL, nullptr)};
        if (!file) {
            return false;
        }
        if (!WriteAll(file.get(), bytes) || !::FlushFileBuffers(file.get())) {
            ::DeleteFileW(part.c_str());
            return false;
        }
    }
    if (!::MoveFileExW(part.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(part.c_str());
        return false;
    }
    return true;
}

}  // namespace platform::runtime
