// Registry path texts of any bytes, through both parsers.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_input.h"
#include "pathcheck/reg_string.h"
#include "registry/key_path.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto text = kelvra::fuzz::AsText(data, size);
    (void)registry::ParseKeyPath(text);
    (void)registry::LongRootPath(text);
    std::string path(text);
    std::string subkey;
    (void)pathcheck::SplitKeyPath(path, subkey);
    (void)pathcheck::TrimNull(text);
    return 0;
}
