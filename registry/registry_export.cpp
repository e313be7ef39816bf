// ExportToReg: a key tree into a new REGEDIT4 registry script file.
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
// be opened gives a section of its key line alone.
bool clsRegistryAccess::ExportKeyToReg(const std::string& sPath,
                                       platform::runtime::OutputFile& file, bool IncludeSubkeys,
                                       const ExportProgress& Output) const {
    if (Output) {
        Output(sPath);
    }
    std::vector<NamedValue> values;
    ReadAllValues(sPath, values);
    std::vector<ExportedValue> exported;
    exported.reserve(values.size());
    for (NamedValue& entry : values) {
        exported.push_back(ToExported(std::move(entry.name), entry.value));
    }
    const std::string section = FormatRegSection(sPath, exported);
    if (!file.WriteRaw(platform::kernel32::Utf8ToAnsi(section))) {
        return false;
    }
    if (!IncludeSubkeys) {
        return true;
    }
    std::vector<std::string> subkeys;
    EnumKeys(sPath, subkeys);
    for (const std::string& name : subkeys) {
        if (!ExportKeyToReg(JoinPath(sPath, name), file, IncludeSubkeys, Output)) {
            return false;
        }
    }
    return true;
}

}  // namespace registry
