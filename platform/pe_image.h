// Reading Portable Executable images from their bytes: the machine type, the imported DLL
// names and the version resource. Pure code: every read is checked against the input, so
// any bytes at all give an answer or nullopt, never a read outside them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/version.h"

namespace platform::pe {

inline constexpr std::uint16_t kMachineI386 = 0x014C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;

// The machine field of the PE header: the 32-bit offset at 0x3C must point at "PE\0\0".
std::optional<std::uint16_t> ReadMachine(std::span<const std::uint8_t> image);

// The names of the DLLs that the image imports directly (its import directory), in order.
std::optional<std::vector<std::string>> ReadImportedDlls(std::span<const std::uint8_t> image);

// The bytes of the image's RT_VERSION resource (the VS_VERSIONINFO block).
std::optional<std::vector<std::uint8_t>> FindVersionResource(std::span<const std::uint8_t> image);

// Whether the image has a resource of the named type "TYPELIB" (the type library that
// ActiveX controls carry); false for bytes that are no image.
bool HasTypeLibraryResource(std::span<const std::uint8_t> image);

// The VS_FIXEDFILEINFO of a VS_VERSIONINFO block (signature 0xFEEF04BD).
std::optional<version::FixedFileInfo> ReadFixedFileInfo(std::span<const std::uint8_t> block);

}  // namespace platform::pe
