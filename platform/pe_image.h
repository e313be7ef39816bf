// Reading Portable Executable images from their bytes: the machine type, the import tables
// (direct and delay-load, with each imported function), the export table and the version
// resource. Pure code: every read is checked against the input and every count is capped, so
// any bytes at all give an answer or nullopt, never a read outside them nor a long loop.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/version.h"

namespace platform::pe {

inline constexpr std::uint16_t kMachineI386 = 0x014C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;

// The machine field of the PE header: the 32-bit offset at 0x3C must point at "PE\0\0".
std::optional<std::uint16_t> ReadMachine(std::span<const std::uint8_t> image);

// The names of the DLLs that the image imports directly (its import directory), in order.
std::optional<std::vector<std::string>> ReadImportedDlls(std::span<const std::uint8_t> image);

// A function as an import names it: by name, or by ordinal alone.
struct FunctionRef {
    std::string name;                      // "" when it is named by ordinal
    std::optional<std::uint16_t> ordinal;  // set when it is named by ordinal
    friend bool operator==(const FunctionRef&, const FunctionRef&) = default;
};

// One DLL that an image imports, with the functions it takes from it in table order.
struct ImportedDll {
    std::string name;
    std::vector<FunctionRef> functions;
    bool delayLoad = false;  // from the delay-load table: loaded on the first call, not at load
    friend bool operator==(const ImportedDll&, const ImportedDll&) = default;
};

// The import table (directory 1) with the functions of each DLL, read from the import lookup
// table, or from the address table when the descriptor has none, as the loader reads them.
// An empty list for an image that imports nothing; nullopt when the table cannot be read.
std::optional<std::vector<ImportedDll>> ReadImports(std::span<const std::uint8_t> image);

// The delay-load import table (directory 13), each DLL marked delayLoad. Descriptors that hold
// RVAs (attribute bit 0) and the older ones that hold addresses are both read.
std::optional<std::vector<ImportedDll>> ReadDelayLoadImports(std::span<const std::uint8_t> image);

// One entry of the export address table that is not empty.
struct Export {
    std::uint32_t ordinal = 0;  // the ordinal base plus its index in the address table
    std::string name;           // its first name in the name table; "" for an ordinal alone
    // The forwarder text ("DLL.Function" or "DLL.#N") when the export forwards the function
    // to another DLL instead of holding it.
    std::optional<std::string> forwarder;
    friend bool operator==(const Export&, const Export&) = default;
};

struct ExportName {
    std::string name;
    std::uint32_t ordinal = 0;
    friend bool operator==(const ExportName&, const ExportName&) = default;
};

struct ExportTable {
    std::string dllName;  // the name the table gives the DLL; "" when it gives none
    std::uint32_t ordinalBase = 0;
    std::uint32_t addressCount = 0;  // entries of the export address table, empty ones included
    std::vector<Export> exports;     // in ordinal order
    std::vector<ExportName> names;   // every name, sorted by name (byte order)
    friend bool operator==(const ExportTable&, const ExportTable&) = default;
};

// The export table (directory 0); an empty table for an image that exports nothing; nullopt
// when it cannot be read (a name or forwarder outside the image, a name whose ordinal lies
// beyond the address table, more entries than a DLL can have).
std::optional<ExportTable> ReadExports(std::span<const std::uint8_t> image);

// The export of that name, or of that ordinal (the ordinal base included); nullptr when the
// table has none.
const Export* FindExportByName(const ExportTable& table, std::string_view name);
const Export* FindExportByOrdinal(const ExportTable& table, std::uint32_t ordinal);
// The export an import names, by its name or by its ordinal.
const Export* FindExport(const ExportTable& table, const FunctionRef& function);

// Where a forwarder sends a function: the DLL (".dll" added when the text names none) and
// the function in it, by name or "#N" ordinal.
struct Forwarder {
    std::string dll;
    FunctionRef function;
    friend bool operator==(const Forwarder&, const Forwarder&) = default;
};
// nullopt for a damaged forwarder: no dot, nothing before or after it, or "#" without a
// decimal ordinal up to 65535.
std::optional<Forwarder> ParseForwarder(std::string_view text);

// The bytes of the image's RT_VERSION resource (the VS_VERSIONINFO block).
std::optional<std::vector<std::uint8_t>> FindVersionResource(std::span<const std::uint8_t> image);

// Whether the image has a resource of the named type "TYPELIB" (the type library that
// ActiveX controls carry); false for bytes that are no image.
bool HasTypeLibraryResource(std::span<const std::uint8_t> image);

// The VS_FIXEDFILEINFO of a VS_VERSIONINFO block (signature 0xFEEF04BD).
std::optional<version::FixedFileInfo> ReadFixedFileInfo(std::span<const std::uint8_t> block);

}  // namespace platform::pe
