// ImportFromReg: applies a REGEDIT4 registry script file through the class's own operations.
#include <optional>
#include <span>
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

void SetValue(SectionKey& section, const RegOperation& op, std::uint32_t type,
              std::span<const std::uint8_t> data) {
    if (const reg::RawKey key = section.For(op.keyPath); key != 0) {
        reg::SetValue(key, op.name, type, data);
    }
}

}  // namespace

long clsRegistryAccess::ImportFromReg(std::string_view sRegFile) {
    using Kind = RegOperation::Kind;

    createKeyIfMissing_ = true;
    const auto bytes = platform::runtime::ReadFileBytes(sRegFile);
    if (!bytes) {
        return 0;
    }
    const auto operations = ReadRegFile(platform::kernel32::AnsiToUtf8(*bytes));
    if (!operations) {
        return 0;
    }
    // A failed operation does not stop the import, as a registry editor goes on past it.
    // Every value write creates its key when needed, as CreateKeyIfDoesntExists asks.
    SectionKey section;
    for (const RegOperation& op : *operations) {
        switch (op.kind) {
            case Kind::kDeleteTree:
                section.Forget();
                KillTree(op.keyPath);
                break;
            case Kind::kDeleteValue:
                KillValue(op.keyPath, op.name);
                break;
            case Kind::kSetString:
                // The name as the file gives it: a value named "@" in quotes keeps that name.
                SetValue(section, op, reg::kRegSz, platform::text::EncodeRegistryString(op.text));
                break;
            case Kind::kSetDword:
                SetValue(section, op, reg::kRegDword, DwordBytes(op.dword));
                break;
            case Kind::kSetBinary:
                SetValue(section, op, reg::kRegBinary, op.bytes);
                break;
            case Kind::kSetTyped:
                SetValue(section, op, op.type, StoredBytesFromAnsi(op.type, op.bytes));
                break;
        }
    }
    return 1;
}

}  // namespace registry
