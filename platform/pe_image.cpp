#include "platform/pe_image.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace platform::pe {
namespace {

// Limits that keep every walk short whatever the header fields claim.
constexpr std::size_t kMaxSections = 96;
constexpr std::size_t kMaxImportDescriptors = 4096;
constexpr std::size_t kMaxNameChars = 260;
// A function's (decorated) name, and a forwarder: the compilers cut names at 4,096 characters.
constexpr std::size_t kMaxFunctionNameChars = 4096;
// Functions of one table (all its DLLs together), and entries of an export address table or
// name table: an ordinal has 16 bits.
constexpr std::size_t kMaxFunctions = 65536;
// The characters of all the function names of one table together, so that a small file whose
// entries all point at one long name cannot make a large answer.
constexpr std::size_t kMaxTableNameChars = 8u << 20;
constexpr std::size_t kMaxDataDirectories = 16;

constexpr std::size_t kDosHeaderBytes = 0x40;
constexpr std::size_t kLfanewOffset = 0x3C;
constexpr std::size_t kFileHeaderBytes = 20;
constexpr std::size_t kSectionHeaderBytes = 40;
constexpr std::size_t kImportDescriptorBytes = 20;
constexpr std::size_t kDelayLoadDescriptorBytes = 32;
constexpr std::size_t kExportDirectoryBytes = 40;
constexpr std::size_t kHintBytes = 2;
constexpr std::size_t kResourceDirectoryBytes = 16;
constexpr std::size_t kResourceEntryBytes = 8;
constexpr std::size_t kResourceDataEntryBytes = 16;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::size_t kDirectoryExport = 0;
constexpr std::size_t kDirectoryImport = 1;
constexpr std::size_t kDirectoryResource = 2;
constexpr std::size_t kDirectoryDelayLoadImport = 13;
constexpr std::uint32_t kDelayLoadRvaBased = 0x1;
constexpr std::uint64_t kOrdinalFlag32 = 0x80000000u;
constexpr std::uint64_t kOrdinalFlag64 = 0x8000000000000000u;
constexpr std::uint32_t kResourceTypeVersion = 16;
constexpr std::uint32_t kResourceSubdirectoryFlag = 0x80000000u;
constexpr std::uint32_t kResourceNameFlag = 0x80000000u;
constexpr std::string_view kResourceTypeTypeLibrary = "TYPELIB";
constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BDu;
constexpr std::size_t kFixedFileInfoBytes = 52;

// Little-endian reads at offsets checked against the bytes; nullopt instead of a read past
// their end, also when offset + length overflows.
class ByteReader {
  public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    [[nodiscard]] std::size_t size() const { return bytes_.size(); }

    [[nodiscard]] bool Has(std::size_t offset, std::size_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }

    [[nodiscard]] std::optional<std::span<const std::uint8_t>> Bytes(std::size_t offset,
                                                                     std::size_t length) const {
        if (!Has(offset, length)) {
            return std::nullopt;
        }
        return bytes_.subspan(offset, length);
    }

    // Everything from offset on; nullopt when offset lies past the end.
    [[nodiscard]] std::optional<ByteReader> From(std::size_t offset) const {
        if (offset > bytes_.size()) {
            return std::nullopt;
        }
        return ByteReader(bytes_.subspan(offset));
    }

    [[nodiscard]] std::optional<std::uint16_t> U16(std::size_t offset) const {
        if (!Has(offset, 2)) {
            return std::nullopt;
        }
        return static_cast<std::uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
    }

    [[nodiscard]] std::optional<std::uint32_t> U32(std::size_t offset) const {
        if (!Has(offset, 4)) {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(bytes_[offset] | (bytes_[offset + 1] << 8) |
                                          (bytes_[offset + 2] << 16)) |
               (static_cast<std::uint32_t>(bytes_[offset + 3]) << 24);
    }

    [[nodiscard]] std::optional<std::uint64_t> U64(std::size_t offset) const {
        if (!Has(offset, 8)) {
            return std::nullopt;
        }
        return (std::uint64_t{*U32(offset + 4)} << 32) | *U32(offset);
    }

  private:
    std::span<const std::uint8_t> bytes_;
};

struct Section {
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawOffset = 0;
};

struct DataDirectory {
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
};

// The parts of the headers that the readers below use.
struct Headers {
    std::uint16_t machine = 0;
    bool pe32Plus = false;
    std::uint64_t imageBase = 0;
    std::uint32_t sizeOfHeaders = 0;
    std::vector<DataDirectory> directories;
    std::vector<Section> sections;
};

std::optional<std::size_t> PeHeaderOffset(const ByteReader& image) {
    if (image.size() < kDosHeaderBytes) {
        return std::nullopt;
    }
    const auto lfanew = image.U32(kLfanewOffset);
    const auto signature = lfanew ? image.U32(*lfanew) : std::nullopt;
    if (!signature || *signature != 0x00004550u) {  // "PE\0\0"
        return std::nullopt;
    }
    return *lfanew;
}

std::optional<Headers> ReadHeaders(const ByteReader& image) {
    const auto peOffset = PeHeaderOffset(image);
    if (!peOffset) {
        return std::nullopt;
    }
    const auto fileHeader = image.From(*peOffset + 4);
    if (!fileHeader || !fileHeader->Has(0, kFileHeaderBytes)) {
        return std::nullopt;
    }
    Headers headers;
    headers.machine = *fileHeader->U16(0);
    const std::size_t sectionCount = *fileHeader->U16(2);
    const std::size_t optionalBytes = *fileHeader->U16(16);
    if (sectionCount > kMaxSections) {
        return std::nullopt;
    }

    // The optional header is read only as far as it says it reaches.
    const auto optionalStart = fileHeader->From(kFileHeaderBytes);
    const auto optional = optionalStart ? optionalStart->Bytes(0, optionalBytes) : std::nullopt;
    if (!optional) {
        return std::nullopt;
    }
    const ByteReader opt(*optional);
    const auto magic = opt.U16(0);
    std::size_t countOffset = 0;
    if (magic == kMagicPe32) {
        countOffset = 92;
    } else if (magic == kMagicPe32Plus) {
        countOffset = 108;
    } else {
        return std::nullopt;
    }
    const auto sizeOfHeaders = opt.U32(60);
    const auto directoryCount = opt.U32(countOffset);
    headers.pe32Plus = magic == kMagicPe32Plus;
    // The image base lies before SizeOfHeaders: readable whenever that is.
    if (!sizeOfHeaders || !directoryCount) {
        return std::nullopt;
    }
    headers.sizeOfHeaders = *sizeOfHeaders;
    headers.imageBase = headers.pe32Plus ? opt.U64(24).value_or(0) : opt.U32(28).value_or(0);
    const std::size_t directories = std::min<std::size_t>(*directoryCount, kMaxDataDirectories);
    headers.directories.reserve(directories);
    for (std::size_t i = 0; i < directories; ++i) {
        const std::size_t at = countOffset + 4 + i * 8;
        const auto rva = opt.U32(at);
        const auto size = opt.U32(at + 4);
        if (!rva || !size) {
            break;  // the optional header ends first: the rest count as absent
        }
        headers.directories.push_back({*rva, *size});
    }

    const auto table = optionalStart->From(optionalBytes);
    if (!table || !table->Has(0, sectionCount * kSectionHeaderBytes)) {
        return std::nullopt;
    }
    headers.sections.reserve(sectionCount);
    for (std::size_t i = 0; i < sectionCount; ++i) {
        const std::size_t at = i * kSectionHeaderBytes;
        headers.sections.push_back({*table->U32(at + 12), *table->U32(at + 8), *table->U32(at + 16),
                                    *table->U32(at + 20)});
    }
    return headers;
}

std::optional<DataDirectory> Directory(const Headers& headers, std::size_t index) {
    if (index >= headers.directories.size() || headers.directories[index].rva == 0) {
        return std::nullopt;
    }
    return headers.directories[index];
}

// The file bytes that hold the image from `rva` on, up to the end of what the file stores
// for that section (or for the headers).
std::optional<ByteReader> AtRva(const ByteReader& image, const Headers& headers,
                                std::uint32_t rva) {
    for (const Section& section : headers.sections) {
        // 64-bit sums: a section at 0xFFFFF000 with a large size must not wrap.
        const std::uint64_t start = section.virtualAddress;
        const std::uint32_t mapped = section.virtualSize == 0
                                         ? section.rawSize
                                         : std::min(section.virtualSize, section.rawSize);
        if (rva < start || rva >= start + mapped) {
            continue;
        }
        const std::size_t delta = rva - section.virtualAddress;
        const auto raw = image.Bytes(section.rawOffset, section.rawSize);
        if (!raw) {
            return std::nullopt;  // the section's bytes run past the end of the file
        }
        return ByteReader(*raw).From(delta);
    }
    if (rva < headers.sizeOfHeaders) {
        const auto headerBytes =
            image.Bytes(0, std::min<std::size_t>(headers.sizeOfHeaders, image.size()));
        return headerBytes ? ByteReader(*headerBytes).From(rva) : std::nullopt;
    }
    return std::nullopt;
}

// A NUL-terminated text of printable ASCII, 1 to `maxChars` characters; nullopt when it is
// empty, longer, unterminated or holds anything else.
std::optional<std::string> ReadText(const ByteReader& at, std::size_t maxChars) {
    const auto window = at.Bytes(0, std::min(at.size(), maxChars + 1));
    if (!window) {
        return std::nullopt;
    }
    const auto end = std::find(window->begin(), window->end(), std::uint8_t{0});
    const bool printable =
        std::all_of(window->begin(), end, [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; });
    if (end == window->end() || end == window->begin() || !printable) {
        return std::nullopt;
    }
    return std::string(window->begin(), end);
}

std::optional<std::string> ReadName(const ByteReader& at) {
    return ReadText(at, kMaxNameChars);
}

// What one table may still read: function names and their characters.
class TableBudget {
  public:
    [[nodiscard]] bool TakeFunction() { return functions_-- > 0; }
    [[nodiscard]] bool TakeChars(std::size_t count) {
        if (count > chars_) {
            return false;
        }
        chars_ -= count;
        return true;
    }

  private:
    std::size_t functions_ = kMaxFunctions;
    std::size_t chars_ = kMaxTableNameChars;
};

// A function name or forwarder at `rva`, counted against the table's budget.
std::optional<std::string> ReadFunctionText(const ByteReader& image, const Headers& headers,
                                            std::uint64_t rva, TableBudget& budget) {
    const auto at =
        rva <= 0xFFFFFFFFu ? AtRva(image, headers, static_cast<std::uint32_t>(rva)) : std::nullopt;
    auto text = at ? ReadText(*at, kMaxFunctionNameChars) : std::nullopt;
    if (!text || !budget.TakeChars(text->size())) {
        return std::nullopt;
    }
    return text;
}

// An address field of a table: an RVA, or for the older delay-load descriptors an address from
// which the image base (`bias`) is taken away. nullopt when it lies below the base or too far.
std::optional<std::uint32_t> RvaOf(std::uint64_t value, std::uint64_t bias) {
    if (value < bias || value - bias > 0xFFFFFFFFu) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value - bias);
}

// One entry of an import lookup table: an ordinal, or the address of a hint and a name.
std::optional<FunctionRef> ImportedFunctionOf(const ByteReader& image, const Headers& headers,
                                              std::uint64_t thunk, std::uint64_t bias,
                                              TableBudget& budget) {
    if ((thunk & (headers.pe32Plus ? kOrdinalFlag64 : kOrdinalFlag32)) != 0) {
        return FunctionRef{"", static_cast<std::uint16_t>(thunk & 0xFFFFu)};
    }
    // The loader takes the low 32 bits of a PE32+ entry as the RVA.
    const auto hintRva = RvaOf(bias == 0 ? (thunk & 0xFFFFFFFFu) : thunk, bias);
    auto name = hintRva
                    ? ReadFunctionText(image, headers, std::uint64_t{*hintRva} + kHintBytes, budget)
                    : std::nullopt;
    if (!name) {
        return std::nullopt;
    }
    return FunctionRef{std::move(*name), std::nullopt};
}

// The functions of the lookup table at `rva`, up to its zero entry.
std::optional<std::vector<FunctionRef>> ReadThunks(const ByteReader& image, const Headers& headers,
                                                   std::uint32_t rva, std::uint64_t bias,
                                                   TableBudget& budget) {
    const auto table = AtRva(image, headers, rva);
    if (!table) {
        return std::nullopt;
    }
    const std::size_t width = headers.pe32Plus ? 8 : 4;
    std::vector<FunctionRef> functions;
    for (std::size_t at = 0;; at += width) {
        const auto thunk =
            headers.pe32Plus ? table->U64(at) : std::optional<std::uint64_t>(table->U32(at));
        if (!thunk) {
            return std::nullopt;  // runs past the section without a zero entry
        }
        if (*thunk == 0) {
            return functions;
        }
        auto function = budget.TakeFunction()
                            ? ImportedFunctionOf(image, headers, *thunk, bias, budget)
                            : std::nullopt;
        if (!function) {
            return std::nullopt;
        }
        functions.push_back(std::move(*function));
    }
}

struct ImportDescriptor {
    std::string name;
    std::uint32_t lookupRva = 0;   // OriginalFirstThunk
    std::uint32_t addressRva = 0;  // FirstThunk
};

// The descriptors of the import directory up to the first without a name or an address table,
// where the loader stops; the directory's size is not relied on.
std::optional<std::vector<ImportDescriptor>> ReadImportDescriptors(const ByteReader& image,
                                                                   const Headers& headers) {
    std::vector<ImportDescriptor> list;
    const auto directory = Directory(headers, kDirectoryImport);
    if (!directory) {
        return list;  // imports nothing
    }
    const auto descriptors = AtRva(image, headers, directory->rva);
    if (!descriptors) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < kMaxImportDescriptors; ++i) {
        const std::size_t at = i * kImportDescriptorBytes;
        if (!descriptors->Has(at, kImportDescriptorBytes)) {
            return std::nullopt;
        }
        const std::uint32_t nameRva = *descriptors->U32(at + 12);
        const std::uint32_t firstThunk = *descriptors->U32(at + 16);
        if (nameRva == 0 || firstThunk == 0) {
            return list;
        }
        const auto nameBytes = AtRva(image, headers, nameRva);
        auto name = nameBytes ? ReadName(*nameBytes) : std::nullopt;
        if (!name) {
            return std::nullopt;
        }
        list.push_back({std::move(*name), *descriptors->U32(at), firstThunk});
    }
    return std::nullopt;  // no end within the cap: not a list the loader would take
}

// One delay-load descriptor, or nullopt when it cannot be read; an empty name marks the end.
std::optional<ImportedDll> ReadDelayLoadDescriptor(const ByteReader& image, const Headers& headers,
                                                   const ByteReader& descriptor,
                                                   TableBudget& budget) {
    const std::uint32_t attributes = *descriptor.U32(0);
    const std::uint32_t nameField = *descriptor.U32(4);
    const std::uint32_t namesField = *descriptor.U32(16);
    if (nameField == 0) {
        return ImportedDll{};
    }
    const std::uint64_t bias = (attributes & kDelayLoadRvaBased) != 0 ? 0 : headers.imageBase;
    const auto nameRva = RvaOf(nameField, bias);
    const auto namesRva = namesField != 0 ? RvaOf(namesField, bias) : std::nullopt;
    const auto nameBytes = nameRva ? AtRva(image, headers, *nameRva) : std::nullopt;
    auto name = nameBytes ? ReadName(*nameBytes) : std::nullopt;
    auto functions =
        name && namesRva ? ReadThunks(image, headers, *namesRva, bias, budget) : std::nullopt;
    if (!functions) {
        return std::nullopt;
    }
    return ImportedDll{std::move(*name), std::move(*functions), true};
}

// The export address table: each entry that is not 0 is an export, a forwarder when it points
// into the export directory itself.
bool ReadExportAddresses(const ByteReader& image, const Headers& headers,
                         const DataDirectory& directory, std::uint32_t tableRva, std::size_t count,
                         TableBudget& budget, ExportTable& table) {
    if (count == 0) {
        return true;
    }
    const auto start = AtRva(image, headers, tableRva);
    const auto bytes = start ? start->Bytes(0, count * 4) : std::nullopt;
    if (!bytes) {
        return false;
    }
    const ByteReader addresses(*bytes);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t rva = *addresses.U32(i * 4);
        if (rva == 0) {
            continue;
        }
        Export entry;
        entry.ordinal = table.ordinalBase + static_cast<std::uint32_t>(i);
        if (rva >= directory.rva && rva - directory.rva < directory.size) {
            entry.forwarder = ReadFunctionText(image, headers, rva, budget);
            if (!entry.forwarder) {
                return false;
            }
        }
        table.exports.push_back(std::move(entry));
    }
    // A large ordinal base wraps round: keep the order that the lookups search.
    std::sort(table.exports.begin(), table.exports.end(),
              [](const Export& a, const Export& b) { return a.ordinal < b.ordinal; });
    return true;
}

// The name pointer table and its ordinal table: each name gives the index of its export.
bool ReadExportNames(const ByteReader& image, const Headers& headers, std::uint32_t namesRva,
                     std::uint32_t ordinalsRva, std::size_t count, std::size_t functionCount,
                     TableBudget& budget, ExportTable& table) {
    if (count == 0) {
        return true;
    }
    const auto namesStart = AtRva(image, headers, namesRva);
    const auto ordinalsStart = AtRva(image, headers, ordinalsRva);
    const auto names = namesStart ? namesStart->Bytes(0, count * 4) : std::nullopt;
    const auto ordinals = ordinalsStart ? ordinalsStart->Bytes(0, count * 2) : std::nullopt;
    if (!names || !ordinals) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t index = *ByteReader(*ordinals).U16(i * 2);
        auto name = ReadFunctionText(image, headers, *ByteReader(*names).U32(i * 4), budget);
        if (!name || index >= functionCount) {
            return false;  // the loader could not find that name's function
        }
        table.names.push_back({std::move(*name), table.ordinalBase + index});
    }
    // Each export shows the first name that the table gives it.
    for (const ExportName& name : table.names) {
        const auto found = std::lower_bound(
            table.exports.begin(), table.exports.end(), name.ordinal,
            [](const Export& entry, std::uint32_t wanted) { return entry.ordinal < wanted; });
        if (found != table.exports.end() && found->ordinal == name.ordinal && found->name.empty()) {
            found->name = name.name;
        }
    }
    std::sort(table.names.begin(), table.names.end(), [](const ExportName& a, const ExportName& b) {
        return a.name < b.name || (a.name == b.name && a.ordinal < b.ordinal);
    });
    return true;
}

struct ResourceEntry {
    std::uint32_t nameOrId = 0;
    std::uint32_t offsetToData = 0;
};

// The entries of the resource directory at `offset` within the resource section: named
// entries first, then the ones with numeric ids.
std::optional<std::vector<ResourceEntry>> ResourceEntries(const ByteReader& resources,
                                                          std::uint32_t offset) {
    const auto named = resources.U16(std::size_t{offset} + 12);
    const auto ids = resources.U16(std::size_t{offset} + 14);
    if (!named || !ids) {
        return std::nullopt;
    }
    const std::size_t count = std::size_t{*named} + *ids;  // at most 2 * 65535
    const std::size_t first = std::size_t{offset} + kResourceDirectoryBytes;
    if (!resources.Has(first, count * kResourceEntryBytes)) {
        return std::nullopt;
    }
    std::vector<ResourceEntry> entries;
    entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = first + i * kResourceEntryBytes;
        entries.push_back({*resources.U32(at), *resources.U32(at + 4)});
    }
    return entries;
}

// Whether a named entry's name (a counted UTF-16 string in the resource section) is `name`,
// which is upper-case ASCII, in any letter case.
bool EntryNamed(const ByteReader& resources, const ResourceEntry& entry, std::string_view name) {
    if ((entry.nameOrId & kResourceNameFlag) == 0) {
        return false;
    }
    const std::size_t at = entry.nameOrId & ~kResourceNameFlag;
    if (resources.U16(at) != name.size()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto unit = resources.U16(at + 2 + i * 2);
        if (!unit || (*unit != static_cast<unsigned char>(name[i]) &&
                      *unit != static_cast<unsigned char>(name[i]) + ('a' - 'A'))) {
            return false;
        }
    }
    return true;
}

// The offset of the subdirectory an entry leads to; nullopt when it leads to data instead.
std::optional<std::uint32_t> Subdirectory(const ResourceEntry& entry) {
    if ((entry.offsetToData & kResourceSubdirectoryFlag) == 0) {
        return std::nullopt;
    }
    return entry.offsetToData & ~kResourceSubdirectoryFlag;
}

}  // namespace

std::optional<std::uint16_t> ReadMachine(std::span<const std::uint8_t> image) {
    const ByteReader reader(image);
    const auto peOffset = PeHeaderOffset(reader);
    if (!peOffset) {
        return std::nullopt;
    }
    return reader.U16(*peOffset + 4);
}

std::optional<std::vector<std::string>> ReadImportedDlls(std::span<const std::uint8_t> image) {
    const ByteReader reader(image);
    const auto headers = ReadHeaders(reader);
    const auto descriptors = headers ? ReadImportDescriptors(reader, *headers) : std::nullopt;
    if (!descriptors) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (const ImportDescriptor& descriptor : *descriptors) {
        names.push_back(descriptor.name);
    }
    return names;
}

std::optional<std::vector<ImportedDll>> ReadImports(std::span<const std::uint8_t> image) {
    const ByteReader reader(image);
    const auto headers = ReadHeaders(reader);
    const auto descriptors = headers ? ReadImportDescriptors(reader, *headers) : std::nullopt;
    if (!descriptors) {
        return std::nullopt;
    }
    TableBudget budget;
    std::vector<ImportedDll> dlls;
    for (const ImportDescriptor& descriptor : *descriptors) {
        const std::uint32_t lookup =
            descriptor.lookupRva != 0 ? descriptor.lookupRva : descriptor.addressRva;
        auto functions = ReadThunks(reader, *headers, lookup, 0, budget);
        if (!functions) {
            return std::nullopt;
        }
        dlls.push_back({descriptor.name, std::move(*functions), false});
    }
    return dlls;
}

std::optional<std::vector<ImportedDll>> ReadDelayLoadImports(std::span<const std::uint8_t> image) {
    const ByteReader reader(image);
    const auto headers = ReadHeaders(reader);
    if (!headers) {
        return std::nullopt;
    }
    std::vector<ImportedDll> dlls;
    const auto directory = Directory(*headers, kDirectoryDelayLoadImport);
    if (!directory) {
        return dlls;
    }
    const auto descriptors = AtRva(reader, *headers, directory->rva);
    if (!descriptors) {
        return std::nullopt;
    }
    TableBudget budget;
    for (std::size_t i = 0; i < kMaxImportDescriptors; ++i) {
        const auto bytes =
            descriptors->Bytes(i * kDelayLoadDescriptorBytes, kDelayLoadDescriptorBytes);
        auto dll = bytes ? ReadDelayLoadDescriptor(reader, *headers, ByteReader(*bytes), budget)
                         : std::nullopt;
        if (!dll) {
            return std::nullopt;
        }
        if (dll->name.empty()) {
            return dlls;
        }
        dlls.push_back(std::move(*dll));
    }
    return std::nullopt;
}

std::optional<ExportTable> ReadExports(std::span<const std::uint8_t> image) {
    const ByteReader reader(image);
    const auto headers = ReadHeaders(reader);
    if (!headers) {
        return std::nullopt;
    }
    ExportTable table;
    const auto directory = Directory(*headers, kDirectoryExport);
    if (!directory) {
        return table;  // exports nothing
    }
    const auto at = AtRva(reader, *headers, directory->rva);
    const auto fields = at ? at->Bytes(0, kExportDirectoryBytes) : std::nullopt;
    if (!fields) {
        return std::nullopt;
    }
    const ByteReader header(*fields);
    const auto field = [&header](std::size_t offset) { return *header.U32(offset); };
    if (const auto nameBytes = AtRva(reader, *headers, field(12))) {
        table.dllName = ReadName(*nameBytes).value_or("");  // only shown, never relied on
    }
    table.ordinalBase = field(16);
    const std::size_t functionCount = field(20);
    const std::size_t nameCount = field(24);
    if (functionCount > kMaxFunctions || nameCount > kMaxFunctions) {
        return std::nullopt;
    }
    table.addressCount = static_cast<std::uint32_t>(functionCount);
    TableBudget budget;
    if (!ReadExportAddresses(reader, *headers, *directory, field(28), functionCount, budget,
                             table) ||
        !ReadExportNames(reader, *headers, field(32), field(36), nameCount, functionCount, budget,
                         table)) {
        return std::nullopt;
    }
    return table;
}

const Export* FindExportByName(const ExportTable& table, std::string_view name) {
    const auto found = std::lower_bound(
        table.names.begin(), table.names.end(), name,
        [](const ExportName& entry, std::string_view wanted) { return entry.name < wanted; });
    if (found == table.names.end() || found->name != name) {
        return nullptr;
    }
    return FindExportByOrdinal(table, found->ordinal);
}

const Export* FindExportByOrdinal(const ExportTable& table, std::uint32_t ordinal) {
    const auto found = std::lower_bound(
        table.exports.begin(), table.exports.end(), ordinal,
        [](const Export& entry, std::uint32_t wanted) { return entry.ordinal < wanted; });
    return found != table.exports.end() && found->ordinal == ordinal ? &*found : nullptr;
}

const Export* FindExport(const ExportTable& table, const FunctionRef& function) {
    return function.ordinal ? FindExportByOrdinal(table, *function.ordinal)
                            : FindExportByName(table, function.name);
}

std::optional<Forwarder> ParseForwarder(std::string_view text) {
    // The loader splits at the first dot, as NTDLL's own forwarders are written.
    const auto dot = text.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == text.size()) {
        return std::nullopt;
    }
    Forwarder forwarder;
    forwarder.dll = std::string(text.substr(0, dot)) + ".dll";
    const std::string_view function = text.substr(dot + 1);
    if (!function.starts_with('#')) {
        forwarder.function.name = std::string(function);
        return forwarder;
    }
    const std::string_view digits = function.substr(1);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        value > 0xFFFFu) {
        return std::nullopt;
    }
    forwarder.function.ordinal = static_cast<std::uint16_t>(value);
    return forwarder;
}

std::optional<std::vector<std::uint8_t>> FindVersionResource(std::span<const std::uint8_t> image) {
    const ByteReader reader(image);
    const auto headers = ReadHeaders(reader);
    const auto directory = headers ? Directory(*headers, kDirectoryResource) : std::nullopt;
    const auto resources = directory ? AtRva(reader, *headers, directory->rva) : std::nullopt;
    if (!resources) {
        return std::nullopt;
    }

    // Type, then name, then language: the first two levels lead to subdirectories.
    const auto types = ResourceEntries(*resources, 0);
    if (!types) {
        return std::nullopt;
    }
    const auto version = std::find_if(types->begin(), types->end(), [](const ResourceEntry& e) {
        return e.nameOrId == kResourceTypeVersion;  // a numeric id, not a name
    });
    const auto namesOffset =
        version != types->end() ? Subdirectory(*version) : std::optional<std::uint32_t>();
    const auto names = namesOffset ? ResourceEntries(*resources, *namesOffset) : std::nullopt;
    if (!names || names->empty()) {
        return std::nullopt;
    }
    const auto languagesOffset = Subdirectory(names->front());
    const auto languages =
        languagesOffset ? ResourceEntries(*resources, *languagesOffset) : std::nullopt;
    if (!languages || languages->empty() || Subdirectory(languages->front())) {
        return std::nullopt;
    }

    // The data entry gives the bytes by RVA, not by offset in the resource section.
    const auto dataEntry =
        resources->Bytes(languages->front().offsetToData, kResourceDataEntryBytes);
    if (!dataEntry) {
        return std::nullopt;
    }
    const ByteReader entry(*dataEntry);
    const auto data = AtRva(reader, *headers, *entry.U32(0));
    const auto bytes = data ? data->Bytes(0, *entry.U32(4)) : std::nullopt;
    if (!bytes) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
}

bool HasTypeLibraryResource(std::span<const std::uint8_t> image) {
    const ByteReader reader(image);
    const auto headers = ReadHeaders(reader);
    const auto directory = headers ? Directory(*headers, kDirectoryResource) : std::nullopt;
    const auto resources = directory ? AtRva(reader, *headers, directory->rva) : std::nullopt;
    const auto types = resources ? ResourceEntries(*resources, 0) : std::nullopt;
    if (!types) {
        return false;
    }
    for (const ResourceEntry& type : *types) {
        if (!EntryNamed(*resources, type, kResourceTypeTypeLibrary)) {
            continue;
        }
        const auto names = Subdirectory(type);
        const auto entries = names ? ResourceEntries(*resources, *names) : std::nullopt;
        return entries && !entries->empty();
    }
    return false;
}

std::optional<version::FixedFileInfo> ReadFixedFileInfo(std::span<const std::uint8_t> block) {
    // VS_VERSIONINFO: wLength, wValueLength, wType, the key L"VS_VERSION_INFO" with its NUL,
    // padding to a 32-bit boundary, then the value, VS_FIXEDFILEINFO.
    constexpr std::u16string_view kKey = u"VS_VERSION_INFO";
    constexpr std::size_t kKeyOffset = 6;
    constexpr std::size_t kValueOffset = (kKeyOffset + (kKey.size() + 1) * 2 + 3) / 4 * 4;

    const ByteReader whole(block);
    const auto length = whole.U16(0);
    const auto valueLength = whole.U16(2);
    if (!length || !valueLength || *length > block.size() || *valueLength < kFixedFileInfoBytes) {
        return std::nullopt;
    }
    const ByteReader reader(block.first(*length));
    for (std::size_t i = 0; i <= kKey.size(); ++i) {
        const char16_t expected = i < kKey.size() ? kKey[i] : u'\0';
        if (reader.U16(kKeyOffset + i * 2) != expected) {
            return std::nullopt;
        }
    }
    const auto value = reader.Bytes(kValueOffset, kFixedFileInfoBytes);
    if (!value) {
        return std::nullopt;
    }
    const ByteReader fixed(*value);
    const auto field = [&fixed](std::size_t index) { return *fixed.U32(index * 4); };
    if (field(0) != kFixedFileInfoSignature) {
        return std::nullopt;
    }
    version::FixedFileInfo info;
    info.signature = field(0);
    info.strucVersion = field(1);
    info.fileVersionMS = field(2);
    info.fileVersionLS = field(3);
    info.productVersionMS = field(4);
    info.productVersionLS = field(5);
    info.fileFlagsMask = field(6);
    info.fileFlags = field(7);
    info.fileOS = field(8);
    info.fileType = field(9);
    info.fileSubtype = field(10);
    info.fileDateMS = field(11);
    info.fileDateLS = field(12);
    return info;
}

}  // namespace platform::pe
