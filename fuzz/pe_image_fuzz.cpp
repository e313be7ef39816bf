// PE images of any bytes: the machine type, the imports, the version resource and the type
// library resource, directly and through the DLL probes that read files.
#include <cstddef>
#include <cstdint>

#include "fileinfo/dll_probes.h"
#include "fuzz/fuzz_input.h"
#include "platform/pe_image.h"
#include "platform/sim/machine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = kelvra::fuzz::AsBytes(data, size);
    (void)platform::pe::ReadMachine(bytes);
    (void)platform::pe::ReadImportedDlls(bytes);
    (void)platform::pe::HasTypeLibraryResource(bytes);
    if (const auto block = platform::pe::FindVersionResource(bytes)) {
        (void)platform::pe::ReadFixedFileInfo(*block);
    }

    platform::sim::Reset();
    platform::sim::machine().AddFile("C:\\fuzz\\probe.dll", kelvra::fuzz::AsText(data, size));
    (void)fileinfo::get_dll_machine_type("C:\\fuzz\\probe.dll");
    (void)fileinfo::CanDllBeLoaded("C:\\fuzz\\probe.dll");
    (void)fileinfo::GetFileVersionData("C:\\fuzz\\probe.dll");
    return 0;
}
