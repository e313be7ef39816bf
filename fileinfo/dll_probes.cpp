#include "fileinfo/dll_probes.h"

#include <cstdint>
#include <optional>
#include <string>

#include "fileinfo/version_text.h"
#include "platform/dll_search.h"
#include "platform/kernel32.h"

namespace fileinfo {
namespace {

bool ImportIsAvailable(const std::string& name) {
    return platform::IsApiSetName(name) || platform::kernel32::GetModuleHandle(name) != 0 ||
           platform::FindDllOnSearchPath(name).has_value();
}

}  // namespace

std::uint32_t apiHiWord(std::uint32_t LongVal) {
    return HiWord(LongVal);
}
std::uint32_t apiLoWord(std::uint32_t LongVal) {
    return LoWord(LongVal);
}

std::string GetFileVersionData(std::string_view fname) {
    return ReadFileVersionText(fname);
}

bool is_dll_loaded(std::string_view name, bool& canBeLoaded, std::string_view filePath) {
    if (platform::kernel32::GetModuleHandle(name) != 0) {
        return true;
    }
    const auto file = filePath.empty() ? platform::FindDllOnSearchPath(name)
                                       : std::optional<std::string>(filePath);
    canBeLoaded = file && CanDllBeLoaded(*file);
    return false;
}

bool CanDllBeLoaded(std::string_view path) {
    return CanDllBeLoaded(ReadFileRecord(path));
}

bool CanDllBeLoaded(const FileRecord& record) {
    return record.machine && *record.machine == platform::kernel32::ProcessMachine() &&
           record.imports && FirstMissingImport(record).empty();
}

std::string FirstMissingImport(const FileRecord& record) {
    if (record.imports) {
        for (const std::string& import : *record.imports) {
            if (!ImportIsAvailable(import)) {
                return import;
            }
        }
    }
    return "";
}

int get_dll_machine_type(std::string_view path) {
    switch (MachineOf(ReadFileRecord(path))) {
        case MachineKind::kX86:
            return 1;
        case MachineKind::kX64:
            return 2;
        case MachineKind::kUnknown:
            break;
    }
    return 0;
}

}  // namespace fileinfo
