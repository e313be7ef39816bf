// Minimal DLL images for the tests, made byte by byte: the headers, one data section, and the
// tables a test asks for (imports by name or ordinal, delay-load imports, exports by name, by
// ordinal alone or forwarded, a version resource). The loaders of Windows and Wine load them:
// they have no code and no entry point, which a DLL may lack.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvra::test {

struct PeImportSpec {
    std::string dll;
    std::vector<std::string> functions;  // a name, or "#N" for ordinal N
    bool delayLoad = false;
};

struct PeExportSpec {
    std::string name;  // "" for an export by ordinal alone
    // The ordinal; nullopt for the next one after the export before it (the ordinal base for
    // the first).
    std::optional<std::uint32_t> ordinal;
    std::string forwarder;  // "DLL.Function" or "DLL.#N": forwarded instead of held
};

struct PeImageSpec {
    std::uint16_t machine = 0x014C;
    std::string name = "kelvra_built.dll";  // the name the export table gives the DLL
    std::vector<PeImportSpec> imports;
    std::vector<PeExportSpec> exports;
    std::uint32_t ordinalBase = 1;
    std::optional<std::array<std::uint16_t, 4>> version;  // major, minor, build, revision
    // Delay-load descriptors of the older kind, which hold addresses instead of RVAs.
    bool addressBasedDelayLoad = false;
};

// The bytes of the DLL image.
std::string BuildPeImage(const PeImageSpec& spec);

}  // namespace kelvra::test
