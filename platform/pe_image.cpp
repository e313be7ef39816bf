#include "platform/pe_image.h"

namespace platform::pe {

std::optional<std::uint16_t> ReadMachine(std::span<const std::uint8_t> image) {
    (void)image;
    return std::nullopt;
}

std::optional<std::vector<std::string>> ReadImportedDlls(std::span<const std::uint8_t> image) {
    (void)image;
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> FindVersionResource(std::span<const std::uint8_t> image) {
    (void)image;
    return std::nullopt;
}

std::optional<version::FixedFileInfo> ReadFixedFileInfo(std::span<const std::uint8_t> block) {
    (void)block;
    return std::nullopt;
}

}  // namespace platform::pe
