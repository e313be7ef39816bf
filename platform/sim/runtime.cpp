// Simulated run-time services over the simulated file system, environment and clock.
#include "platform/runtime.h"

#include <algorithm>

#include "platform/date_format.h"
#include "platform/kernel32.h"
#include "platform/sim/machine.h"
#include "platform/text.h"

namespace platform::runtime {
namespace {

std::string ParentFolder(const std::string& absolute) {
    const auto cut = absolute.find_last_of('\\');
    return cut == std::string::npos ? "" : absolute.substr(0, cut == 2 ? 3 : cut);
}

std::size_t FreeBytes(const sim::Machine& m) {
    return m.freeDiskBytes.value_or(std::string_view::npos);
}

class SimOutputFile final : public OutputFile {
  public:
    explicit SimOutputFile(std::string path) : path_(std::move(path)) {}

    bool PrintLine(std::string_view text) override {
        return WriteRaw(kernel32::Utf8ToAnsi(text) + "\r\n");
    }

    bool WriteRaw(std::string_view bytes) override {
        auto& m = sim::machine();
        sim::File* file = m.FindFile(path_);
        if (file == nullptr) {
            return false;
        }
        const std::string_view fitting = bytes.substr(0, std::min(bytes.size(), FreeBytes(m)));
        file->bytes += fitting;
        if (m.freeDiskBytes) {
            *m.freeDiskBytes -= fitting.size();
        }
        return fitting.size() == bytes.size();
    }

  private:
    std::string path_;
};

class SimExclusiveFile final : public ExclusiveFile {
  public:
    explicit SimExclusiveFile(std::string path) : path_(std::move(path)) {}
    ~SimExclusiveFile() override {
        if (sim::File* file = sim::machine().FindFile(path_)) {
            file->heldExclusively = false;
        }
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

std::unique_ptr<ExclusiveFile> ExclusiveFile::Open(std::string_view path) {
    sim::File* file = sim::machine().FindFile(path);
    if (file == nullptr || file->heldExclusively) {
        return nullptr;
    }
    file->heldExclusively = true;
    return std::make_unique<SimExclusiveFile>(sim::machine().Absolute(path));
}

std::unique_ptr<OutputFile> OutputFile::Open(std::string_view path, Mode mode) {
    auto& m = sim::machine();
    const std::string absolute = m.Absolute(path);
    const std::string folder = ParentFolder(absolute);
    if (!m.FolderExists(folder) || m.FolderExists(absolute) || m.FolderIsReadOnly(folder)) {
        return nullptr;
    }
    sim::File* existing = m.FindFile(absolute);
    if (existing != nullptr && ((existing->attributes & kernel32::kFileAttributeReadOnly) != 0 ||
                                existing->heldExclusively)) {
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
    if (file == nullptr || file->heldExclusively) {
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

bool SetFileDateTime(std::string_view path, const DateTime& localTime) {
    sim::File* file = sim::machine().FindFile(path);
    if (file == nullptr) {
        return false;
    }
    file->lastWrite = localTime;
    return true;
}

namespace {

// Whether `name` matches a file pattern with "*" (any run) and "?" (any one character),
// without regard to letter case.
bool MatchesPattern(std::string_view name, std::string_view pattern) {
    if (pattern.empty()) {
        return name.empty();
    }
    if (pattern[0] == '*') {
        for (std::size_t skip = 0; skip <= name.size(); ++skip) {
            if (MatchesPattern(name.substr(skip), pattern.substr(1))) {
                return true;
            }
        }
        return false;
    }
    return !name.empty() &&
           (pattern[0] == '?' ||
            text::AsciiUpper(name.substr(0, 1)) == text::AsciiUpper(pattern.substr(0, 1))) &&
           MatchesPattern(name.substr(1), pattern.substr(1));
}

}  // namespace

std::string Dir(std::string_view pattern) {
    constexpr std::uint32_t kHiddenOrSystem =
        kernel32::kFileAttributeHidden | kernel32::kFileAttributeSystem;
    auto& m = sim::machine();
    const std::string absolute = m.Absolute(pattern);
    const auto cut = absolute.find_last_of('\\');
    const std::string folder = m.Canonical(absolute.substr(0, cut));
    const std::string wanted = absolute.substr(cut + 1);
    for (const auto& [canonical, file] : m.files()) {
        const auto fileCut = file.path.find_last_of('\\');
        const std::string name = file.path.substr(fileCut + 1);
        if (m.Canonical(file.path.substr(0, fileCut)) == folder &&
            (file.attributes & kHiddenOrSystem) == 0 && MatchesPattern(name, wanted)) {
            return name;
        }
    }
    return "";
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

DateTime NowUtc() {
    return sim::machine().nowUtc;
}

std::string FormatShortDate(const DateTime& date) {
    return FormatDatePicture(date, sim::machine().shortDateFormat);
}

std::optional<std::string> FindEnviron(std::string_view name) {
    return sim::machine().GetEnv(name);
}

std::string Environ(std::string_view name) {
    return FindEnviron(name).value_or("");
}

bool SetEnviron(std::string_view name, std::string_view value) {
    sim::machine().SetEnv(name, value);
    return true;
}

bool UnsetEnviron(std::string_view name) {
    sim::machine().UnsetEnv(name);
    return true;
}

// The rule of the platform's expansion as Wine shows it: a reference to a variable that is not
// set (or to the empty name, "%%") is copied as written, both "%" included, and the text goes
// on after its closing "%"; a "%" without a closing one starts plain text to the end.
std::string ExpandEnviron(std::string_view text) {
    std::string result;
    for (auto open = text.find('%'); open != std::string_view::npos; open = text.find('%')) {
        result += text.substr(0, open);
        text.remove_prefix(open);
        const auto close = text.find('%', 1);
        if (close == std::string_view::npos) {
            break;
        }
        const std::string_view name = text.substr(1, close - 1);
        const auto value = name.empty() ? std::nullopt : sim::machine().GetEnv(name);
        result += value ? *value : std::string(text.substr(0, close + 1));
        text.remove_prefix(close + 1);
    }
    return result + std::string(text);
}

std::optional<std::uint32_t> RunProgram(std::string_view, const std::vector<EnvironmentChange>&) {
    return std::nullopt;
}

std::vector<std::string> ProgramArguments() {
    return sim::machine().programArguments;
}

bool WriteStandardOutput(std::string_view bytes) {
    auto& out = sim::machine().standardOutput;
    if (!out) {
        return false;
    }
    *out += bytes;
    return true;
}

bool WriteStandardError(std::string_view bytes) {
    auto& err = sim::machine().standardError;
    if (!err) {
        return false;
    }
    *err += bytes;
    return true;
}

void SuppressSystemErrorBoxes() {
    sim::machine().systemErrorBoxesSuppressed = true;
}

std::string PartFilePath(std::string_view path) {
    return std::string(path) + ".sim.part";
}

bool MoveFileNoReplace(std::string_view from, std::string_view to) {
    auto& m = sim::machine();
    const sim::File* file = m.FindFile(from);
    const std::string target = m.Absolute(to);
    const std::string folder = ParentFolder(target);
    if (file == nullptr || file->heldExclusively || m.FindFile(target) != nullptr ||
        m.FolderExists(target) || !m.FolderExists(folder) || m.FolderIsReadOnly(folder) ||
        m.FolderIsReadOnly(ParentFolder(m.Absolute(from)))) {
        return false;
    }
    const sim::File moved = *file;
    m.RemoveFile(from);
    m.AddFile(target, moved.bytes, moved.lastWrite, moved.attributes);
    return true;
}

bool ReplaceFileWhole(std::string_view path, std::string_view bytes) {
    // The simulated machine writes a file in one step: it has no readers in between.
    return WriteFileBytes(path, bytes);
}

}  // namespace platform::runtime
