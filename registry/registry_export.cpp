// ExportToReg: a key tree into a new REGEDIT4 registry script file.
#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/kernel32.h"
#include "platform/runtime.h"
#include "registry/key_path.h"
#include "registry/reg_file_writer.h"
#include "registry/registry_access.h"
#include "registry/value_data.h"

namespace registry {
namespace {

namespace reg = platform::registry;
using Kind = ExportedValue::Kind;

ExportedValue ToExported(std::string name, const reg::Value& value) {
    ExportedValue out;
    out.name = std::move(name);
    if (value.type == reg::kRegSz) {
        out.kind = Kind::kString;
        out.text = TextOf(value);
    } else if (value.type == reg::kRegBinary) {
        out.kind = Kind::kBinary;
        out.bytes = value.data;
    } else if (value.type == reg::kRegDword && value.data.size() == 4) {
        out.kind = Kind::kDword;
        out.dword = DwordOf(value).value_or(0);
    } else {
        // Every other type (and a DWORD of another size) as its bytes, so nothing is lost.
        out.kind = Kind::kTyped;
        out.type = value.type;
        out.bytes = AnsiBytes(value);
    }
    return out;
}

std::string JoinPath(std::string_view parent, std::string_view child) {
    std::string path(parent);
    if (!path.ends_with('\\')) {
        path += '\\';
    }
    path += child;
    return path;
}

// Every key below `path`, depth first: each subkey followed by its own subkeys.
void CollectSubkeys(const clsRegistryAccess& registry, const std::string& path,
                    std::vector<std::string>& keys) {
    std::vector<std::string> names;
    registry.EnumKeys(path, names);
    for (const std::string& name : names) {
        std::string subkey = JoinPath(path, name);
        keys.push_back(subkey);  // may move the strings of `keys`: recurse with a copy
        CollectSubkeys(registry, subkey, keys);
    }
}

// Formats the sections of a list of keys on a few threads, at most a bounded number ahead of
// the one taken last, and hands them over in list order.
class SectionReader {
  public:
    using Format = std::function<std::string(const std::string& path)>;

    SectionReader(const std::vector<std::string>& keys, Format format)
        : keys_(keys), format_(std::move(format)), slots_(keys.size()) {
        const unsigned count = std::clamp(std::thread::hardware_concurrency(), 2u, 4u);
        for (unsigned i = 0; i < count; ++i) {
            threads_.emplace_back([this] { Work(); });
        }
    }
    SectionReader(const SectionReader&) = delete;
    SectionReader& operator=(const SectionReader&) = delete;
    ~SectionReader() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }

    // The section of key `index`, nullopt when it could not be formatted.
    std::optional<std::string> Take(std::size_t index) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return slots_[index].ready; });
        Slot& slot = slots_[index];
        std::optional<std::string> section;
        if (slot.formatted) {
            section = std::move(slot.text);
        }
        slot.text = {};
        taken_ = index + 1;
        lock.unlock();
        changed_.notify_all();
        return section;
    }

  private:
    static constexpr std::size_t kLookahead = 256;

    struct Slot {
        bool ready = false;
        bool formatted = false;
        std::string text;
    };

    void Work() {
        std::unique_lock lock(mutex_);
        while (true) {
            changed_.wait(lock, [&] {
                return stopping_ || next_ >= keys_.size() || next_ < taken_ + kLookahead;
            });
            if (stopping_ || next_ >= keys_.size()) {
                return;
            }
            const std::size_t index = next_++;
            lock.unlock();
            Slot slot;
            try {
                slot.text = format_(keys_[index]);
                slot.formatted = true;
            } catch (...) {  // reported to the writer as a failed section
            }
            slot.ready = true;
            lock.lock();
            slots_[index] = std::move(slot);
            changed_.notify_all();
        }
    }

    const std::vector<std::string>& keys_;
    Format format_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Slot> slots_;
    std::size_t next_ = 0;
    std::size_t taken_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace

long clsRegistryAccess::ExportToReg(std::string_view sPath, std::string_view sRegFile,
                                    bool IncludeSubkeys, const ExportProgress& Output) const {
    if (platform::kernel32::GetFileAttributes(sRegFile)) {
        return 0;  // an existing file is never overwritten
    }
    const auto file =
        platform::runtime::OutputFile::Open(sRegFile, platform::runtime::OutputFile::Mode::kCreate);
    if (!file || !file->WriteRaw(kRegFileHeader)) {
        return 0;
    }
    return ExportKeyToReg(LongRootPath(sPath), *file, IncludeSubkeys, Output) ? 1 : 0;
}

// Writes one key's section, then the sections of its subkeys, depth first. A key that cannot
// be opened gives a section of its key line alone. The sections are read from the registry on
// a few threads ahead of the writer, so that the registry (a server under Wine) has work
// queued, and are written in order; a failed write stops the export there.
bool clsRegistryAccess::ExportKeyToReg(const std::string& sPath,
                                       platform::runtime::OutputFile& file, bool IncludeSubkeys,
                                       const ExportProgress& Output) const {
    std::vector<std::string> keys{sPath};
    if (IncludeSubkeys) {
        CollectSubkeys(*this, sPath, keys);
    }
    SectionReader sections(keys, [](const std::string& path) {
        std::vector<NamedValue> values;
        ReadAllValues(path, values);
        std::vector<ExportedValue> exported;
        exported.reserve(values.size());
        for (NamedValue& entry : values) {
            exported.push_back(ToExported(std::move(entry.name), entry.value));
        }
        return platform::kernel32::Utf8ToAnsi(FormatRegSection(path, exported));
    });
    for (std::size_t index = 0; index < keys.size(); ++index) {
        if (Output) {
            Output(keys[index]);
        }
        const auto section = sections.Take(index);
        if (!section || !file.WriteRaw(*section)) {
            return false;
        }
    }
    return true;
}

}  // namespace registry
