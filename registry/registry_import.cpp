// ImportFromReg: applies a REGEDIT4 registry script file through the class's own operations.
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "platform/kernel32.h"
#include "platform/runtime.h"
#include "platform/text.h"

#include "registry/key_path.h"
#include "registry/reg_file_reader.h"
#include "registry/registry_access.h"
#include "registry/value_data.h"

namespace registry {
namespace {

namespace reg = platform::registry;

// The key that the values of a section go to, opened (and created when missing) at its first
// value and kept open while the section's values are written: a script writes thousands of
// values key by key, and opening the key for each of them would cost most of the import.
class SectionKey {
  public:
    // The open key of `path`; 0 when it cannot be created or opened.
    reg::RawKey For(std::string_view path) {
        if (!path_ || *path_ != path) {
            key_.reset();
            path_ = std::string(path);
            const KeyPath parsed = ParseKeyPath(path);
            if (parsed.root != 0) {
                reg::CreateKey(reg::PredefinedKey(parsed.root), parsed.subKey, key_);
            }
        }
        return key_.get();
    }

    // Closes the key, before keys are deleted.
    void Forget() {
        key_.reset();
        path_.reset();
    }

  private:
    std::optional<std::string> path_;
    reg::Key key_;
};

// Writes one value operation through the lane's open key.
void ApplyWrite(SectionKey& section, const RegOperation& op) {
    using Kind = RegOperation::Kind;
    const reg::RawKey key = section.For(op.keyPath);
    if (key == 0) {
        return;
    }
    switch (op.kind) {
        case Kind::kSetString:
            reg::SetValue(key, op.name, reg::kRegSz, platform::text::EncodeRegistryString(op.text));
            break;
        case Kind::kSetDword:
            reg::SetValue(key, op.name, reg::kRegDword, DwordBytes(op.dword));
            break;
        case Kind::kSetBinary:
            reg::SetValue(key, op.name, reg::kRegBinary, op.bytes);
            break;
        case Kind::kSetTyped:
            reg::SetValue(key, op.name, op.type, StoredBytesFromAnsi(op.type, op.bytes));
            break;
        default:
            break;
    }
}

// Writes the values of a script on a few threads. Every write to one key goes to the same
// lane, in file order, so each key receives its values in the order the file gives them;
// the registry itself (a server under Wine) then has work queued instead of waiting for one
// caller at a time. Drain() waits until every write queued so far is done.
class WriteLanes {
  public:
    explicit WriteLanes(unsigned count) : lanes_(count) {
        for (Lane& lane : lanes_) {
            lane.thread = std::thread([&lane] { Work(lane); });
        }
    }
    WriteLanes(const WriteLanes&) = delete;
    WriteLanes& operator=(const WriteLanes&) = delete;
    ~WriteLanes() {
        for (Lane& lane : lanes_) {
            {
                const std::lock_guard lock(lane.mutex);
                lane.stopping = true;
            }
            lane.changed.notify_all();
        }
        for (Lane& lane : lanes_) {
            lane.thread.join();
        }
    }

    void Write(const RegOperation& op) {
        Lane& lane = lanes_[std::hash<std::string>{}(platform::text::AsciiUpper(op.keyPath)) %
                            lanes_.size()];
        std::unique_lock lock(lane.mutex);
        lane.changed.wait(lock, [&] { return lane.queue.size() < kQueueLimit; });
        lane.queue.push_back(op);
        lock.unlock();
        lane.changed.notify_all();
    }

    // Waits for every queued write, then closes the keys the lanes keep open.
    void Drain() {
        for (Lane& lane : lanes_) {
            std::unique_lock lock(lane.mutex);
            lane.changed.wait(lock, [&] { return lane.queue.empty() && !lane.busy; });
            lane.section.Forget();
        }
    }

  private:
    // Bounds the memory a large script takes while the registry catches up.
    static constexpr std::size_t kQueueLimit = 4096;

    struct Lane {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<RegOperation> queue;
        bool busy = false;
        bool stopping = false;
        SectionKey section;
        std::thread thread;
    };

    static void Work(Lane& lane) {
        std::unique_lock lock(lane.mutex);
        while (true) {
            lane.changed.wait(lock, [&] { return !lane.queue.empty() || lane.stopping; });
            if (lane.queue.empty()) {
                return;
            }
            RegOperation op = std::move(lane.queue.front());
            lane.queue.pop_front();
            lane.busy = true;
            lock.unlock();
            lane.changed.notify_all();
            ApplyWrite(lane.section, op);
            lock.lock();
            lane.busy = false;
            lane.changed.notify_all();
        }
    }

    std::vector<Lane> lanes_;
};

unsigned LaneCount() {
    return std::clamp(std::thread::hardware_concurrency(), 2u, 4u);
}

}  // namespace

long clsRegistryAccess::ImportFromReg(std::string_view sRegFile) {
    using Kind = RegOperation::Kind;

    createKeyIfMissing_ = true;
    const auto bytes = platform::runtime::ReadFileBytes(sRegFile);
    if (!bytes) {
        return 0;
    }
    // Each operation is applied as the reader reaches it. A failed one does not stop the
    // import, as a registry editor goes on past it. Every value write creates its key when
    // needed, as CreateKeyIfDoesntExists asks. Deletions wait for the writes before them.
    WriteLanes lanes(LaneCount());
    const auto apply = [&](const RegOperation& op) {
        switch (op.kind) {
            case Kind::kDeleteTree:
                lanes.Drain();
                KillTree(op.keyPath);
                break;
            case Kind::kDeleteValue:
                lanes.Drain();
                KillValue(op.keyPath, op.name);
                break;
            default:
                lanes.Write(op);
                break;
        }
    };
    const bool read = ReadRegFile(platform::kernel32::AnsiToUtf8(*bytes), apply);
    lanes.Drain();
    return read ? 1 : 0;
}

}  // namespace registry
