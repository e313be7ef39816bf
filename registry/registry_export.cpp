// ExportToReg: a key tree into a new registry script file of either form.
#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/kernel32.h"
#include "platform/runtime.h"
#include "registry/key_path.h"
#include "registry/reg_file_writer.h"
#include "registry/registry_access.h"

namespace registry {
namespace {

namespace reg = platform::registry;

// Bytes gathered before they go to the file.
constexpr std::size_t kWriteSize = 64 * 1024;

// What the writer needs of one key.
struct KeyRead {
    std::string failure;  // why the key could not be read; then nothing else is set
    std::string section;  // as it goes into the file
    std::vector<OmittedValue> omitted;
    std::vector<std::string> subkeys;        // those that can be written, in platform order
    std::vector<ExportLeftOut> omittedKeys;  // those that cannot
};

std::string JoinPath(std::string_view parent, std::string_view child) {
    std::string path(parent);
    if (!path.ends_with('\\')) {
        path += '\\';
    }
    path += child;
    return path;
}

std::optional<std::string> ToAnsi(std::string_view utf8) {
    // ASCII, the usual section, is itself in every ANSI code page: no round of conversions.
    if (std::all_of(utf8.begin(), utf8.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return std::string(utf8);
    }
    return platform::kernel32::Utf8ToAnsiExact(utf8);
}

// Why a key of that name cannot be written in the form, nullopt when it can.
std::optional<std::string> UnwritableName(std::string_view name, RegScriptForm form) {
    return form == RegScriptForm::kUnicode ? UnwritableUnicodeKeyName(name)
                                           : UnwritableKeyName(name, ToAnsi);
}

std::string ReadFailure(const char* what, long error) {
    return std::string("its ") + what + " could not be read (error " + std::to_string(error) + ")";
}

// Every value of an open key, in the platform's order; the error that ended the list early.
long ReadValues(reg::RawKey key, std::vector<StoredValue>& values) {
    StoredValue entry;
    for (std::uint32_t index = 0;; ++index) {
        const long error = reg::EnumValue(key, index, entry.name, entry.value);
        if (error != reg::kErrorSuccess) {
            return error == reg::kErrorNoMoreItems ? reg::kErrorSuccess : error;
        }
        values.push_back(std::move(entry));
        entry = {};
    }
}

long ReadSubkeyNames(reg::RawKey key, std::vector<std::string>& names) {
    std::string name;
    for (std::uint32_t index = 0;; ++index) {
        const long error = reg::EnumKey(key, index, name);
        if (error != reg::kErrorSuccess) {
            return error == reg::kErrorNoMoreItems ? reg::kErrorSuccess : error;
        }
        names.push_back(name);
    }
}

// Reads one key and formats its section: opened once, its values and subkey names enumerated.
KeyRead ReadKey(const std::string& path, bool includeSubkeys, RegScriptForm form) {
    KeyRead read;
    const KeyPath parsed = ParseKeyPath(path);
    reg::Key key;
    if (const long error = parsed.root == 0 ? reg::kErrorInvalidHandle
                                            : reg::OpenKey(reg::PredefinedKey(parsed.root),
                                                           parsed.subKey, reg::kKeyRead, key);
        error != reg::kErrorSuccess) {
        read.failure = "it cannot be opened (error " + std::to_string(error) + ")";
        return read;
    }
    std::vector<StoredValue> values;
    if (const long error = ReadValues(key.get(), values); error != reg::kErrorSuccess) {
        read.failure = ReadFailure("values", error);
        return read;
    }
    std::vector<std::string> names;
    if (includeSubkeys) {
        if (const long error = ReadSubkeyNames(key.get(), names); error != reg::kErrorSuccess) {
            read.failure = ReadFailure("subkeys", error);
            return read;
        }
    }
    key.reset();
    for (std::string& name : names) {
        if (auto reason = UnwritableName(name, form)) {
            read.omittedKeys.push_back({JoinPath(path, name), true, "", std::move(*reason)});
        } else {
            read.subkeys.push_back(std::move(name));
        }
    }
    if (form == RegScriptForm::kUnicode) {
        read.section = Utf16LeBytes(FormatUnicodeSection(path, values));
        return read;
    }
    ExactSection section = FormatExactSection(path, values, ToAnsi);
    read.section = std::move(section.ansi);
    read.omitted = std::move(section.omitted);
    return read;
}

// Gathers the file's bytes and writes them a large piece at a time.
class FileWriter {
  public:
    explicit FileWriter(platform::runtime::OutputFile& file) : file_(file) {}

    bool Write(std::string_view bytes) {
        pending_ += bytes;
        return pending_.size() < kWriteSize || Flush();
    }

    bool Flush() {
        const bool written = pending_.empty() || file_.WriteRaw(pending_);
        pending_.clear();
        return written;
    }

  private:
    platform::runtime::OutputFile& file_;
    std::string pending_;
};

// How far an export came.
enum class ExportOutcome {
    kComplete,    // everything is in the file
    kLeftOut,     // the file is complete apart from what was left out and reported
    kNotWritten,  // the file could not be written to its end
};

// Writes one key's section, then the sections of its subkeys, depth first. Whatever cannot be
// written exactly is left out and reported; a failed write stops the export there.
ExportOutcome WriteKeyTree(const std::string& top, FileWriter& writer, bool includeSubkeys,
                           RegScriptForm form, const ExportProgress& progress,
                           const ExportLeftOutReport& report) {
    bool complete = true;
    const auto leaveOut = [&](ExportLeftOut item) {
        complete = false;
        if (report) {
            report(item);
        }
    };
    if (auto reason = UnwritableName(top, form)) {
        leaveOut({top, true, "", std::move(*reason)});
        return ExportOutcome::kLeftOut;
    }
    std::vector<std::string> stack{top};  // the keys still to write, the next one last
    while (!stack.empty()) {
        const std::string path = std::move(stack.back());
        stack.pop_back();
        if (progress) {
            progress(path);
        }
        KeyRead read = ReadKey(path, includeSubkeys, form);
        if (!read.failure.empty()) {
            leaveOut({path, true, "", std::move(read.failure)});
            continue;
        }
        if (!writer.Write(read.section)) {
            return ExportOutcome::kNotWritten;
        }
        for (OmittedValue& value : read.omitted) {
            leaveOut({path, false, std::move(value.name), std::move(value.reason)});
        }
        for (ExportLeftOut& key : read.omittedKeys) {
            leaveOut(std::move(key));
        }
        for (auto name = read.subkeys.rbegin(); name != read.subkeys.rend(); ++name) {
            stack.push_back(JoinPath(path, *name));
        }
    }
    if (!writer.Flush()) {
        return ExportOutcome::kNotWritten;
    }
    return complete ? ExportOutcome::kComplete : ExportOutcome::kLeftOut;
}

// The file an export writes, created new as a part file beside the file asked for. Moved into
// place, it takes that file's name without replacing a file that appeared meanwhile; otherwise
// it is deleted when it goes.
class PartFile {
  public:
    explicit PartFile(std::string_view target)
        : target_(target),
          path_(platform::runtime::PartFilePath(target)),
          output_(platform::runtime::OutputFile::Open(
              path_, platform::runtime::OutputFile::Mode::kCreateNew)),
          created_(output_ != nullptr) {}
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;
    ~PartFile() {
        output_.reset();
        if (created_ && !placed_) {
            platform::runtime::DeleteFile(path_);
        }
    }

    // nullptr when the part file could not be created.
    [[nodiscard]] platform::runtime::OutputFile* Output() const { return output_.get(); }

    bool MoveIntoPlace() {
        output_.reset();  // closed before it moves
        placed_ = created_ && platform::runtime::MoveFileNoReplace(path_, target_);
        return placed_;
    }

  private:
    std::string target_;
    std::string path_;
    std::unique_ptr<platform::runtime::OutputFile> output_;
    bool created_;
    bool placed_ = false;
};

}  // namespace

long clsRegistryAccess::ExportToReg(std::string_view sPath, std::string_view sRegFile,
                                    bool IncludeSubkeys, const ExportProgress& Output,
                                    const ExportLeftOutReport& LeftOut, RegScriptForm Form) const {
    // An existing file is never overwritten; one that appears meanwhile is kept by the move.
    if (platform::runtime::FileLen(sRegFile)) {
        return 0;
    }
    PartFile file(sRegFile);
    const std::string header =
        Form == RegScriptForm::kUnicode ? UnicodeFileStart() : std::string(kRegFileHeader);
    if (file.Output() == nullptr || !file.Output()->WriteRaw(header)) {
        return 0;
    }
    try {
        FileWriter writer(*file.Output());
        const ExportOutcome outcome =
            WriteKeyTree(LongRootPath(sPath), writer, IncludeSubkeys, Form, Output, LeftOut);
        if (outcome == ExportOutcome::kNotWritten || !file.MoveIntoPlace()) {
            return 0;
        }
        return outcome == ExportOutcome::kComplete ? 1 : 0;
    } catch (const std::exception&) {  // no memory for the export
        return 0;
    }
}

}  // namespace registry
