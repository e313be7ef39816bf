#include "platform/runtime.h"

#include "platform/win32/windows_api.h"

#include <vector>

#include "platform/kernel32.h"
#include "platform/win32/file_handle.h"
#include "platform/win32/wide.h"

namespace platform::runtime {
namespace {

using win32::UniqueFile;
using win32::Widen;

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

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

}  // namespace

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

std::string Environ(std::string_view name) {
    const std::wstring wideName = Widen(name);
    const DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0) {
        return "";
    }
    std::vector<wchar_t> buffer(size);
    const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), buffer.data(), size);
    return win32::Narrow(std::wstring_view(buffer.data(), length));
}

bool SetEnviron(std::string_view name, std::string_view value) {
    return ::SetEnvironmentVariableW(Widen(name).c_str(), Widen(value).c_str()) != 0;
}

}  // namespace platform::runtime
