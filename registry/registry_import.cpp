// ImportFromReg: applies a REGEDIT4 registry script file, read and converted as a stream.
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/kernel32.h"
#include "platform/runtime.h"
#include "platform/text.h"
#include "registry/key_path.h"
#include "registry/ordered_lanes.h"
#include "registry/reg_file_reader.h"
#include "registry/registry_access.h"
#include "registry/value_data.h"

namespace registry {
namespace {

namespace reg = platform::registry;
using Kind = RegOperation::Kind;

// Bytes read from the file at a time; the lines in flight stay within a few of these.
constexpr std::size_t kReadSize = 64 * 1024;
// Threads that write values. Under Wine every registry call waits for the server's answer, so
// the threads decide how many calls the server has queued; but each thread costs the process
// about 1 MB there. Five keep the server busy within twice the memory of Wine's regedit.
constexpr unsigned kLanes = 5;
// Value operations handed to a lane at a time, and the batches a lane may hold.
constexpr std::size_t kBatchOperations = 128;
constexpr std::size_t kBatchBytes = 1 << 20;
constexpr std::size_t kBatchesPerLane = 4;
// A first line longer than this without its CR LF is no header.
constexpr std::size_t kLongestHeader = 64;

std::string RefusedReason(long error) {
    switch (error) {
        case reg::kErrorAccessDenied:
            return "refused by the registry: access denied";
        case reg::kErrorFileNotFound:
            return "refused by the registry: not found";
        default:
            return "refused by the registry: error " + std::to_string(error);
    }
}

// The key of one section, created when the reader reaches its key line and shared by the jobs
// that write into it; closed when the last of them is done.
struct SectionKey {
    std::string path;  // as the file spells it
    reg::Key key;      // empty when it could not be created
};

// What the file asked, for a refused value operation: its key line and the value's name.
std::string DescribeValue(const SectionKey& section, const RegOperation& op) {
    return "[" + section.path + "] " + (op.name.empty() ? "@" : "\"" + op.name + "\"");
}

// Writes or deletes one value; the registry's error, 0 when done. Deleting a value that is not
// there leaves what the line asks for.
long ApplyValue(reg::RawKey key, const RegOperation& op) {
    switch (op.kind) {
        case Kind::kSetString:
            return reg::SetValue(key, op.name, reg::kRegSz,
                                 platform::text::EncodeRegistryString(op.text));
        case Kind::kSetDword:
            return reg::SetValue(key, op.name, reg::kRegDword, DwordBytes(op.dword));
        case Kind::kSetBinary:
            return reg::SetValue(key, op.name, reg::kRegBinary, op.bytes);
        case Kind::kSetTyped:
            return reg::SetValue(key, op.name, op.type, StoredBytesFromAnsi(op.type, op.bytes));
        case Kind::kDeleteValue: {
            const long error = reg::DeleteValue(key, op.name);
            return error == reg::kErrorFileNotFound ? reg::kErrorSuccess : error;
        }
        default:
            return reg::kErrorSuccess;
    }
}

// Problems found on the lanes, kept for the importing thread.
class ProblemBox {
  public:
    void Add(ImportProblem problem) {
        const std::lock_guard lock(mutex_);
        problems_.push_back(std::move(problem));
    }
    std::vector<ImportProblem> Take() {
        const std::lock_guard lock(mutex_);
        return std::exchange(problems_, {});
    }

  private:
    std::mutex mutex_;
    std::vector<ImportProblem> problems_;
};

// The value operations of one section, in file order, applied on a lane.
void ApplyBatch(const SectionKey& section, const std::vector<RegOperation>& batch,
                ProblemBox& problems) {
    for (const RegOperation& op : batch) {
        std::string reason;
        try {
            const long error = ApplyValue(section.key.get(), op);
            if (error != reg::kErrorSuccess) {
                reason = RefusedReason(error);
            }
        } catch (const std::exception& failure) {  // such as a value too large for memory
            reason = std::string("not applied: ") + failure.what();
        }
        if (!reason.empty()) {
            problems.Add({op.line, DescribeValue(section, op), std::move(reason)});
        }
    }
}

// The lane of a key: the same for every spelling of one key (the registry's own name for it
// decides), so that everything done to one key stays in file order.
std::size_t LaneOf(const SectionKey& section) {
    std::string name;
    if (reg::KeyObjectName(section.key.get(), name) != reg::kErrorSuccess) {
        const KeyPath path = ParseKeyPath(section.path);
        name = std::to_string(path.root) + "\\" + platform::text::AsciiUpper(path.subKey);
    }
    return std::hash<std::string>{}(name);
}

// Applies what the reader hands over as reading the lines one by one would: sections are
// created and keys deleted on the importing thread; the value operations of a section go to
// the lane of its key in batches. A key deletion may reach any key, so it waits for every
// operation before it.
class ScriptApplier final : public RegScriptSink {
  public:
    explicit ScriptApplier(const ImportProblemReport& report)
        : report_(report), lanes_(kLanes, kBatchesPerLane) {}
    ScriptApplier(const ScriptApplier&) = delete;
    ScriptApplier& operator=(const ScriptApplier&) = delete;
    ~ScriptApplier() = default;

    void Operation(RegOperation&& op) override {
        switch (op.kind) {
            case Kind::kOpenKey:
                OpenSection(op);
                break;
            case Kind::kDeleteTree:
                DeleteTree(op);
                break;
            default:
                AddValueOperation(std::move(op));
                break;
        }
    }

    void Problem(RegLineProblem&& problem) override {
        Report({problem.line, std::move(problem.text), std::move(problem.reason)});
    }

    void Report(ImportProblem problem) {
        applied_ = false;
        if (report_) {
            report_(problem);
        }
    }

    // Passes on what the lanes found so far.
    void ReportLaneProblems() {
        for (ImportProblem& problem : laneProblems_.Take()) {
            Report(std::move(problem));
        }
        for (std::string& failure : lanes_.TakeFailures()) {
            Report({0, "", "a worker failed: " + failure});
        }
    }

    // Waits for every operation; true when every one was applied and no line had a problem.
    bool Finish() {
        FlushBatch();
        lanes_.Drain();
        section_.reset();
        ReportLaneProblems();
        return applied_;
    }

  private:
    void OpenSection(const RegOperation& op) {
        FlushBatch();
        section_ = std::make_shared<SectionKey>();
        section_->path = op.keyPath;
        const KeyPath path = ParseKeyPath(op.keyPath);
        if (path.root == 0) {
            Report({op.line, "[" + op.keyPath + "]", "no root key name at its start"});
            return;
        }
        const long error =
            reg::CreateKey(reg::PredefinedKey(path.root), path.subKey, section_->key);
        if (error != reg::kErrorSuccess) {
            Report({op.line, "[" + op.keyPath + "]", RefusedReason(error)});
            return;
        }
        sectionLane_ = LaneOf(*section_);
    }

    void DeleteTree(const RegOperation& op) {
        FlushBatch();
        section_.reset();
        lanes_.Drain();
        const std::string line = "[-" + op.keyPath + "]";
        const KeyPath path = ParseKeyPath(op.keyPath);
        if (path.root == 0) {
            Report({op.line, line, "no root key name at its start"});
            return;
        }
        if (NamesARoot(path)) {
            Report({op.line, line, "deleting a root key as a whole is refused"});
            return;
        }
        const long error = reg::DeleteTree(reg::PredefinedKey(path.root), path.subKey);
        if (error != reg::kErrorSuccess && error != reg::kErrorFileNotFound) {
            Report({op.line, line, RefusedReason(error)});
        }
    }

    void AddValueOperation(RegOperation&& op) {
        if (!section_ || !section_->key) {
            const std::string path = section_ ? section_->path : std::string();
            Report({op.line, "[" + path + "] " + (op.name.empty() ? "@" : "\"" + op.name + "\""),
                    "its key could not be created"});
            return;
        }
        batchBytes_ += op.bytes.size() + op.text.size();
        batch_.push_back(std::move(op));
        if (batch_.size() >= kBatchOperations || batchBytes_ >= kBatchBytes) {
            FlushBatch();
        }
    }

    void FlushBatch() {
        if (batch_.empty()) {
            return;
        }
        lanes_.Post(sectionLane_,
                    [section = section_, batch = std::move(batch_), problems = &laneProblems_] {
                        ApplyBatch(*section, batch, *problems);
                    });
        batch_ = {};
        batchBytes_ = 0;
    }

    const ImportProblemReport& report_;
    bool applied_ = true;
    ProblemBox laneProblems_;  // outlives the lanes, whose last jobs may still add to it
    OrderedLanes lanes_;
    std::shared_ptr<SectionKey> section_;
    std::size_t sectionLane_ = 0;
    std::vector<RegOperation> batch_;
    std::size_t batchBytes_ = 0;
};

// Feeds the reader the lines of a block of complete ANSI lines; false when the header is
// refused.
bool ReadBlock(std::string_view ansiLines, RegScriptReader& reader) {
    const std::string text = platform::kernel32::AnsiToUtf8(ansiLines);
    std::string_view rest = text;
    while (!rest.empty()) {
        const auto end = rest.find("\r\n");
        if (!reader.Line(rest.substr(0, end))) {
            return false;
        }
        rest.remove_prefix(end + 2);  // every line of the block ends with CR LF
    }
    return true;
}

enum class ReadOutcome { kRead, kNotAScript, kUnreadable };

// Reads the file through the reader into the applier.
ReadOutcome ReadScript(platform::runtime::InputFile& file, ScriptApplier& applier) {
    RegScriptReader reader(applier);
    LineCutter cutter;
    std::vector<char> buffer(kReadSize);
    bool headerRead = false;
    while (true) {
        const auto count = file.Read(buffer);
        if (!count) {
            return ReadOutcome::kUnreadable;
        }
        if (*count == 0) {
            break;
        }
        const std::string lines = cutter.Add(std::string_view(buffer.data(), *count));
        if (!ReadBlock(lines, reader)) {
            return ReadOutcome::kNotAScript;
        }
        headerRead = headerRead || !lines.empty();
        if (!headerRead && cutter.Rest().size() > kLongestHeader) {
            return ReadOutcome::kNotAScript;
        }
        applier.ReportLaneProblems();
    }
    // The last line, without CR LF (a file of one line is its header alone).
    if (!reader.Line(platform::kernel32::AnsiToUtf8(cutter.Rest()))) {
        return ReadOutcome::kNotAScript;
    }
    reader.Finish();
    return ReadOutcome::kRead;
}

}  // namespace

long clsRegistryAccess::ImportFromReg(std::string_view sRegFile,
                                      const ImportProblemReport& Problems) {
    createKeyIfMissing_ = true;
    const auto report = [&](ImportProblem problem) {
        if (Problems) {
            Problems(problem);
        }
    };
    const auto file = platform::runtime::InputFile::Open(sRegFile);
    if (!file) {
        report({0, "", "the file cannot be opened"});
        return 0;
    }
    try {
        ScriptApplier applier(Problems);
        switch (ReadScript(*file, applier)) {
            case ReadOutcome::kNotAScript:
                report({1, "", "not a REGEDIT4 registry script"});
                return 0;
            case ReadOutcome::kUnreadable:
                applier.Finish();
                report({0, "", "the file could not be read to its end"});
                return 0;
            case ReadOutcome::kRead:
                break;
        }
        return applier.Finish() ? 1 : 0;
    } catch (const std::exception& failure) {  // no memory for a line, no thread to start
        report({0, "", std::string("the import stopped: ") + failure.what()});
        return 0;
    }
}

}  // namespace registry
