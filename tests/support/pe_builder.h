// Minimal DLL images for the tests, made byte by byte: the headers, one data section, and the
// tables a test asks for (imports by name or ordinal, delay-load imports, exports by name, by
// ordinal alone or forwarded, a version resource). The loaders of Windows and Wine load them:
// they have no code and no entry point, which a DLL may lack.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kelvra::test {

struct PeImportEntry {
    PeImportEntry(std::string dllName, std::vector<std::string> functionNames, bool delayed = false)
        : dll(std::move(dllName)), functions(std::move(functionNames)), delayLoad(delayed) {}
    std::string dll;
    std::vector<std::string> functions;  // a name, or "#N" for ordinal N
    bool delayLoad = false;
};

struct PeExportEntry {
    explicit PeExportEntry(std::string exportName, std::optional<std::uint32_t> exportOrdinal = {},
                           std::string forwardedTo = "")
        : name(std::move(exportName)), ordinal(exportOrdinal), forwarder(std::move(forwardedTo)) {}
    std::string name;  // "" for an export by ordinal alone
    // The ordinal; nullopt for the next one after the export before it (the ordinal base for
    // the first).
    std::optional<std::uint32_t> ordinal;
    std::string forwarder;  // "DLL.Function" or "DLL.#N": forwarded instead of held
};

// What the image holds; the setters return the layout, so that one expression describes a DLL:
// PeDllLayout().Import("a.dll", {"f", "#7"}).Export("g").
struct PeDllLayout {
    PeDllLayout& ForMachine(std::uint16_t imageMachine) {
        machine = imageMachine;
        return *this;
    }
    PeDllLayout& Import(std::string dll, std::vector<std::string> functions) {
        imports.emplace_back(std::move(dll), std::move(functions));
        return *this;
    }
    PeDllLayout& DelayLoadImport(std::string dll, std::vector<std::string> functions) {
        imports.emplace_back(std::move(dll), std::move(functions), true);
        return *this;
    }
    PeDllLayout& Export(std::string exportName, std::optional<std::uint32_t> ordinal = {},
                        std::string forwarder = "") {
        exports.emplace_back(std::move(exportName), ordinal, std::move(forwarder));
        return *this;
    }
    PeDllLayout& Version(std::uint16_t major, std::uint16_t minor, std::uint16_t build,
                         std::uint16_t revision) {
        version = {{major, minor, build, revision}};
        return *this;
    }

    std::uint16_t machine = 0x014C;
    std::string name = "kelvra_built.dll";  // the name the export table gives the DLL
    std::vector<PeImportEntry> imports;
    std::vector<PeExportEntry> exports;
    std::uint32_t ordinalBase = 1;
    std::optional<std::array<std::uint16_t, 4>> version;  // major, minor, build, revision
    // Delay-load descriptors of the older kind, which hold addresses instead of RVAs.
    bool addressBasedDelayLoad = false;
};

// The bytes of the DLL image.
std::string BuildPeImage(const PeDllLayout& dll);

}  // namespace kelvra::test
