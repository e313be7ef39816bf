#include "support/pe_builder.h"

#include <algorithm>
#include <string_view>

namespace kelvra::test {
namespace {

constexpr std::uint16_t kMachineAmd64 = 0x8664;
constexpr std::uint32_t kSectionRva = 0x1000;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kHeadersBytes = 0x200;
constexpr std::size_t kPeOffset = 0x40;
constexpr std::size_t kDirectoryCount = 16;

std::uint32_t AlignUp(std::size_t value, std::uint32_t alignment) {
    return static_cast<std::uint32_t>((value + alignment - 1) / alignment * alignment);
}

void Put(std::string& bytes, std::size_t offset, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        bytes.at(offset + i) = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// The section's bytes, laid out as they are added, with their RVAs.
class SectionBytes {
  public:
    std::uint32_t Reserve(std::size_t length, std::size_t alignment = 4) {
        bytes_.resize(AlignUp(bytes_.size(), static_cast<std::uint32_t>(alignment)));
        const std::uint32_t rva = End();
        bytes_.resize(bytes_.size() + length);
        return rva;
    }
    std::uint32_t AddText(std::string_view text) {
        const std::uint32_t rva = Reserve(text.size() + 1, 2);
        bytes_.replace(rva - kSectionRva, text.size(), text);
        return rva;
    }
    // A hint (0) followed by the name, as an import by name points at.
    std::uint32_t AddHintName(std::string_view name) {
        const std::uint32_t rva = Reserve(2 + name.size() + 1, 2);
        bytes_.replace(rva - kSectionRva + 2, name.size(), name);
        return rva;
    }
    void Set(std::uint32_t rva, std::uint64_t value, std::size_t width) {
        Put(bytes_, rva - kSectionRva, value, width);
    }
    [[nodiscard]] std::uint32_t End() const {
        return kSectionRva + static_cast<std::uint32_t>(bytes_.size());
    }
    [[nodiscard]] const std::string& bytes() const { return bytes_; }

  private:
    std::string bytes_;
};

struct Directory {
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
};

struct Layout {
    bool pe32Plus = false;
    std::uint64_t imageBase = 0;
    std::size_t thunkBytes = 4;
    SectionBytes section;
    std::array<Directory, kDirectoryCount> directories{};
};

// An import lookup entry: "#N" an ordinal, anything else a name (its address plus `bias`).
std::uint64_t Thunk(Layout& layout, const std::string& function, std::uint64_t bias) {
    if (function.starts_with('#')) {
        const std::uint64_t flag = layout.pe32Plus ? 0x8000000000000000u : 0x80000000u;
        return flag | std::stoul(function.substr(1));
    }
    return layout.section.AddHintName(function) + bias;
}

void AddDirectImports(Layout& layout, const std::vector<const PeImportEntry*>& dlls) {
    constexpr std::size_t kDescriptorBytes = 20;
    const std::uint32_t descriptors = layout.section.Reserve((dlls.size() + 1) * kDescriptorBytes);
    for (std::size_t i = 0; i < dlls.size(); ++i) {
        const auto& functions = dlls[i]->functions;
        const std::size_t tableBytes = (functions.size() + 1) * layout.thunkBytes;
        const std::uint32_t lookup = layout.section.Reserve(tableBytes, layout.thunkBytes);
        const std::uint32_t addresses = layout.section.Reserve(tableBytes, layout.thunkBytes);
        for (std::size_t j = 0; j < functions.size(); ++j) {
            const std::uint64_t thunk = Thunk(layout, functions[j], 0);
            layout.section.Set(lookup + j * layout.thunkBytes, thunk, layout.thunkBytes);
            layout.section.Set(addresses + j * layout.thunkBytes, thunk, layout.thunkBytes);
        }
        const std::uint32_t at = descriptors + static_cast<std::uint32_t>(i * kDescriptorBytes);
        layout.section.Set(at, lookup, 4);
        layout.section.Set(at + 12, layout.section.AddText(dlls[i]->dll), 4);
        layout.section.Set(at + 16, addresses, 4);
    }
    layout.directories[1] = {descriptors,
                             static_cast<std::uint32_t>((dlls.size() + 1) * kDescriptorBytes)};
}

void AddDelayLoadImports(Layout& layout, const std::vector<const PeImportEntry*>& dlls,
                         bool addressBased) {
    constexpr std::size_t kDescriptorBytes = 32;
    const std::uint64_t bias = addressBased ? layout.imageBase : 0;
    const std::uint32_t descriptors = layout.section.Reserve((dlls.size() + 1) * kDescriptorBytes);
    for (std::size_t i = 0; i < dlls.size(); ++i) {
        const auto& functions = dlls[i]->functions;
        const std::size_t tableBytes = (functions.size() + 1) * layout.thunkBytes;
        const std::uint32_t handle = layout.section.Reserve(layout.thunkBytes, layout.thunkBytes);
        const std::uint32_t addresses = layout.section.Reserve(tableBytes, layout.thunkBytes);
        const std::uint32_t names = layout.section.Reserve(tableBytes, layout.thunkBytes);
        for (std::size_t j = 0; j < functions.size(); ++j) {
            layout.section.Set(names + j * layout.thunkBytes, Thunk(layout, functions[j], bias),
                               layout.thunkBytes);
        }
        const std::uint32_t at = descriptors + static_cast<std::uint32_t>(i * kDescriptorBytes);
        layout.section.Set(at, addressBased ? 0 : 1, 4);
        layout.section.Set(at + 4, layout.section.AddText(dlls[i]->dll) + bias, 4);
        layout.section.Set(at + 8, handle + bias, 4);
        layout.section.Set(at + 12, addresses + bias, 4);
        layout.section.Set(at + 16, names + bias, 4);
    }
    layout.directories[13] = {descriptors,
                              static_cast<std::uint32_t>((dlls.size() + 1) * kDescriptorBytes)};
}

void AddExports(Layout& layout, const PeDllLayout& dll) {
    std::vector<std::uint32_t> ordinals;
    for (const PeExportEntry& entry : dll.exports) {
        ordinals.push_back(
            entry.ordinal.value_or(ordinals.empty() ? dll.ordinalBase : ordinals.back() + 1));
    }
    const std::uint32_t count =
        *std::max_element(ordinals.begin(), ordinals.end()) - dll.ordinalBase + 1;
    std::vector<std::size_t> named;
    for (std::size_t i = 0; i < dll.exports.size(); ++i) {
        if (!dll.exports[i].name.empty()) {
            named.push_back(i);
        }
    }
    std::sort(named.begin(), named.end(), [&dll](std::size_t a, std::size_t b) {
        return dll.exports[a].name < dll.exports[b].name;
    });

    // The function bodies lie outside the directory: an address inside it is a forwarder.
    const std::uint32_t code = layout.section.Reserve(1);
    layout.section.Set(code, 0xC3, 1);  // ret
    const std::uint32_t directory = layout.section.Reserve(40);
    const std::uint32_t addresses = layout.section.Reserve(count * 4);
    const std::uint32_t names = layout.section.Reserve(named.size() * 4);
    const std::uint32_t nameOrdinals = layout.section.Reserve(named.size() * 2, 2);
    layout.section.Set(directory + 12, layout.section.AddText(dll.name), 4);
    for (std::size_t i = 0; i < named.size(); ++i) {
        layout.section.Set(names + i * 4, layout.section.AddText(dll.exports[named[i]].name), 4);
        layout.section.Set(nameOrdinals + i * 2, ordinals[named[i]] - dll.ordinalBase, 2);
    }
    for (std::size_t i = 0; i < dll.exports.size(); ++i) {
        const std::string& forwarder = dll.exports[i].forwarder;
        const std::uint32_t target = forwarder.empty() ? code : layout.section.AddText(forwarder);
        layout.section.Set(addresses + (ordinals[i] - dll.ordinalBase) * 4, target, 4);
    }
    layout.section.Set(directory + 16, dll.ordinalBase, 4);
    layout.section.Set(directory + 20, count, 4);
    layout.section.Set(directory + 24, named.size(), 4);
    layout.section.Set(directory + 28, addresses, 4);
    layout.section.Set(directory + 32, names, 4);
    layout.section.Set(directory + 36, nameOrdinals, 4);
    layout.directories[0] = {directory, layout.section.End() - directory};
}

// A resource tree with one RT_VERSION resource (id 1, US English) holding a VS_VERSIONINFO
// with its fixed part alone.
void AddVersionResource(Layout& layout, const std::array<std::uint16_t, 4>& version) {
    constexpr std::size_t kLevelBytes = 16 + 8;  // a directory with one entry
    const std::uint32_t root = layout.section.Reserve(3 * kLevelBytes + 16);
    const std::uint32_t ids[] = {16, 1, 0x409};
    for (std::uint32_t level = 0; level < 3; ++level) {
        const std::uint32_t at = root + level * kLevelBytes;
        layout.section.Set(at + 14, 1, 2);  // one entry with a numeric id
        layout.section.Set(at + 16, ids[level], 4);
        const std::uint32_t next = (level + 1) * kLevelBytes;
        layout.section.Set(at + 20, level < 2 ? (0x80000000u | next) : next, 4);
    }
    constexpr std::u16string_view kKey = u"VS_VERSION_INFO";
    constexpr std::size_t kBlockBytes = 40 + 52;
    const std::uint32_t block = layout.section.Reserve(kBlockBytes);
    layout.section.Set(block, kBlockBytes, 2);
    layout.section.Set(block + 2, 52, 2);
    for (std::size_t i = 0; i < kKey.size(); ++i) {
        layout.section.Set(block + 6 + static_cast<std::uint32_t>(i * 2), kKey[i], 2);
    }
    const std::uint32_t fixed = block + 40;
    const std::uint32_t ms = (std::uint32_t{version[0]} << 16) | version[1];
    const std::uint32_t ls = (std::uint32_t{version[2]} << 16) | version[3];
    const std::uint32_t fields[] = {0xFEEF04BDu, 0x10000, ms, ls, ms, ls, 0x3F, 0, 0x40004, 2};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        layout.section.Set(fixed + static_cast<std::uint32_t>(i * 4), fields[i], 4);
    }
    const std::uint32_t dataEntry = root + 3 * kLevelBytes;
    layout.section.Set(dataEntry, block, 4);
    layout.section.Set(dataEntry + 4, kBlockBytes, 4);
    layout.directories[2] = {root, layout.section.End() - root};
}

std::string Headers(const PeDllLayout& dll, const Layout& layout) {
    const std::uint32_t contentBytes =
        std::max<std::uint32_t>(16, static_cast<std::uint32_t>(layout.section.bytes().size()));
    const std::uint32_t rawBytes = AlignUp(contentBytes, kFileAlignment);
    std::string headers(kHeadersBytes, '\0');
    headers[0] = 'M';
    headers[1] = 'Z';
    Put(headers, 0x3C, kPeOffset, 4);
    Put(headers, kPeOffset, 0x00004550u, 4);  // "PE\0\0"
    const std::size_t file = kPeOffset + 4;
    const std::size_t optionalBytes = layout.pe32Plus ? 240 : 224;
    Put(headers, file, dll.machine, 2);
    Put(headers, file + 2, 1, 2);  // one section
    Put(headers, file + 16, optionalBytes, 2);
    // An executable image and a DLL; 32-bit machine, or large addresses for x64.
    Put(headers, file + 18, layout.pe32Plus ? 0x2022 : 0x2102, 2);

    const std::size_t opt = file + 20;
    Put(headers, opt, layout.pe32Plus ? 0x20B : 0x10B, 2);
    Put(headers, opt + 4, rawBytes, 4);  // code
    Put(headers, opt + 8, rawBytes, 4);  // initialised data
    Put(headers, opt + 20, kSectionRva, 4);
    if (layout.pe32Plus) {
        Put(headers, opt + 24, layout.imageBase, 8);
    } else {
        Put(headers, opt + 24, kSectionRva, 4);
        Put(headers, opt + 28, layout.imageBase, 4);
    }
    Put(headers, opt + 32, kSectionAlignment, 4);
    Put(headers, opt + 36, kFileAlignment, 4);
    Put(headers, opt + 40, 6, 2);  // operating system 6.0
    Put(headers, opt + 48, 6, 2);  // subsystem 6.0
    Put(headers, opt + 56, kSectionRva + AlignUp(contentBytes, kSectionAlignment), 4);
    Put(headers, opt + 60, kHeadersBytes, 4);
    Put(headers, opt + 68, 2, 2);        // the Windows GUI subsystem
    Put(headers, opt + 70, 0x100, 2);    // compatible with data execution prevention
    const std::size_t sizes = opt + 72;  // stack and heap, reserve and commit
    const std::size_t sizeBytes = layout.pe32Plus ? 8 : 4;
    const std::uint64_t sizeValues[] = {0x100000, 0x1000, 0x100000, 0x1000};
    for (std::size_t i = 0; i < 4; ++i) {
        Put(headers, sizes + i * sizeBytes, sizeValues[i], sizeBytes);
    }
    const std::size_t countAt = sizes + 4 * sizeBytes + 4;  // after the loader flags
    Put(headers, countAt, kDirectoryCount, 4);
    for (std::size_t i = 0; i < kDirectoryCount; ++i) {
        Put(headers, countAt + 4 + i * 8, layout.directories[i].rva, 4);
        Put(headers, countAt + 8 + i * 8, layout.directories[i].size, 4);
    }

    const std::size_t section = opt + optionalBytes;
    headers.replace(section, 5, ".data");
    Put(headers, section + 8, contentBytes, 4);
    Put(headers, section + 12, kSectionRva, 4);
    Put(headers, section + 16, rawBytes, 4);
    Put(headers, section + 20, kHeadersBytes, 4);
    // Code and initialised data, read, write and execute.
    Put(headers, section + 36, 0xE0000060u, 4);
    return headers;
}

}  // namespace

std::string BuildPeImage(const PeDllLayout& dll) {
    Layout layout;
    layout.pe32Plus = dll.machine == kMachineAmd64;
    layout.imageBase = layout.pe32Plus ? 0x180000000u : 0x10000000u;
    layout.thunkBytes = layout.pe32Plus ? 8 : 4;
    std::vector<const PeImportEntry*> direct;
    std::vector<const PeImportEntry*> delayed;
    for (const PeImportEntry& entry : dll.imports) {
        (entry.delayLoad ? delayed : direct).push_back(&entry);
    }
    if (!direct.empty()) {
        AddDirectImports(layout, direct);
    }
    if (!delayed.empty()) {
        AddDelayLoadImports(layout, delayed, dll.addressBasedDelayLoad);
    }
    if (!dll.exports.empty()) {
        AddExports(layout, dll);
    }
    if (dll.version) {
        AddVersionResource(layout, *dll.version);
    }
    std::string image = Headers(dll, layout);
    std::string content = layout.section.bytes();
    content.resize(AlignUp(std::max<std::size_t>(16, content.size()), kFileAlignment), '\0');
    return image + content;
}

}  // namespace kelvra::test
