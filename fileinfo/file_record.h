// What one copy of a file is, read once as data and never loaded: its size and date, the
// machine it was built for, the DLLs it imports directly (with their functions, and those it
// loads on first use), what it exports, its version and the type library it carries. The rows,
// the diagnoses, the notes, the registration checks and the walk of imports of a run all read
// these records, so each copy is read once.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/pe_image.h"
#include "platform/runtime.h"
#include "platform/type_library.h"
#include "platform/version.h"

namespace fileinfo {

struct FileRecord {
    std::string path;  // as it was asked for
    // Both known, or neither: the size and last-write date as the row shows them.
    std::optional<std::int64_t> size;
    std::optional<platform::runtime::DateTime> date;
    std::optional<std::uint16_t> machine;  // the PE header's machine field; nullopt: no image
    std::optional<std::vector<std::string>> imports;  // direct imports; nullopt: no image
    // An image's import table with each function, its delay-load table and its export table;
    // nullopt when the file is no image or the table cannot be read.
    std::optional<std::vector<platform::pe::ImportedDll>> importTable;
    std::optional<std::vector<platform::pe::ImportedDll>> delayLoadImports;
    std::optional<platform::pe::ExportTable> exports;
    std::optional<platform::version::FixedFileInfo> fixedVersion;  // nullopt: no resource
    std::string versionText;  // "major.minor.build.revision", "" without a version resource
    // The type library of its TYPELIB resource; nullopt when it has none or it cannot be read,
    // with the reason.
    std::optional<platform::type_library::TypeLibraryInfo> typeLibrary;
    std::string typeLibraryReason;
};

// Reads the record of the file at `path`; a file that cannot be read gives a record with
// nothing known.
FileRecord ReadFileRecord(std::string_view path);

// The machine an image is built for, as the report tells it apart.
enum class MachineKind { kUnknown, kX86, kX64 };

MachineKind MachineOf(const FileRecord& record);
// The machine this program runs as (and so its probe, and the loads the report asks for).
MachineKind ProgramMachine();
// "x86", "x64" or "unknown".
std::string MachineText(MachineKind machine);

// One run's records: each file is read the first time it is asked for. Paths that differ only
// in letter case name one record.
class FileRecords {
  public:
    const FileRecord& Of(std::string_view path);

  private:
    std::map<std::string, FileRecord> byPath_;  // by upper-cased path
};

}  // namespace fileinfo
