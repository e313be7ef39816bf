// Registry scripts of any bytes: the import leaves the same simulated registry, and gives the
// same result, as the plain reference that applies the lines one by one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_input.h"
#include "fuzz/reg_import_setup.h"
#include "registry/registry_access.h"
#include "tests/registry/sim/reference_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto script = kelvra::fuzz::AsText(data, size);

    kelvra::fuzz::PrepareRegistry(script);
    const long imported = registry::clsRegistryAccess().ImportFromReg(kelvra::fuzz::kScriptPath);
    const auto byImport = registry::reference::WholeRegistry();

    kelvra::fuzz::PrepareRegistry(script);
    const long expected = registry::reference::Import(script);
    const auto byReference = registry::reference::WholeRegistry();

    if (imported != expected || !(byImport == byReference)) {
        std::abort();
    }
    return 0;
}
