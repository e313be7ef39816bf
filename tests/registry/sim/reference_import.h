// The plain reference for ImportFromReg on the simulated machine: the operations of a script
// applied one by one, on the calling thread, in the order the lines come. Small on purpose so
// that it is obviously right; the import must leave exactly the same registry and give the same
// result. Also a picture of the whole simulated registry to compare.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel32.h"
#include "platform/registry.h"
#include "platform/sim/machine.h"
#include "platform/text.h"
#include "registry/key_path.h"
#include "registry/reg_file_reader.h"
#include "registry/reg_script_input.h"
#include "registry/value_data.h"

namespace registry::reference {

namespace reg = platform::registry;

inline reg::Value ValueOf(const RegOperation& op) {
    switch (op.kind) {
        case RegOperation::Kind::kSetString:
            return {reg::kRegSz, platform::text::EncodeRegistryString(op.text)};
        case RegOperation::Kind::kSetDword:
            return {reg::kRegDword, DwordBytes(op.dword)};
        case RegOperation::Kind::kSetBinary:
            return {reg::kRegBinary, op.bytes};
        case RegOperation::Kind::kSetStored:
            return {op.type, op.bytes};
        default:
            return {op.type, StoredBytesFromAnsi(op.type, op.bytes)};
    }
}

// The operations and problems of a file of the Unicode form, read whole; nullopt when it is no
// script.
inline std::optional<std::vector<RegOperation>> ReadUnicodeFile(
    std::string_view bytes, std::vector<RegLineProblem>& problems) {
    struct Collector final : RegScriptSink {
        std::vector<RegOperation> operations;
        std::vector<RegLineProblem>* problems = nullptr;
        void Operation(RegOperation&& op) override { operations.push_back(std::move(op)); }
        void Problem(RegLineProblem&& problem) override { problems->push_back(std::move(problem)); }
    } collector;
    collector.problems = &problems;
    RegScriptInput input(collector, platform::kernel32::AnsiToUtf8);
    if (!input.Add(bytes) || !input.Finish()) {
        return std::nullopt;
    }
    return std::move(collector.operations);
}

// Applies the script (its file's bytes: ANSI text, or the Unicode form after its byte-order
// mark); 1 when every line was read and applied.
inline long Import(std::string_view script) {
    std::vector<RegLineProblem> problems;
    const auto operations = script.starts_with("\xFF\xFE")
                                ? ReadUnicodeFile(script, problems)
                                : ReadRegFile(platform::kernel32::AnsiToUtf8(script), &problems);
    if (!operations) {
        return 0;
    }
    bool applied = problems.empty();
    reg::Key section;
    for (const RegOperation& op : *operations) {
        const KeyPath path = ParseKeyPath(op.keyPath);
        const reg::RawKey root = reg::PredefinedKey(path.root);
        long error = reg::kErrorSuccess;
        switch (op.kind) {
            case RegOperation::Kind::kOpenKey:
                section.reset();
                error = reg::CreateKey(root, path.subKey, section);
                break;
            case RegOperation::Kind::kDeleteTree:
                section.reset();
                error = DeletionRefusal(path) ? reg::kErrorAccessDenied
                                              : reg::DeleteTree(root, path.subKey);
                break;
            case RegOperation::Kind::kDeleteValue:
                error =
                    section ? reg::DeleteValue(section.get(), op.name) : reg::kErrorInvalidHandle;
                break;
            default: {
                const reg::Value value = ValueOf(op);
                error = section ? reg::SetValue(section.get(), op.name, value.type, value.data)
                                : reg::kErrorInvalidHandle;
                break;
            }
        }
        // Deleting what is not there leaves what the line asks for.
        applied = applied && (error == reg::kErrorSuccess || error == reg::kErrorFileNotFound);
    }
    return applied ? 1 : 0;
}

// Every key of the simulated registry by its path (root value, then the names as spelled),
// with its values in their order.
using Picture = std::map<std::string, std::vector<std::pair<std::string, reg::Value>>>;

inline void Draw(const platform::sim::RegistryNode& node, const std::string& path,
                 Picture& picture) {
    auto& values = picture[path];
    for (const auto& [name, value] : node.values) {
        values.emplace_back(name, value);
    }
    for (const auto& [upper, child] : node.subkeys) {
        Draw(*child, path + "\\" + child->name, picture);
    }
}

inline Picture WholeRegistry() {
    Picture picture;
    for (const auto& [root, node] : platform::sim::machine().registryRoots) {
        Draw(*node, std::to_string(root), picture);
    }
    return picture;
}

}  // namespace registry::reference
