#include "fileinfo/file_record.h"

#include <span>

#include "fileinfo/version_text.h"
#include "platform/pe_image.h"
#include "platform/text.h"

namespace fileinfo {

FileRecord ReadFileRecord(std::string_view path) {
    FileRecord record;
    record.path = path;
    const auto size = platform::runtime::FileLen(path);
    const auto date = platform::runtime::FileDateTime(path);
    if (size && date) {
        record.size = size;
        record.date = date;
    }
    if (const auto bytes = platform::runtime::ReadFileBytes(path)) {
        const std::span<const std::uint8_t> image(
            reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size());
        record.machine = platform::pe::ReadMachine(image);
        record.imports = platform::pe::ReadImportedDlls(image);
    }
    record.fixedVersion = ReadFixedFileVersion(path);
    if (record.fixedVersion) {
        record.versionText = FormatFileVersion(record.fixedVersion->fileVersionMS,
                                               record.fixedVersion->fileVersionLS);
    }
    return record;
}

int MachineKind(const FileRecord& record) {
    if (record.machine == platform::pe::kMachineI386) {
        return 1;
    }
    if (record.machine == platform::pe::kMachineAmd64) {
        return 2;
    }
    return 0;
}

const FileRecord& FileRecords::Of(std::string_view path) {
    const std::string key = platform::text::AsciiUpper(path);
    auto found = byPath_.find(key);
    if (found == byPath_.end()) {
        found = byPath_.emplace(key, ReadFileRecord(path)).first;
    }
    return found->second;
}

}  // namespace fileinfo
