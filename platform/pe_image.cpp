#include "platform/pe_image.h"

#include <algorithm>
#include <string_view>

namespace platform::pe {
namespace {

// Limits that keep every walk short whatever the header fields claim.
constexpr std::size_t kMaxSections = 96;
constexpr std::size_t kMaxImportDescriptors = 4096;
constexpr std::size_t kMaxNameChars = 260;
constexpr std::size_t kMaxDataDirectories = 16;

constexpr std::size_t kDosHeaderBytes = 0x40;
constexpr std::size_t kLfanewOffset = 0x3C;
constexpr std::size_t kFileHeaderBytes = 20;
constexpr std::size_t kSectionHeaderBytes = 40;
constexpr std::size_t kImportDescriptorBytes = 20;
constexpr std::size_t kResourceDirectoryBytes = 16;
constexpr std::size_t kResourceEntryBytes = 8;
constexpr std::size_t kResourceDataEntryBytes = 16;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::size_t kDirectoryImport = 1;
constexpr std::size_t kDirectoryResource = 2;
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
        std::uint32_t value = 0;
        for (std::size_t i = 4; i-- > 0;) {
            value = (value << 8) | bytes_[offset + i];
        }
        return value;
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
    if (!sizeOfHeaders || !directoryCount) {
        return std::nullopt;
    }
    headers.sizeOfHeaders = *sizeOfHeaders;
    const std::size_t directories = std::min<std::size_t>(*directoryCount, kMaxDataDirectories);
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

// A NUL-terminated ASCII name; nullopt when it is empty, too long, unterminated or holds
// anything but printable ASCII.
std::optional<std::string> ReadName(const ByteReader& at) {
    std::string name;
    for (std::size_t i = 0; i <= kMaxNameChars; ++i) {
        const auto bytes = at.Bytes(i, 1);
        if (!bytes) {
            return std::nullopt;
        }
        const std::uint8_t c = (*bytes)[0];
        if (c == 0) {
            return name.empty() ? std::nullopt : std::optional<std::string>(name);
        }
        if (c < 0x20 || c > 0x7E) {
            return std::nullopt;
        }
        name.push_back(static_cast<char>(c));
    }
    return std::nullopt;
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
    if (!headers) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    const auto directory = Directory(*headers, kDirectoryImport);
    if (!directory) {
        return names;  // imports nothing
    }
    const auto descriptors = AtRva(reader, *headers, directory->rva);
    if (!descriptors) {
        return std::nullopt;
    }
    // The loader stops at the first descriptor without a name or without an address table;
    // the directory's size is not relied on.
    for (std::size_t i = 0; i < kMaxImportDescriptors; ++i) {
        const std::size_t at = i * kImportDescriptorBytes;
        const auto descriptor = descriptors->Bytes(at, kImportDescriptorBytes);
        if (!descriptor) {
            return std::nullopt;
        }
        const auto nameRva = descriptors->U32(at + 12);
        const auto firstThunk = descriptors->U32(at + 16);
        if (*nameRva == 0 || *firstThunk == 0) {
            return names;
        }
        const auto nameBytes = AtRva(reader, *headers, *nameRva);
        auto name = nameBytes ? ReadName(*nameBytes) : std::nullopt;
        if (!name) {
            return std::nullopt;
        }
        names.push_back(std::move(*name));
    }
    return std::nullopt;  // no end within the cap: not a list the loader would take
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
