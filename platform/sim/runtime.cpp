// Simulated run-time services over the simulated file system, environment and clock.
#include "platform/runtime.h"

#include <algorithm>

#include "platform/date_format.h"
#include "platform/kernel32.h"
#include "platform/sim/machine.h"

namespace platform::runtime {
namespace {

std::string ParentFolder(const std::string& absolute) {
    const auto cut = absolute.find_last_of('\\');
    return cut == std::string::npos ? "" : absolute.substr(0, cut == 2 ? 3 : cut);
}

class SimOutputFile final : public OutputFile {
  public:
    explicit SimOutputFile(std::string path) : path_(std::move(path)) {}

    bool PrintLine(std::string_view text) override {
        return WriteRaw(kernel32::Utf8ToAnsi(text) + "\r\n");
    }

    bool WriteRaw(std::string_view bytes) override {
        sim::File* file = sim::machine().FindFile(path_);
        if (file == nullptr) {
            return false;
        }
        file->bytes += bytes;
        return true;
    }

  private:
    std::string path_;
};

// Reads the file's bytes as they are at each call, as a shared file would give them.
class SimInputFile final : public InputFile {
  public:
    explicit SimInputFile(std::string path) : path_(std::move(path)) {}

    std::optional<std::size_t> Read(std::span<char> buffer) override {
        const sim::File* file = sim::machine().FindFile(path_);
        if (file == nullptr) {
            return std::nullopt;
        }
        const std::size_t count =
            std::min(buffer.size(), file->bytes.size() - std::min(offset_, file->bytes.size()));
        std::copy_n(file->bytes.begin() + static_cast<std::ptrdiff_t>(offset_), count,
                    buffer.begin());
        offset_ += count;
        return count;
    }

  private:
    std::string path_;
    std::size_t offset_ = 0;
};

}  // namespace

std::unique_ptr<OutputFile> OutputFile::Open(std::string_view path, Mode mode) {
    auto& m = sim::machine();
    const std::string absolute = m.Absolute(path);
    const std::string folder = ParentFolder(absolute);
    if (!m.FolderExists(folder) || m.FolderExists(absolute) || m.FolderIsReadOnly(folder)) {
        return nullptr;
    }
    sim::File* existing = m.FindFile(absolute);
    if (existing != nullptr && (existing->attributes & kernel32::kFileAttributeReadOnly) != 0) {
        return nullptr;
    }
    if (existing != nullptr && mode == Mode::kCreateNew) {
        return nullptr;
    }
    if (existing == nullptr) {
        m.AddFile(absolute, "", m.now);
    } else if (mode == Mode::kCreate) {
        existing->bytes.clear();
        existing->lastWrite = m.now;
    }
    return std::make_unique<SimOutputFile>(absolute);
}

std::unique_ptr<InputFile> InputFile::Open(std::string_view path) {
    auto& m = sim::machine();
    if (m.FindFile(path) == nullptr) {
        return nullptr;
    }
    return std::make_unique<SimInputFile>(m.Absolute(path));
}

std::optional<std::string> ReadFileBytes(std::string_view path) {
    const sim::File* file = sim::machine().FindFile(path);
    if (file == nullptr) {
        return std::nullopt;
    }
    return file->bytes;
}

bool WriteFileBytes(std::string_view path, std::string_view bytes) {
    auto output = OutputFile::Open(path, OutputFile::Mode::kCreate);
    return output && output->WriteRaw(bytes);
}

bool DeleteFile(std::string_view path) {
    return sim::machine().RemoveFile(path);
}
bool CreateDirectory(std::string_view path) {
    auto& m = sim::machine();
    if (m.FolderExists(path)) {
        return false;
    }
    m.AddFolder(path);
    return true;
}
bool RemoveDirectory(std::string_view path) {
    return sim::machine().RemoveFolder(path);
}

std::optional<std::int64_t> FileLen(std::string_view path) {
    const sim::File* file = sim::machine().FindFile(path);
    if (file == nullptr) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(file->bytes.size());
}

std::optional<DateTime> FileDateTime(std::string_view path) {
    const sim::File* file = sim::machine().FindFile(path);
    if (file == nullptr) {
        return std::nullopt;
    }
    return file->lastWrite;
}

std::string Dir(std::string_view pattern) {
    const sim::File* file = sim::machine().FindFile(pattern);
    constexpr std::uint32_t kHiddenOrSystem =
        kernel32::kFileAttributeHidden | kernel32::kFileAttributeSystem;
    if (file == nullptr || (file->attributes & kHiddenOrSystem) != 0) {
        return "";
    }
    const auto cut = file->path.find_last_of('\\');
    return file->path.substr(cut + 1);
}

std::string CurDir() {
    return sim::machine().currentDirectory;
}

bool ChDir(std::string_view path) {
    auto& m = sim::machine();
    if (!m.FolderExists(path)) {
        return false;
    }
    std::string absolute = m.Absolute(path);
    while (absolute.size() > 3 && absolute.ends_with('\\')) {
        absolute.pop_back();
    }
    m.currentDirectory = absolute;
    return true;
}

DateTime Now() {
    return sim::machine().now;
}

std::string FormatShortDate(const DateTime& date) {
    return FormatDatePicture(date, sim::machine().shortDateFormat);
}

std::string Environ(std::string_view name) {
    return sim::machine().GetEnv(name).value_or("");
}

bool SetEnviron(std::string_view name, std::string_view value) {
    sim::machine().SetEnv(name, value);
    return true;
}

}  // namespace platform::runtime
