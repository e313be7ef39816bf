// The walk of imports through the platform's resolver, on DLLs of the test builder in a scratch
// folder (the current folder of the library search) and a folder put on the PATH. The same
// DLLs are then loaded, so that the walk, the simulated loader and the real one are held side
// by side; where Wine's loader differs from Windows', the case says so. Wine keeps the DLL that
// a forwarder led to loaded after the load that needed it is freed, and a module of the process
// serves its name: so each forwarder target has a name of its own.
#include "fileinfo/import_walk.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "fileinfo/search_path_resolver.h"
#include "platform/kernel32.h"
#include "platform/runtime.h"
#include "support/machine_isolation.h"
#include "support/pe_builder.h"
#include "support/scratch_folder.h"
#include "support/test_data.h"

namespace {

namespace k32 = platform::kernel32;
namespace rt = platform::runtime;
using fileinfo::ImportWalk;
using kelvra::test::PeDllLayout;

enum class Build { kNative, kOtherMachine, kDamagedImports };

struct Dll {
    std::string name;
    PeDllLayout layout;
    Build build = Build::kNative;
    bool onPath = false;  // in the folder on the PATH instead of the current folder
};

std::uint16_t OtherMachine() {
    return k32::ProcessMachine() == 0x8664 ? 0x014C : 0x8664;
}

// The image with its import directory pointing far outside it.
std::string DamageImportDirectory(std::string image) {
    const std::size_t optional = 0x40 + 24;
    const std::size_t entry = optional + (image[optional + 1] == 0x02 ? 112 : 96) + 8;
    image.replace(entry, 4, std::string("\xF0\xFF\xFF\x7F", 4));
    return image;
}

std::string Bytes(const Dll& dll) {
    PeDllLayout layout = dll.layout;
    layout.ForMachine(dll.build == Build::kOtherMachine ? OtherMachine() : k32::ProcessMachine());
    const std::string image = kelvra::test::BuildPeImage(layout);
    return dll.build == Build::kDamagedImports ? DamageImportDirectory(image) : image;
}

std::string Outcome(const ImportWalk& walk) {
    std::string text = walk.brokenLink ? fileinfo::BrokenLinkText(*walk.brokenLink) : "";
    for (const fileinfo::BrokenLink& note : walk.delayLoadNotes) {
        text += "note: " + fileinfo::BrokenLinkText(note);
    }
    for (const fileinfo::UnreadableTable& table : walk.unreadable) {
        text += fileinfo::UnreadableTableText(table);
    }
    return text;
}

// The outcome with <S> for the current folder and <OTHER> for the other machine's name.
std::string Replaced(std::string text, const std::string& scratch) {
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"<S>", scratch},
                                     {"<OTHER>", OtherMachine() == 0x8664 ? "x64" : "x86"}}) {
        for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at)) {
            text.replace(at, key.size(), value);
        }
    }
    return text;
}

// The PATH of this process with one folder added, for as long as it lives.
class PathWith {
  public:
    explicit PathWith(const std::string& folder) : saved_(rt::Environ("PATH")) {
        rt::SetEnviron("PATH", saved_ + ";" + folder);
    }
    PathWith(const PathWith&) = delete;
    PathWith& operator=(const PathWith&) = delete;
    ~PathWith() { rt::SetEnviron("PATH", saved_); }

  private:
    std::string saved_;
};

PeDllLayout Needs(const std::string& dll, std::vector<std::string> functions = {"f"}) {
    return PeDllLayout().Import(dll, std::move(functions)).Export("f");
}

struct Case {
    const char* name;
    std::vector<Dll> dlls;  // the first is the file of the list, kw_start.dll
    std::string outcome;
    std::optional<std::uint32_t> windowsLoad;  // nullopt: not loaded here
    std::optional<std::uint32_t> wineLoad;     // where Wine's loader differs
    // The load needs a copy of the other machine passed over.
    bool passesOverTheOtherMachine = false;
};

std::vector<Case> Cases() {
    const PeDllLayout exportsF = PeDllLayout().Export("f");
    std::vector<Dll> chain{{"kw_start.dll", Needs("kw_c0.dll")}};
    for (int i = 0; i < 150; ++i) {
        const std::string next = i < 149 ? "kw_c" + std::to_string(i + 1) + ".dll" : "kw_z.dll";
        chain.push_back({"kw_c" + std::to_string(i) + ".dll", Needs(next)});
    }
    return {
        {"a healthy chain",
         {{"kw_start.dll", Needs("kw_a.dll").Import("KERNEL32.dll", {"GetTickCount"})},
          {"kw_a.dll", Needs("kw_b.dll", {"f", "#2"})},
          {"kw_b.dll", PeDllLayout().Export("f").Export("", 2).Version(1, 2, 3, 4)}},
         "",
         0,
         {}},
        {"a missing DLL",
         {{"kw_start.dll", Needs("kw_gone.dll")}},
         "it needs kw_gone.dll, which cannot be found",
         126,
         {}},
        {"a missing DLL, three deep",
         {{"kw_start.dll", Needs("kw_a.dll")},
          {"kw_a.dll", Needs("kw_b.dll")},
          {"kw_b.dll", Needs("kw_gone.dll")}},
         "it needs kw_a.dll, which needs kw_b.dll, which needs kw_gone.dll, which cannot be found",
         126,
         {}},
        {"a missing export",
         {{"kw_start.dll", Needs("kw_a.dll", {"for_write_seq_lis"})},
          {"kw_a.dll", PeDllLayout().Export("for_open").Version(11, 1, 4, 7)}},
         "it needs for_write_seq_lis from kw_a.dll, which <S>\\kw_a.dll 11.1.4.7 does not export",
         127,
         0},  // Wine binds the import to a stub
        {"a missing export, three deep, from a copy without a version",
         {{"kw_start.dll", Needs("kw_a.dll")},
          {"kw_a.dll", Needs("kw_b.dll")},
          {"kw_b.dll", Needs("kw_c.dll", {"g"})},
          {"kw_c.dll", exportsF}},
         "it needs kw_a.dll, which needs kw_b.dll, which needs g from kw_c.dll, which "
         "<S>\\kw_c.dll does not export",
         127,
         0},
        {"an ordinal beyond the export table",
         {{"kw_start.dll", Needs("kw_a.dll", {"f", "#77"})},
          {"kw_a.dll", PeDllLayout().Export("f").Version(11, 1, 4, 7)}},
         "it needs ordinal 77 of kw_a.dll, which <S>\\kw_a.dll 11.1.4.7 does not export",
         182,
         0},
        {"only the other machine's copy",
         {{"kw_start.dll", Needs("kw_a.dll")}, {"kw_a.dll", exportsF, Build::kOtherMachine}},
         "it needs kw_a.dll, and the search finds only <S>\\kw_a.dll, which is built for <OTHER>",
         193,
         126},  // Wine fails a load whose dependency fails with "not found"
        {"only the other machine's copy, three deep",
         {{"kw_start.dll", Needs("kw_a.dll")},
          {"kw_a.dll", Needs("kw_b.dll")},
          {"kw_b.dll", Needs("kw_c.dll")},
          {"kw_c.dll", exportsF, Build::kOtherMachine}},
         "it needs kw_a.dll, which needs kw_b.dll, which needs kw_c.dll, and the search finds "
         "only <S>\\kw_c.dll, which is built for <OTHER>",
         193,
         126},
        {"the other machine's copy passed over",
         {{"kw_start.dll", Needs("kw_a.dll")},
          {"kw_a.dll", exportsF, Build::kOtherMachine},
          {"kw_a.dll", exportsF, Build::kNative, true}},
         "",
         0,
         {},
         true},
        {"a cycle",
         {{"kw_start.dll", Needs("kw_a.dll")},
          {"kw_a.dll", Needs("kw_b.dll").Import("kw_a.dll", {"f"})},
          {"kw_b.dll", Needs("kw_a.dll").Import("kw_start.dll", {"f"})}},
         "",
         0,
         {}},
        {"a cycle, then a missing DLL",
         {{"kw_start.dll", Needs("kw_a.dll")},
          {"kw_a.dll", Needs("kw_b.dll")},
          {"kw_b.dll", Needs("kw_a.dll").Import("kw_gone.dll", {"f"})}},
         "it needs kw_a.dll, which needs kw_b.dll, which needs kw_gone.dll, which cannot be found",
         126,
         {}},
        {"a forwarder to a missing DLL",
         {{"kw_start.dll", Needs("kw_host.dll", {"for_open"})},
          {"kw_host.dll", PeDllLayout().Export("for_open", {}, "kw_gone.for_open")}},
         "it needs for_open from kw_host.dll, which forwards it to kw_gone.dll, which cannot be "
         "found",
         126,
         0},
        {"a forwarder to a DLL without the function",
         {{"kw_start.dll", Needs("kw_host.dll", {"for_open"})},
          {"kw_host.dll", PeDllLayout().Export("for_open", {}, "kw_tgt.for_open2")},
          {"kw_tgt.dll", exportsF}},
         "it needs for_open from kw_host.dll, which forwards it to for_open2 from kw_tgt.dll, "
         "which <S>\\kw_tgt.dll does not export",
         127,
         0},
        {"a forwarder by ordinal, on the PATH, that is there",
         {{"kw_start.dll", Needs("kw_host.dll", {"for_open"})},
          {"kw_host.dll", PeDllLayout().Export("for_open", {}, "KW_TGT3.#3")},
          {"kw_tgt3.dll", PeDllLayout().Export("g", 3), Build::kNative, true}},
         "",
         0,
         {}},
        {"forwarders that forward to each other",
         {{"kw_start.dll", Needs("kw_host.dll")},
          {"kw_host.dll", PeDllLayout().Export("f", {}, "kw_host2.g")},
          {"kw_host2.dll", PeDllLayout().Export("g", {}, "kw_host.f")}},
         "it needs f from kw_host.dll, which forwards it to f from kw_host.dll, which "
         "<S>\\kw_host.dll does not export",
         {},
         {}},
        {"a delay-load import of a missing DLL",
         {{"kw_start.dll", PeDllLayout().DelayLoadImport("kw_gone.dll", {"f"})}},
         "note: it needs kw_gone.dll, which cannot be found",
         0,
         {}},
        {"a delay-load import of a function a DLL lacks, one deep",
         {{"kw_start.dll", Needs("kw_a.dll")},
          {"kw_a.dll", PeDllLayout().DelayLoadImport("kw_b.dll", {"g"}).Export("f")},
          {"kw_b.dll", exportsF}},
         "note: it needs kw_a.dll, which needs g from kw_b.dll, which <S>\\kw_b.dll does not "
         "export",
         0,
         {}},
        {"a damaged import table",
         {{"kw_start.dll", Needs("kw_a.dll")}, {"kw_a.dll", exportsF, Build::kDamagedImports}},
         "the import table of <S>\\kw_a.dll cannot be read",
         {},
         {}},
        {"a forwarder without a dot",
         {{"kw_start.dll", Needs("kw_host.dll")},
          {"kw_host.dll", PeDllLayout().Export("f", {}, "kw_nodot")}},
         "the export table of <S>\\kw_host.dll cannot be read",
         {},
         {}},
        {"API-set names",
         {{"kw_start.dll", Needs("api-ms-win-core-kelvra-l1-1-0.dll")
                               .Import("EXT-MS-WIN-KELVRA-L1-1-0.DLL", {"g"})}},
         "",
         {},
         {}},
        {"a chain of 151 DLLs that ends in a missing one",
         chain,
         "it needs kw_c0.dll, which through 149 more DLLs needs kw_z.dll, which cannot be found",
         126,
         {}},
    };
}

TEST(ImportWalk, FindsTheFirstBrokenLinkAsTheLoaderMeetsIt) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const kelvra::test::ScratchFolder scratch;
        const std::string pathFolder = scratch / "path";
        ASSERT_TRUE(rt::CreateDirectory(pathFolder));
        const PathWith path(pathFolder);
        for (const Dll& dll : c.dlls) {
            const std::string file = (dll.onPath ? pathFolder + "\\" : scratch / "") + dll.name;
            ASSERT_TRUE(rt::WriteFileBytes(file, Bytes(dll)));
        }
        fileinfo::FileRecords records;
        fileinfo::SearchFolderIndex folders;
        fileinfo::SearchPathResolver resolver(records, folders);
        const ImportWalk walk = WalkImports(records.Of(scratch / "kw_start.dll"), resolver);
        EXPECT_EQ(Outcome(walk), Replaced(c.outcome, scratch.path()));

        if (c.windowsLoad) {
            const k32::Module module = k32::LoadLibrary(scratch / "kw_start.dll");
            const std::uint32_t loaded = module ? 0 : k32::GetLastError();
            if (c.passesOverTheOtherMachine && kelvra::test::SearchStopsAtTheOtherMachine()) {
                // Wine's search in a 32-bit prefix stops at the x64 copy: 126, or 2.
                EXPECT_NE(loaded, 0u);
            } else {
                EXPECT_EQ(loaded, kelvra::test::RunningUnderWine() && c.wineLoad ? *c.wineLoad
                                                                                 : *c.windowsLoad);
            }
        }
    }
}

// A resolver over records made in memory: "kw_N.dll" imports f from "kw_N+1.dll".
class ChainResolver final : public fileinfo::DllResolver {
  public:
    ChainResolver(std::size_t length, bool ring) {
        for (std::size_t i = 0; i < length; ++i) {
            fileinfo::FileRecord& record = records_[Name(i)];
            record.path = "C:\\chain\\" + Name(i);
            record.machine = Machine();
            const std::string next = Name(ring ? (i + 1) % length : i + 1);
            record.importTable = {{{next, {{"f", {}}}, false}}};
            record.delayLoadImports.emplace();
            record.exports = platform::pe::ExportTable{"", 1, 1, {{1, "f", {}}}, {{"f", 1}}};
        }
    }
    fileinfo::DllResolution Resolve(std::string_view name) override {
        const auto found = records_.find(std::string(name));
        if (found == records_.end()) {
            return {};
        }
        return {fileinfo::DllResolution::Kind::kFound, &found->second};
    }
    [[nodiscard]] std::uint16_t Machine() const override { return 0x014C; }
    const fileinfo::FileRecord& First() { return records_.at(Name(0)); }

  private:
    static std::string Name(std::size_t i) { return "kw_" + std::to_string(i) + ".dll"; }
    std::map<std::string, fileinfo::FileRecord> records_;
};

// A walk costs a loop, not a stack, whatever the length of the chain (the sanitizer build
// would catch an overflow), and a ring of DLLs that import each other ends.
TEST(ImportWalk, LongChainsAndRingsEnd) {
    ChainResolver chain(10000, false);
    const ImportWalk broken = WalkImports(chain.First(), chain);
    ASSERT_TRUE(broken.brokenLink);
    EXPECT_EQ(fileinfo::BrokenLinkText(*broken.brokenLink),
              "it needs kw_1.dll, which through 9998 more DLLs needs kw_10000.dll, which cannot "
              "be found");

    ChainResolver ring(10000, true);
    EXPECT_EQ(WalkImports(ring.First(), ring), ImportWalk{});
}

}  // namespace
