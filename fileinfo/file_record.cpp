#include "fileinfo/file_record.h"

#include <span>

#include "fileinfo/version_text.h"
#include "platform/kernel32.h"
#include "platform/pe_image.h"
#include "platform/text.h"

namespace fileinfo {
namespace {

// Only an image with a TYPELIB resource goes to the platform's type-library reader, which maps
// it as data.
void ReadTypeLibrary(FileRecord& record, std::span<const std::uint8_t> image) {
    if (!record.machine) {
        record.typeLibraryReason = "the file is not an image";
        return;
    }
    if (!platform::pe::HasTypeLibraryResource(image)) {
        record.typeLibraryReason = "the image has no type library";
        return;
    }
    platform::type_library::Reading reading = platform::type_library::ReadTypeLibrary(record.path);
    record.typeLibrary = std::move(reading.library);
    record.typeLibraryReason = std::move(reading.reason);
}

// An image's version from the bytes already read: its RT_VERSION resource, as the platform's
// version functions find it, without their cost (they map the file again, which under Wine
// takes milliseconds a file, and the walk of imports reads hundreds of files).
std::optional<platform::version::FixedFileInfo> VersionOfImage(
    std::span<const std::uint8_t> image) {
    const auto block = platform::pe::FindVersionResource(image);
    return block ? platform::pe::ReadFixedFileInfo(*block) : std::nullopt;
}

}  // namespace

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
        if (record.machine) {
            record.importTable = platform::pe::ReadImports(image);
            record.delayLoadImports = platform::pe::ReadDelayLoadImports(image);
            record.exports = platform::pe::ReadExports(image);
        }
        ReadTypeLibrary(record, image);
        record.fixedVersion = VersionOfImage(image);
    } else {
        record.typeLibraryReason = "the file cannot be read";
    }
    if (!record.machine) {
        record.fixedVersion = ReadFixedFileVersion(path);  // the platform reads other formats
    }
    if (record.fixedVersion) {
        record.versionText = FormatFileVersion(record.fixedVersion->fileVersionMS,
                                               record.fixedVersion->fileVersionLS);
    }
    return record;
}

MachineKind MachineOf(const FileRecord& record) {
    if (record.machine == platform::pe::kMachineI386) {
        return MachineKind::kX86;
    }
    if (record.machine == platform::pe::kMachineAmd64) {
        return MachineKind::kX64;
    }
    return MachineKind::kUnknown;
}

MachineKind ProgramMachine() {
    return platform::kernel32::ProcessMachine() == platform::pe::kMachineAmd64 ? MachineKind::kX64
                                                                               : MachineKind::kX86;
}

std::string MachineText(MachineKind machine) {
    switch (machine) {
        case MachineKind::kX86:
            return "x86";
        case MachineKind::kX64:
            return "x64";
        case MachineKind::kUnknown:
            break;
    }
    return "unknown";
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
