// Registry scripts of any bytes: the reader, then the import applied to the simulated
// registry through the registry class.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "platform/sim/machine.h"
#include "registry/reg_file_reader.h"
#include "registry/registry_access.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto text = kelvra::fuzz::AsText(data, size);
    (void)registry::ReadRegFile(text);

    platform::sim::Reset();
    platform::sim::machine().AddFile("C:\\fuzz.reg", text);
    registry::clsRegistryAccess registry;
    (void)registry.ImportFromReg("C:\\fuzz.reg");
    return 0;
}
