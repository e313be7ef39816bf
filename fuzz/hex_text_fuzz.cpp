// Hex text of any bytes: conversion, validation, and the round trip of what was read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_input.h"
#include "registry/registry_access.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using registry::clsRegistryAccess;
    const auto text = kelvra::fuzz::AsText(data, size);
    const auto bytes = clsRegistryAccess::StrToBin(text);
    (void)clsRegistryAccess::isBinValid(text);
    const std::string hex = clsRegistryAccess::BinToStr(bytes);
    if (clsRegistryAccess::StrToBin(hex) != bytes) {
        std::abort();  // what was written must read back the same
    }
    (void)clsRegistryAccess::BinToStr(kelvra::fuzz::AsBytes(data, size));
    return 0;
}
