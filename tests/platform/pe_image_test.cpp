#include "platform/pe_image.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdint>
#include <string>
#include <vector>

#include "support/pe_builder.h"
#include "support/test_data.h"

namespace pe = platform::pe;
using kelvra::test::TestDataBytes;

namespace {

std::vector<std::uint8_t> Dll(std::string_view relativeName) {
    const std::string bytes = TestDataBytes(relativeName);
    return {bytes.begin(), bytes.end()};
}

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t GetU32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;) {
        value = (value << 8) | bytes.at(offset + i);
    }
    return value;
}

// Everything the reader answers for some bytes, to compare one input against another.
struct Answers {
    std::optional<std::uint16_t> machine;
    std::optional<std::vector<std::string>> imports;
    std::optional<std::vector<std::uint8_t>> versionBlock;
    std::optional<std::uint32_t> fileVersionLS;
    bool typeLibrary = false;
    std::optional<std::vector<pe::ImportedDll>> functions;
    std::optional<std::vector<pe::ImportedDll>> delayLoad;
    std::optional<pe::ExportTable> exports;

    static Answers Of(std::span<const std::uint8_t> bytes) {
        Answers a;
        a.machine = pe::ReadMachine(bytes);
        a.functions = pe::ReadImports(bytes);
        a.delayLoad = pe::ReadDelayLoadImports(bytes);
        a.exports = pe::ReadExports(bytes);
        a.typeLibrary = pe::HasTypeLibraryResource(bytes);
        a.imports = pe::ReadImportedDlls(bytes);
        a.versionBlock = pe::FindVersionResource(bytes);
        if (a.versionBlock) {
            if (const auto info = pe::ReadFixedFileInfo(*a.versionBlock)) {
                a.fileVersionLS = info->fileVersionLS;
            }
        }
        return a;
    }
};

// Where the data directory entry `index` lies in the file (PE32 or PE32+).
std::size_t DataDirectoryOffset(const std::vector<std::uint8_t>& image, std::size_t index) {
    const std::size_t optional = GetU32(image, 0x3C) + 24;
    const bool pe32Plus = image.at(optional) == 0x0B && image.at(optional + 1) == 0x02;
    return optional + (pe32Plus ? 112 : 96) + index * 8;
}

// The file offset of an RVA through the section table; 0 when no section holds it.
std::size_t RvaToOffset(const std::vector<std::uint8_t>& image, std::uint32_t rva) {
    const std::size_t peOffset = GetU32(image, 0x3C);
    const std::size_t sections = image.at(peOffset + 6) | (image.at(peOffset + 7) << 8);
    const std::size_t optionalBytes = image.at(peOffset + 20) | (image.at(peOffset + 21) << 8);
    const std::size_t table = peOffset + 24 + optionalBytes;
    for (std::size_t i = 0; i < sections; ++i) {
        const std::size_t at = table + i * 40;
        const std::uint32_t va = GetU32(image, at + 12);
        if (rva >= va && rva - va < GetU32(image, at + 16)) {
            return GetU32(image, at + 20) + (rva - va);
        }
    }
    return 0;
}

const char* const kArchFolders[] = {"x86", "x64"};

TEST(PeImage, ReadsTheMachineOfEachArchitecture) {
    EXPECT_EQ(pe::ReadMachine(Dll("kelvra_x86.dll")), pe::kMachineI386);
    EXPECT_EQ(pe::ReadMachine(Dll("kelvra_x64.dll")), pe::kMachineAmd64);
    EXPECT_EQ(pe::ReadMachine(Dll("x86/kelvra_ver2.dll")), pe::kMachineI386);
    EXPECT_EQ(pe::ReadMachine(Dll("x64/kelvra_ver2.dll")), pe::kMachineAmd64);
}

TEST(PeImage, ListsTheDirectlyImportedDlls) {
    for (const std::string arch : kArchFolders) {
        SCOPED_TRACE(arch);
        // The linker decides the order of the import descriptors.
        auto imports = pe::ReadImportedDlls(Dll(arch + "/kelvra_badimport.dll"));
        ASSERT_TRUE(imports.has_value());
        std::sort(imports->begin(), imports->end());
        EXPECT_EQ(imports,
                  (std::vector<std::string>{"KERNEL32.dll", "kelvra_missing_dependency.dll"}));
        EXPECT_EQ(pe::ReadImportedDlls(Dll(arch + "/kelvra_usesver2.dll")),
                  std::vector<std::string>{"kelvra_ver2.dll"});
        // Imports nothing at all: an empty list, not a failure.
        EXPECT_EQ(pe::ReadImportedDlls(Dll(arch + "/kelvra_ver2.dll")), std::vector<std::string>{});
    }
}

TEST(PeImage, ReadsTheFixedFileInfoOfTheVersionResource) {
    for (const std::string arch : kArchFolders) {
        SCOPED_TRACE(arch);
        const auto block2 = pe::FindVersionResource(Dll(arch + "/kelvra_ver2.dll"));
        ASSERT_TRUE(block2);
        const auto ver2 = pe::ReadFixedFileInfo(*block2);
        ASSERT_TRUE(ver2);
        EXPECT_EQ(ver2->signature, 0xFEEF04BDu);
        EXPECT_EQ(ver2->fileVersionMS, 0x00020000u);
        EXPECT_EQ(ver2->fileVersionLS, 0xC627002Au);  // 50727.42
        EXPECT_EQ(ver2->productVersionLS, 0xC627002Au);
        EXPECT_EQ(ver2->fileOS, 0x40004u);
        EXPECT_EQ(ver2->fileType, 2u);

        const auto block6 = pe::FindVersionResource(Dll(arch + "/kelvra_ver6.dll"));
        ASSERT_TRUE(block6);
        const auto ver6 = pe::ReadFixedFileInfo(*block6);
        ASSERT_TRUE(ver6);
        EXPECT_EQ(ver6->fileVersionMS, 0x00060000u);
        EXPECT_EQ(ver6->fileVersionLS, 0x1FE90000u);  // 8169.0
    }
}

TEST(PeImage, ImagesWithoutVersionResourceGiveNothing) {
    for (const std::string arch : kArchFolders) {
        SCOPED_TRACE(arch);
        EXPECT_EQ(pe::FindVersionResource(Dll(arch + "/kelvra_nover.dll")), std::nullopt);
        EXPECT_EQ(pe::FindVersionResource(Dll(arch + "/kelvra_badimport.dll")), std::nullopt);
    }
    // Not an image at all.
    const std::vector<std::uint8_t> text(300, 'A');
    EXPECT_EQ(pe::FindVersionResource(text), std::nullopt);
    EXPECT_EQ(pe::ReadImportedDlls(text), std::nullopt);
    EXPECT_EQ(pe::ReadMachine(text), std::nullopt);
}

// A prefix of a file can only lose what lies beyond it: every answer for a prefix is either
// nothing or the answer for the whole file. Each prefix is a buffer of its own, so a read past
// its end is caught by the sanitizer build.
TEST(PeImageCorrupt, EveryPrefixOfARealDllGivesTheWholeAnswerOrNothing) {
    for (const char* name :
         {"x86/kelvra_ver2.dll", "x64/kelvra_badimport.dll", "x64/kelvra_control.ocx",
          "x86/kelvra_exports.dll", "x64/kelvra_delayload.dll"}) {
        SCOPED_TRACE(name);
        const auto whole = Dll(name);
        ASSERT_FALSE(whole.empty());
        const Answers full = Answers::Of(whole);
        ASSERT_TRUE(full.machine && full.imports);
        for (std::size_t length = 0; length < whole.size(); ++length) {
            const std::vector<std::uint8_t> prefix(whole.begin(),
                                                   whole.begin() + static_cast<long>(length));
            const Answers part = Answers::Of(prefix);
            if (part.machine) {
                EXPECT_EQ(part.machine, full.machine) << length;
            }
            if (part.imports) {
                EXPECT_EQ(part.imports, full.imports) << length;
            }
            if (part.versionBlock) {
                EXPECT_EQ(part.versionBlock, full.versionBlock) << length;
            }
            if (part.functions) {
                EXPECT_EQ(part.functions, full.functions) << length;
            }
            if (part.delayLoad) {
                EXPECT_EQ(part.delayLoad, full.delayLoad) << length;
            }
            if (part.exports) {
                EXPECT_EQ(part.exports, full.exports) << length;
            }
            if (length < 64) {
                EXPECT_FALSE(part.machine) << length;
            }
        }
    }
}

// Every single byte turned into 0xFF or 0x00 in turn: the reader answers or declines, and
// never reads outside the buffer.
TEST(PeImageCorrupt, SingleByteDamageAnywhereIsSafe) {
    for (const char* name : {"x86/kelvra_ver2.dll", "x64/kelvra_badimport.dll",
                             "x86/kelvra_control.ocx", "x86/kelvra_delayload.dll"}) {
        SCOPED_TRACE(name);
        const auto whole = Dll(name);
        for (std::size_t at = 0; at < whole.size(); ++at) {
            for (const std::uint8_t value : {std::uint8_t{0xFF}, std::uint8_t{0x00}}) {
                auto damaged = whole;
                damaged[at] = value;
                (void)Answers::Of(damaged);
            }
        }
    }
}

TEST(PeImageCorrupt, PeHeaderOffsetOutsideTheFile) {
    const auto whole = Dll("x86/kelvra_ver2.dll");
    for (const std::uint32_t lfanew :
         {static_cast<std::uint32_t>(whole.size()), static_cast<std::uint32_t>(whole.size() - 2),
          0xFFFFFFFEu, 0xFFFFFFFFu}) {
        SCOPED_TRACE(lfanew);
        auto damaged = whole;
        PutU32(damaged, 0x3C, lfanew);
        const Answers a = Answers::Of(damaged);
        EXPECT_FALSE(a.machine);
        EXPECT_FALSE(a.imports);
        EXPECT_FALSE(a.versionBlock);
    }
}

TEST(PeImageCorrupt, OnlyTheHeaderThatTheOffsetNamesCounts) {
    auto image = Dll("x86/kelvra_nover.dll");
    const std::uint32_t peOffset = GetU32(image, 0x3C);
    ASSERT_GT(peOffset, 0x48u);
    // A PE signature for x86 inside the DOS stub, and an ARM machine in the real header.
    const std::uint8_t stub[] = {'P', 'E', 0, 0, 0x4C, 0x01};
    std::copy(std::begin(stub), std::end(stub), image.begin() + 0x40);
    image[peOffset + 4] = 0xC4;
    image[peOffset + 5] = 0x01;
    EXPECT_EQ(pe::ReadMachine(image), 0x01C4);

    // The offset pointing at bytes that are not "PE\0\0": no machine, although the stub
    // holds a signature.
    image[peOffset + 2] = 'X';
    EXPECT_EQ(pe::ReadMachine(image), std::nullopt);
}

TEST(PeImageCorrupt, FilesShorterThanTheDosHeader) {
    // 60 bytes whose offset field would point at a signature in them if they were longer.
    std::vector<std::uint8_t> tiny(60, 0);
    tiny[0] = 'M';
    tiny[1] = 'Z';
    const std::uint8_t header[] = {'P', 'E', 0, 0, 0x4C, 0x01};
    std::copy(std::begin(header), std::end(header), tiny.begin() + 8);
    EXPECT_EQ(pe::ReadMachine(tiny), std::nullopt);
    EXPECT_EQ(pe::ReadMachine({}), std::nullopt);
    EXPECT_EQ(pe::ReadImportedDlls({}), std::nullopt);
    EXPECT_EQ(pe::FindVersionResource({}), std::nullopt);
    EXPECT_EQ(pe::ReadFixedFileInfo({}), std::nullopt);
}

TEST(PeImageCorrupt, ImportAndResourceReferencesOutsideTheImage) {
    for (const std::string arch : kArchFolders) {
        SCOPED_TRACE(arch);
        const auto image = Dll(arch + "/kelvra_badimport.dll");
        const std::size_t importEntry = DataDirectoryOffset(image, 1);
        const std::size_t descriptor = RvaToOffset(image, GetU32(image, importEntry));
        ASSERT_NE(descriptor, 0u);

        auto nameOutside = image;
        PutU32(nameOutside, descriptor + 12, 0x7FFFFFF0u);
        EXPECT_EQ(pe::ReadImportedDlls(nameOutside), std::nullopt);

        auto directoryOutside = image;
        PutU32(directoryOutside, importEntry, 0xFFFFFFF0u);
        EXPECT_EQ(pe::ReadImportedDlls(directoryOutside), std::nullopt);

        // A name that runs to the end of its section without a NUL.
        auto unterminated = image;
        const std::size_t name = RvaToOffset(image, GetU32(image, descriptor + 12));
        ASSERT_NE(name, 0u);
        std::fill(unterminated.begin() + static_cast<long>(name), unterminated.end(), 'A');
        EXPECT_EQ(pe::ReadImportedDlls(unterminated), std::nullopt);

        // More sections than any image has: the section table is not walked.
        auto manySections = image;
        const std::size_t peOffset = GetU32(image, 0x3C);
        manySections[peOffset + 6] = 0xFF;
        manySections[peOffset + 7] = 0xFF;
        EXPECT_EQ(pe::ReadImportedDlls(manySections), std::nullopt);
        EXPECT_EQ(pe::ReadMachine(manySections), pe::ReadMachine(image));
    }

    // The version resource's data entry claiming more bytes than the file holds.
    const auto image = Dll("x64/kelvra_ver2.dll");
    const auto block = pe::FindVersionResource(image);
    ASSERT_TRUE(block);
    const std::size_t resources = RvaToOffset(image, GetU32(image, DataDirectoryOffset(image, 2)));
    ASSERT_NE(resources, 0u);
    std::size_t sizeField = 0;
    for (std::size_t at = resources; at + 4 <= image.size(); at += 4) {
        if (GetU32(image, at) == block->size()) {
            sizeField = at;
            break;
        }
    }
    ASSERT_NE(sizeField, 0u);
    auto tooLong = image;
    PutU32(tooLong, sizeField, 0x7FFFFFFFu);
    EXPECT_EQ(pe::FindVersionResource(tooLong), std::nullopt);
    PutU32(tooLong, sizeField, 0xFFFFFFFFu);
    EXPECT_EQ(pe::FindVersionResource(tooLong), std::nullopt);
}

TEST(PeImageVersionBlock, RejectsABlockThatIsNotAVersionInfo) {
    const auto block = pe::FindVersionResource(Dll("x86/kelvra_ver2.dll"));
    ASSERT_TRUE(block);
    ASSERT_TRUE(pe::ReadFixedFileInfo(*block));

    auto badSignature = *block;
    badSignature[40] ^= 0x01;  // the signature follows the key and its padding
    EXPECT_EQ(pe::ReadFixedFileInfo(badSignature), std::nullopt);

    auto badKey = *block;
    badKey[6] = 'W';
    EXPECT_EQ(pe::ReadFixedFileInfo(badKey), std::nullopt);

    auto shortValue = *block;
    shortValue[2] = 40;  // wValueLength below the 52 bytes of VS_FIXEDFILEINFO
    shortValue[3] = 0;
    EXPECT_EQ(pe::ReadFixedFileInfo(shortValue), std::nullopt);

    auto longerThanBuffer = *block;
    longerThanBuffer[0] = 0xFF;  // wLength beyond the bytes given
    longerThanBuffer[1] = 0xFF;
    EXPECT_EQ(pe::ReadFixedFileInfo(longerThanBuffer), std::nullopt);

    for (std::size_t length = 0; length < 92; ++length) {
        const std::vector<std::uint8_t> prefix(block->begin(),
                                               block->begin() + static_cast<long>(length));
        EXPECT_EQ(pe::ReadFixedFileInfo(prefix), std::nullopt) << length;
    }
}

TEST(PeImageForwarder, SplitsAtTheFirstDotAndRefusesDamagedTexts) {
    const std::vector<std::pair<std::string, std::optional<pe::Forwarder>>> cases = {
        {"NTDLL.RtlAllocateHeap", pe::Forwarder{"NTDLL.dll", {"RtlAllocateHeap", {}}}},
        {"kw.#3", pe::Forwarder{"kw.dll", {"", 3}}},
        {"kw.#65535", pe::Forwarder{"kw.dll", {"", 65535}}},
        {"a.b.c", pe::Forwarder{"a.dll", {"b.c", {}}}},
        {"kw.#65536", std::nullopt},
        {"kw.#", std::nullopt},
        {"kw.#3x", std::nullopt},
        {"kw.#-3", std::nullopt},
        {"nodot", std::nullopt},
        {".f", std::nullopt},
        {"kw.", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(pe::ParseForwarder(text), expected) << text;
    }
}

// Damage to the export and import tables of a builder image, one place at a time: the reader
// declines that table, and the rest of the image reads as before.
TEST(PeImageCorrupt, DamagedExportAndImportTables) {
    const std::string built = kelvra::test::BuildPeImage(kelvra::test::PeDllLayout()
                                                             .Import("kw_a.dll", {"f", "#7"})
                                                             .Export("A")
                                                             .Export("", 4)
                                                             .Export("F", {}, "kw_b.g"));
    const std::vector<std::uint8_t> image(built.begin(), built.end());
    const auto at = [&image](std::size_t offset) {
        return RvaToOffset(image, GetU32(image, offset));
    };
    const std::size_t exports = at(DataDirectoryOffset(image, 0));
    const std::size_t names = at(exports + 32);
    const std::size_t lookup = at(at(DataDirectoryOffset(image, 1)));
    ASSERT_TRUE(exports && names && lookup && pe::ReadExports(image) && pe::ReadImports(image));
    // The RVA of the file's last four bytes, made "AAAA", in the section of the first name.
    const auto tail =
        static_cast<std::uint32_t>(GetU32(image, names) + image.size() - 4 - at(names));
    const std::pair<std::size_t, std::uint32_t> unterminated{image.size() - 4, 0x41414141};
    struct Damage {
        const char* name;
        std::vector<std::pair<std::size_t, std::uint32_t>> writes;
        bool exportTable;  // the table it damages: the export table, or the import table
    };
    const Damage damages[] = {
        {"a name's ordinal beyond the address table", {{at(exports + 36), 5}}, true},
        {"more exports than ordinals", {{exports + 20, 0x10001}}, true},
        {"an address table past the end of the file", {{exports + 20, 0x8000}}, true},
        {"a name outside the image", {{names, 0x7FFFFFF0}}, true},
        {"a name without its terminator", {{names, tail}, unterminated}, true},
        {"a forwarder without its terminator",
         {{DataDirectoryOffset(image, 0) + 4, 0x7FFFFFFF},
          {at(exports + 28) + 16, tail},
          unterminated},
         true},
        {"a function name outside the image", {{lookup, 0x7FFFFFF0}}, false},
        {"a function name without its terminator", {{lookup + 8, tail}, unterminated}, false},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.name);
        auto damaged = image;
        for (const auto& [offset, value] : d.writes) {
            PutU32(damaged, offset, value);
        }
        EXPECT_EQ(pe::ReadExports(damaged).has_value(), !d.exportTable);
        EXPECT_EQ(pe::ReadImports(damaged).has_value(), d.exportTable);
        EXPECT_EQ(pe::ReadImportedDlls(damaged), pe::ReadImportedDlls(image));
        EXPECT_EQ(pe::ReadMachine(damaged), pe::ReadMachine(image));
    }
}

// The older delay-load descriptors hold addresses: the same functions as the RVA-based ones;
// where the image base does not fit their 32 bits (x64), the table cannot be read.
TEST(PeImageDelayLoad, AddressBasedDescriptors) {
    for (const std::uint16_t machine : {pe::kMachineI386, pe::kMachineAmd64}) {
        SCOPED_TRACE(machine);
        auto dll = kelvra::test::PeDllLayout().ForMachine(machine).DelayLoadImport(
            "kw_late.dll", {"Late", "#300"});
        const std::string rvaBased = kelvra::test::BuildPeImage(dll);
        dll.addressBasedDelayLoad = true;
        const std::string addressBased = kelvra::test::BuildPeImage(dll);
        const auto expected = pe::ReadDelayLoadImports(kelvra::test::AsBytes(rvaBased));
        ASSERT_EQ(expected,
                  (std::vector<pe::ImportedDll>{{"kw_late.dll", {{"Late", {}}, {"", 300}}, true}}));
        EXPECT_EQ(pe::ReadDelayLoadImports(kelvra::test::AsBytes(addressBased)),
                  machine == pe::kMachineI386 ? expected : std::nullopt);
    }
}

}  // namespace
