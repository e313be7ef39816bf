// ExportToReg: a key tree into a new REGEDIT4 registry script file.
#include <algorithm>
#include <condition_variable>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/kernel32.h"
#include "platform/runtime.h"
#include "registry/key_path.h"
#include "registry/ordered_lanes.h"
#include "registry/reg_file_writer.h"
#include "registry/registry_access.h"

namespace registry {
namespace {

namespace reg = platform::registry;

// Threads that read keys: under Wine each keeps one call queued at the server, and costs the
// process about 1 MB (see the import).
constexpr unsigned kReaders = 5;
// Keys read ahead of the writer at most; their sections wait in memory to be written.
constexpr std::size_t kReadAhead = 32;
// Bytes gathered before they go to the file.
constexpr std::size_t kWriteSize = 64 * 1024;

// What the writer needs of one key.
struct KeyRead {
    std::string failure;  // why the key could not be read; then nothing else is set
    std::string section;  // in the ANSI code page
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
    return platform::kernel32::Utf8ToAnsiExact(utf8);
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
KeyRead ReadKey(const std::string& path, bool includeSubkeys) {
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
        if (auto reason = UnwritableKeyName(name, ToAnsi)) {
            read.omittedKeys.push_back({JoinPath(path, name), true, "", std::move(*reason)});
        } else {
            read.subkeys.push_back(std::move(name));
        }
    }
    ExactSection section = FormatExactSection(path, values, ToAnsi);
    read.section = std::move(section.ansi);
    read.omitted = std::move(section.omitted);
    return read;
}

// A key the writer has still to write, and the number of its read once one was started.
struct PendingKey {
    std::string path;
    std::optional<std::size_t> read;
};

// Starts the reads of the keys the writer takes next (the top of its stack), up to kReadAhead
// started and not yet taken; the very next key is always started. The reads are handed over
// through one table: a wait object per key would cost a call to the server each under Wine.
class ReadAhead {
  public:
    explicit ReadAhead(bool includeSubkeys)
        : includeSubkeys_(includeSubkeys), lanes_(kReaders, kReadAhead) {}

    void Start(std::vector<PendingKey>& stack) {
        // Refilled in bursts: waking an idle reader is itself a call to the server under Wine.
        if (Started() > kReadAhead / 2 && stack.back().read) {
            return;
        }
        const std::size_t lowest = stack.size() - std::min(stack.size(), kReadAhead);
        for (std::size_t i = stack.size(); i-- > lowest;) {
            PendingKey& key = stack[i];
            if (key.read) {
                continue;
            }
            if (Started() >= kReadAhead && i + 1 != stack.size()) {
                break;
            }
            key.read = next_++;
            {
                const std::lock_guard lock(mutex_);
                ++started_;
            }
            lanes_.Post(*key.read,
                        [this, number = *key.read, path = key.path] { Done(number, Read(path)); });
        }
    }

    KeyRead Take(const PendingKey& key) {
        std::unique_lock lock(mutex_);
        while (!done_.contains(*key.read)) {
            awaited_ = *key.read;
            changed_.wait(lock);
        }
        awaited_.reset();
        const auto found = done_.find(*key.read);
        Result result = std::move(found->second);
        done_.erase(found);
        --started_;
        lock.unlock();
        if (result.failure) {
            std::rethrow_exception(result.failure);
        }
        return std::move(result.read);
    }

  private:
    std::size_t Started() {
        const std::lock_guard lock(mutex_);
        return started_;
    }

    struct Result {
        KeyRead read;
        std::exception_ptr failure;  // no memory for it, for instance
    };

    Result Read(const std::string& path) const {
        Result result;
        try {
            result.read = ReadKey(path, includeSubkeys_);
        } catch (...) {
            result.failure = std::current_exception();
        }
        return result;
    }

    // Wakes the writer once the read it waits for is there and a few more, or no other read is
    // running: every wake-up is a call to the server under Wine.
    void Done(std::size_t number, Result result) {
        std::unique_lock lock(mutex_);
        done_.emplace(number, std::move(result));
        if (awaited_ && done_.contains(*awaited_) &&
            (done_.size() >= kWakeAfter || done_.size() == started_)) {
            awaited_.reset();
            lock.unlock();
            changed_.notify_one();
        }
    }

    static constexpr std::size_t kWakeAfter = 6;

    bool includeSubkeys_;
    std::size_t next_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t started_ = 0;  // reads started and not yet taken
    std::map<std::size_t, Result> done_;
    std::optional<std::size_t> awaited_;  // the read the writer waits for
    OrderedLanes lanes_;                  // last: its threads end before the table they fill goes
};

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

}  // namespace

long clsRegistryAccess::ExportToReg(std::string_view sPath, std::string_view sRegFile,
                                    bool IncludeSubkeys, const ExportProgress& Output,
                                    const ExportLeftOutReport& LeftOut) const {
    // Created new, so that a file that appears meanwhile is not overwritten either.
    const auto file = platform::runtime::OutputFile::Open(
        sRegFile, platform::runtime::OutputFile::Mode::kCreateNew);
    if (!file || !file->WriteRaw(kRegFileHeader)) {
        return 0;
    }
    try {
        return ExportKeyToReg(LongRootPath(sPath), *file, IncludeSubkeys, Output, LeftOut) ? 1 : 0;
    } catch (const std::exception&) {  // no memory or no thread for the export
        return 0;
    }
}

// Writes one key's section, then the sections of its subkeys, depth first. A few threads read
// the keys the writer needs next, so that the registry (a server under Wine) has work queued;
// the sections are written in order. Whatever cannot be written exactly is left out and
// reported; a failed write stops the export there.
bool clsRegistryAccess::ExportKeyToReg(const std::string& sPath,
                                       platform::runtime::OutputFile& file, bool IncludeSubkeys,
                                       const ExportProgress& Output,
                                       const ExportLeftOutReport& LeftOut) const {
    bool complete = true;
    const auto leaveOut = [&](ExportLeftOut item) {
        complete = false;
        if (LeftOut) {
            LeftOut(item);
        }
    };
    if (auto reason = UnwritableKeyName(sPath, ToAnsi)) {
        leaveOut({sPath, true, "", std::move(*reason)});
        return false;
    }
    ReadAhead readAhead(IncludeSubkeys);
    FileWriter writer(file);
    std::vector<PendingKey> stack;
    stack.push_back({sPath, {}});
    while (!stack.empty()) {
        readAhead.Start(stack);
        PendingKey pending = std::move(stack.back());
        stack.pop_back();
        if (Output) {
            Output(pending.path);
        }
        KeyRead read = readAhead.Take(pending);
        if (!read.failure.empty()) {
            leaveOut({pending.path, true, "", std::move(read.failure)});
            continue;
        }
        if (!writer.Write(read.section)) {
            return false;
        }
        for (OmittedValue& value : read.omitted) {
            leaveOut({pending.path, false, std::move(value.name), std::move(value.reason)});
        }
        for (ExportLeftOut& key : read.omittedKeys) {
            leaveOut(std::move(key));
        }
        for (auto name = read.subkeys.rbegin(); name != read.subkeys.rend(); ++name) {
            stack.push_back({JoinPath(pending.path, *name), {}});
        }
    }
    return writer.Flush() && complete;
}

}  // namespace registry
