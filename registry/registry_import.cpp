// ImportFromReg: applies a REGEDIT4 registry script file through the class's own operations.
#include "platform/kernel32.h"
#include "platform/runtime.h"
#include "platform/text.h"
#include "registry/reg_file_reader.h"
#include "registry/registry_access.h"
#include "registry/value_data.h"

namespace registry {

long clsRegistryAccess::ImportFromReg(std::string_view sRegFile) {
    namespace reg = platform::registry;
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
    for (const RegOperation& op : *operations) {
        switch (op.kind) {
            case Kind::kDeleteTree:
                KillTree(op.keyPath);
                break;
            case Kind::kDeleteValue:
                KillValue(op.keyPath, op.name);
                break;
            case Kind::kSetString:
                // Not through WriteString: a value named "@" in the file keeps that name.
                WriteValue(op.keyPath, op.name, reg::kRegSz,
                           platform::text::EncodeRegistryString(op.text));
                break;
            case Kind::kSetDword:
                WriteDWORD(op.keyPath, op.name, op.dword);
                break;
            case Kind::kSetBinary:
                WriteValue(op.keyPath, op.name, reg::kRegBinary, op.bytes);
                break;
            case Kind::kSetTyped:
                WriteValue(op.keyPath, op.name, op.type, StoredBytesFromAnsi(op.type, op.bytes));
                break;
        }
    }
    return 1;
}

}  // namespace registry
