// ImportFromReg: applies a registry script file of either form, read and converted as a stream.
#include <algorithm>
#include <array>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "platform/kernel32.h"
#include "platform/runtime.h"
#include "platform/text.h"
#include "registry/key_path.h"
#include "registry/reg_file_reader.h"
#include "registry/reg_script_input.h"
#include "registry/registry_access.h"
#include "registry/value_data.h"

namespace registry {
namespace {

namespace reg = platform::registry;
using Kind = RegOperation::Kind;

// Bytes read from the file at a time; the lines in memory stay within a few of these.
constexpr std::size_t kReadSize = 64 * 1024;

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

// The key of one section, created when the reader reaches its key line.
struct SectionKey {
    std::string path;  // as the file spells it
    reg::Key key;      // empty when it could not be created
};

// What the file asked, for a refused value operation: its key line and the value's name.
std::string DescribeValue(const SectionKey& section, const RegOperation& op) {
    return "[" + section.path + "] " + (op.name.empty() ? "@" : "\"" + op.name + "\"");
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The stored bytes of a text (UTF-16LE with one NUL) in `out`, which keeps its memory from one
// value to the next.
void EncodeText(std::string_view utf8, std::vector<std::uint8_t>& out) {
    out.clear();
    if (!IsAscii(utf8)) {
        out = platform::text::EncodeRegistryString(utf8);
        return;
    }
    out.reserve(utf8.size() * 2 + 2);
    for (const char c : utf8) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    out.insert(out.end(), {0, 0});
}

// Writes or deletes one value, with `buffer` for its converted data; the registry's error, 0
// when done. Deleting a value that is not there leaves what the line asks for.
long ApplyValue(reg::RawKey key, const RegOperation& op, std::vector<std::uint8_t>& buffer) {
    switch (op.kind) {
        case Kind::kSetString:
            EncodeText(op.text, buffer);
            return reg::SetValue(key, op.name, reg::kRegSz, buffer);
        case Kind::kSetDword: {
            const auto bits = static_cast<std::uint32_t>(op.dword);
            const std::array<std::uint8_t, 4> bytes = {
                static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
            return reg::SetValue(key, op.name, reg::kRegDword, bytes);
        }
        case Kind::kSetBinary:
        case Kind::kSetStored:
            return reg::SetValue(key, op.name,
                                 op.kind == Kind::kSetBinary ? reg::kRegBinary : op.type, op.bytes);
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

// Applies what the reader hands over, one operation after another in file order, and reports
// each problem as it occurs. A section's key stays open for the value lines that follow it.
class ScriptApplier final : public RegScriptSink {
  public:
    explicit ScriptApplier(const ImportProblemReport& report) : report_(report) {}

    void Operation(RegOperation&& op) override {
        switch (op.kind) {
            case Kind::kOpenKey:
                OpenSection(op);
                break;
            case Kind::kDeleteTree:
                DeleteTree(op);
                break;
            default:
                ApplyValueOperation(op);
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

    // True when every operation was applied and no line had a problem.
    [[nodiscard]] bool Applied() const { return applied_; }

  private:
    void OpenSection(const RegOperation& op) {
        section_ = {};
        section_.path = op.keyPath;
        const KeyPath path = ParseKeyPath(op.keyPath);
        if (path.root == 0) {
            Report({op.line, "[" + op.keyPath + "]", "no root key name at its start"});
            return;
        }
        const long error = reg::CreateKey(reg::PredefinedKey(path.root), path.subKey, section_.key);
        if (error != reg::kErrorSuccess) {
            Report({op.line, "[" + op.keyPath + "]", RefusedReason(error)});
        }
    }

    void DeleteTree(const RegOperation& op) {
        section_ = {};
        const std::string line = "[-" + op.keyPath + "]";
        const KeyPath path = ParseKeyPath(op.keyPath);
        if (auto refusal = DeletionRefusal(path)) {
            Report({op.line, line, std::move(*refusal)});
            return;
        }
        const long error = reg::DeleteTree(reg::PredefinedKey(path.root), path.subKey);
        if (error != reg::kErrorSuccess && error != reg::kErrorFileNotFound) {
            Report({op.line, line, RefusedReason(error)});
        }
    }

    void ApplyValueOperation(const RegOperation& op) {
        if (!section_.key) {
            Report({op.line, DescribeValue(section_, op), "its key could not be created"});
            return;
        }
        std::string reason;
        try {
            if (const long error = ApplyValue(section_.key.get(), op, buffer_);
                error != reg::kErrorSuccess) {
                reason = RefusedReason(error);
            }
        } catch (const std::exception& failure) {  // such as a value too large for memory
            reason = std::string("not applied: ") + failure.what();
        }
        if (!reason.empty()) {
            Report({op.line, DescribeValue(section_, op), std::move(reason)});
        }
    }

    const ImportProblemReport& report_;
    bool applied_ = true;
    SectionKey section_;  // the latest section; no key before the first or after a deletion
    std::vector<std::uint8_t> buffer_;  // a value's converted data
};

enum class ReadOutcome { kRead, kNotAScript, kUnreadable };

// Reads the file through the reader into the applier; `refusal` says why a file is no script.
ReadOutcome ReadScript(platform::runtime::InputFile& file, ScriptApplier& applier,
                       std::string& refusal) {
    RegScriptInput input(applier, platform::kernel32::AnsiToUtf8);
    std::vector<char> buffer(kReadSize);
    while (true) {
        const auto count = file.Read(buffer);
        if (!count) {
            return ReadOutcome::kUnreadable;
        }
        if (*count == 0) {
            break;
        }
        if (!input.Add(std::string_view(buffer.data(), *count))) {
            refusal = input.Refusal();
            return ReadOutcome::kNotAScript;
        }
    }
    if (!input.Finish()) {
        refusal = input.Refusal();
        return ReadOutcome::kNotAScript;
    }
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
        std::string refusal;
        switch (ReadScript(*file, applier, refusal)) {
            case ReadOutcome::kNotAScript:
                report({1, "", std::move(refusal)});
                return 0;
            case ReadOutcome::kUnreadable:
                report({0, "", "the file could not be read to its end"});
                return 0;
            case ReadOutcome::kRead:
                break;
        }
        return applier.Applied() ? 1 : 0;
    } catch (const std::exception& failure) {  // no memory for a line
        report({0, "", std::string("the import stopped: ") + failure.what()});
        return 0;
    }
}

}  // namespace registry
