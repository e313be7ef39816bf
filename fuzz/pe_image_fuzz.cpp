// PE images of any bytes: the machine type, the import tables (with each function, and the
// delay-load one), the export table and its forwarders, the version resource and the type
// library resource, directly and through the DLL probes that read files; then the walk of
// imports and the simulated loader over the same bytes, the file standing for every DLL it
// imports, so that each link leads back into the damaged tables.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fileinfo/dll_probes.h"
#include "fileinfo/import_walk.h"
#include "fileinfo/search_path_resolver.h"
#include "fuzz/fuzz_input.h"
#include "platform/kernel32.h"
#include "platform/pe_image.h"
#include "platform/sim/machine.h"

namespace {

constexpr const char* kProbe = "C:\\fuzz\\probe.dll";

void ReadTables(std::span<const std::uint8_t> bytes) {
    namespace pe = platform::pe;
    (void)pe::ReadImportedDlls(bytes);
    (void)pe::ReadDelayLoadImports(bytes);
    if (const auto exports = pe::ReadExports(bytes)) {
        for (const pe::Export& entry : exports->exports) {
            if (entry.forwarder) {
                (void)pe::ParseForwarder(*entry.forwarder);
            }
            (void)pe::FindExportByOrdinal(*exports, entry.ordinal);
        }
        for (const pe::ExportName& name : exports->names) {
            (void)pe::FindExportByName(*exports, name.name);
        }
    }
}

// The file under every name it imports (the first few), beside the current folder's search.
void PutUnderImportedNames(std::span<const std::uint8_t> bytes, std::string_view text) {
    auto& m = platform::sim::machine();
    const auto imports = platform::pe::ReadImports(bytes);
    if (!imports) {
        return;
    }
    for (std::size_t i = 0; i < std::min<std::size_t>(imports->size(), 8); ++i) {
        const std::string& name = (*imports)[i].name;
        if (name.find_first_of("\\/:") == std::string::npos) {
            m.AddFile(m.currentDirectory + "\\" + name, text);
        }
    }
}

void Walk() {
    fileinfo::FileRecords records;
    fileinfo::SearchFolderIndex folders;
    fileinfo::SearchPathResolver resolver(records, folders);
    const fileinfo::ImportWalk walk = fileinfo::WalkImports(records.Of(kProbe), resolver);
    if (walk.brokenLink) {
        (void)fileinfo::BrokenLinkText(*walk.brokenLink);
    }
    for (const fileinfo::BrokenLink& note : walk.delayLoadNotes) {
        (void)fileinfo::BrokenLinkText(note);
    }
    for (const fileinfo::UnreadableTable& table : walk.unreadable) {
        (void)fileinfo::UnreadableTableText(table);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = kelvra::fuzz::AsBytes(data, size);
    (void)platform::pe::ReadMachine(bytes);
    ReadTables(bytes);
    (void)platform::pe::HasTypeLibraryResource(bytes);
    if (const auto block = platform::pe::FindVersionResource(bytes)) {
        (void)platform::pe::ReadFixedFileInfo(*block);
    }

    platform::sim::Reset();
    const auto text = kelvra::fuzz::AsText(data, size);
    platform::sim::machine().AddFile(kProbe, text);
    (void)fileinfo::get_dll_machine_type(kProbe);
    (void)fileinfo::CanDllBeLoaded(kProbe);
    (void)fileinfo::GetFileVersionData(kProbe);

    PutUnderImportedNames(bytes, text);
    for (const std::uint16_t machine : {std::uint16_t{0x014C}, std::uint16_t{0x8664}}) {
        platform::sim::machine().processMachine = machine;
        Walk();
        (void)platform::kernel32::LoadLibrary(kProbe);
    }
    return 0;
}
