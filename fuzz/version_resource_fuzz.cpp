// Version resource blocks of any bytes.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "platform/pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)platform::pe::ReadFixedFileInfo(kelvra::fuzz::AsBytes(data, size));
    return 0;
}
