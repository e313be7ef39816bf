// Why a file cannot load, to the last link: the walk of its imports as data. Every DLL that
// loading the file would load is resolved as the loader resolves it, each imported function is
// checked against the export table of the copy chosen (forwarders followed), and the walk ends
// at the first broken link in the loader's order: depth first, in import-table order, a DLL's
// functions checked once the DLLs it needs are walked. Each DLL is walked once, keyed by the
// copy chosen, so cycles end; the walk keeps a worklist and never recurses, so a chain of any
// length costs a loop. Pure logic: the copies and how names resolve come from a DllResolver.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fileinfo/file_record.h"
#include "platform/pe_image.h"

namespace fileinfo {

// What the loader does with a DLL name in this process.
struct DllResolution {
    enum class Kind {
        kSystem,            // an API-set name: the system provides it
        kLoaded,            // a module this process has loaded: its own imports are in place
        kFound,             // the copy the loader takes
        kMissing,           // found nowhere
        kOtherMachineOnly,  // the search finds only copies built for the other machine
    };
    Kind kind = Kind::kMissing;
    // kLoaded and kFound: the copy taken; kOtherMachineOnly: the first copy the search passed
    // over. Owned by the resolver's records, valid for the run.
    const FileRecord* copy = nullptr;
};

class DllResolver {
  public:
    DllResolver() = default;
    DllResolver(const DllResolver&) = delete;
    DllResolver& operator=(const DllResolver&) = delete;
    virtual ~DllResolver() = default;

    // How the loader resolves the DLL name (a bare file name, as an import table gives it).
    virtual DllResolution Resolve(std::string_view dllName) = 0;
    // The machine of the process that loads (0x014C or 0x8664).
    [[nodiscard]] virtual std::uint16_t Machine() const = 0;
};

enum class BrokenLinkKind { kMissingDll, kMissingExport, kOtherMachine };

// Where a forwarder sent a function.
struct ForwardedTo {
    std::string dll;  // as the loader looks for it (".dll" added when the forwarder has none)
    platform::pe::FunctionRef function;
    friend bool operator==(const ForwardedTo&, const ForwardedTo&) = default;
};

struct BrokenLink {
    BrokenLinkKind kind = BrokenLinkKind::kMissingDll;
    // The DLL names, as the import tables give them, from the first one the file of the list
    // needs to the one that is missing, of the other machine or lacks the function; when a
    // forwarder led there, to the DLL whose export forwards (forwardedTo names the rest).
    std::vector<std::string> chain;
    // kMissingExport: the copy that does not export the function; kOtherMachine: the first copy
    // of the other machine that the search finds. "" for kMissingDll.
    std::string copyPath;
    std::string copyVersion;  // that copy's version text, "" when it has no version resource
    MachineKind copyMachine = MachineKind::kUnknown;  // that copy's machine
    // The function the last DLL of the chain was asked for: for kMissingExport, and whenever a
    // forwarder led to the broken link.
    std::optional<platform::pe::FunctionRef> function;
    std::optional<ForwardedTo> forwardedTo;
    bool delayLoad = false;  // reached through a delay-load import: the load itself succeeds
    friend bool operator==(const BrokenLink&, const BrokenLink&) = default;
};

// A table the walk could not read: the loader could not either, so a static walk ends there.
struct UnreadableTable {
    enum class Table { kImport, kExport };
    Table table = Table::kImport;
    std::string path;        // the copy whose table it is
    bool delayLoad = false;  // met through a delay-load import
    friend bool operator==(const UnreadableTable&, const UnreadableTable&) = default;
};

struct ImportWalk {
    // The first broken link through the imports the load resolves (not the delay-load ones).
    std::optional<BrokenLink> brokenLink;
    // The first broken link behind each delay-load import, in walk order, each marked
    // delayLoad; walked only when the load itself has no broken link and no unreadable table.
    std::vector<BrokenLink> delayLoadNotes;
    // The tables that could not be read: one that ends the static walk (instead of a broken
    // link), and those met behind delay-load imports.
    std::vector<UnreadableTable> unreadable;
    friend bool operator==(const ImportWalk&, const ImportWalk&) = default;
};

// Walks the imports of `start` (the copy of a file of the list), resolving through `resolver`.
// A start that is no image of the resolver's machine is not walked: the load's own error says
// why it cannot load.
ImportWalk WalkImports(const FileRecord& start, DllResolver& resolver);

// The reason of a row, as a support person reads it, for example
// "it needs libmmd.dll, which needs svml_dispmd.dll, which cannot be found".
std::string BrokenLinkText(const BrokenLink& link);
// "the import table of C:\X\a.dll cannot be read", or "the export table of ...".
std::string UnreadableTableText(const UnreadableTable& table);

}  // namespace fileinfo
