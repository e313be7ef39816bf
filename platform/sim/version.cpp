// Simulated version.dll: the version resource is read from the PE bytes of the simulated file.
#include "platform/version.h"

#include <cstring>

#include "platform/pe_image.h"
#include "platform/sim/machine.h"

namespace platform::version {

std::optional<std::vector<std::uint8_t>> GetFileVersionInfo(std::string_view path) {
    auto& m = sim::machine();
    const sim::File* file = m.FindFile(path);
    if (file == nullptr) {
        m.lastError = 2;
        return std::nullopt;
    }
    if (file->heldExclusively) {
        m.lastError = 32;  // ERROR_SHARING_VIOLATION
        return std::nullopt;
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(file->bytes.data());
    auto block = pe::FindVersionResource({data, file->bytes.size()});
    if (!block) {
        m.lastError = 1813;  // ERROR_RESOURCE_TYPE_NOT_FOUND
        return std::nullopt;
    }
    return block;
}

std::optional<FixedFileInfo> QueryRootBlock(std::span<const std::uint8_t> block) {
    return pe::ReadFixedFileInfo(block);
}

}  // namespace platform::version
