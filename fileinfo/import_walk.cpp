#include "fileinfo/import_walk.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>
#include <utility>

#include "platform/text.h"

namespace fileinfo {
namespace {

using platform::pe::Export;
using platform::pe::ExportTable;
using platform::pe::FunctionRef;
using platform::pe::ImportedDll;

constexpr std::size_t kNoParent = std::numeric_limits<std::size_t>::max();
// A forwarder may forward to another forwarder; a longer run than this is taken for a loop.
constexpr std::size_t kMaxForwarderHops = 64;

// A DLL the walk has reached: the copy, the DLL that needed it and the name it was asked by.
struct Visit {
    const FileRecord* record = nullptr;
    std::size_t parent = kNoParent;
    std::string name;
};

// What a step of the walk found; nothing while all is well.
struct Finding {
    std::optional<BrokenLink> link;
    std::optional<UnreadableTable> unreadable;
    [[nodiscard]] bool Found() const { return link || unreadable; }
};

Finding Unreadable(UnreadableTable::Table table, const FileRecord& copy) {
    return {std::nullopt, UnreadableTable{table, copy.path, false}};
}

Finding Broken(BrokenLinkKind kind, std::vector<std::string> chain, const FileRecord* copy,
               std::optional<FunctionRef> function = std::nullopt,
               std::optional<ForwardedTo> forwardedTo = std::nullopt) {
    BrokenLink link;
    link.kind = kind;
    link.chain = std::move(chain);
    if (copy != nullptr) {
        link.copyPath = copy->path;
        link.copyVersion = copy->versionText;
        link.copyMachine = MachineOf(*copy);
    }
    link.function = std::move(function);
    link.forwardedTo = std::move(forwardedTo);
    return {std::move(link), std::nullopt};
}

std::string FunctionKey(const FunctionRef& function) {
    return function.ordinal ? "#" + std::to_string(*function.ordinal) : function.name;
}

class Walker {
  public:
    Walker(const FileRecord& start, DllResolver& resolver) : resolver_(resolver) {
        AddVisit(&start, kNoParent, "");
    }

    ImportWalk Run() {
        ImportWalk walk;
        const Finding finding = Enter(0);
        if (finding.link) {
            walk.brokenLink = finding.link;
        } else if (finding.unreadable) {
            walk.unreadable.push_back(*finding.unreadable);
        } else {
            WalkDelayLoads(walk);
        }
        return walk;
    }

  private:
    // One DLL being walked: which import comes next, and the import whose functions are
    // checked once the DLL it names has been walked.
    struct Frame {
        explicit Frame(std::size_t visited) : visit(visited) {}
        std::size_t visit = 0;
        std::size_t next = 0;
        std::optional<std::size_t> pending;
        DllResolution pendingTarget;
    };

    DllResolution Resolve(const std::string& name) {
        // The file of the list, loaded first, is taken again by its name.
        const FileRecord& start = *visits_.front().record;
        if (platform::text::EqualsIgnoringCase(name, platform::text::FileNameOf(start.path))) {
            return {DllResolution::Kind::kFound, &start};
        }
        return resolver_.Resolve(name);
    }

    std::size_t AddVisit(const FileRecord* record, std::size_t parent, std::string name) {
        visits_.push_back({record, parent, std::move(name)});
        visitOf_.emplace(record, visits_.size() - 1);
        return visits_.size() - 1;
    }

    // The DLL names from the file of the list to `visit`, then `last`.
    [[nodiscard]] std::vector<std::string> ChainTo(std::size_t visit,
                                                   const std::string& last) const {
        std::vector<std::string> chain{last};
        for (std::size_t at = visit; at != kNoParent && visits_[at].parent != kNoParent;
             at = visits_[at].parent) {
            chain.push_back(visits_[at].name);
        }
        std::reverse(chain.begin(), chain.end());
        return chain;
    }

    // What a DLL name that leaves no copy to walk ends in: nothing more for a name the system
    // provides, a broken link for one found nowhere or only built for the other machine; nullopt
    // when a copy serves it. The chain runs to `dllName` as `importer` asked for it.
    std::optional<Finding> Unserved(const DllResolution& target, std::size_t importer,
                                    const std::string& dllName,
                                    std::optional<FunctionRef> function = std::nullopt,
                                    std::optional<ForwardedTo> forwardedTo = std::nullopt) const {
        using Kind = DllResolution::Kind;
        if (target.kind == Kind::kLoaded || target.kind == Kind::kFound) {
            return std::nullopt;
        }
        if (target.kind == Kind::kSystem) {
            return Finding{};
        }
        const bool missing = target.kind == Kind::kMissing;
        return Broken(missing ? BrokenLinkKind::kMissingDll : BrokenLinkKind::kOtherMachine,
                      ChainTo(importer, dllName), missing ? nullptr : target.copy,
                      std::move(function), std::move(forwardedTo));
    }

    // Walks everything that loading the visited DLL loads, unless its import table is damaged.
    Finding Enter(std::size_t visit) {
        if (!visits_[visit].record->importTable) {
            return Unreadable(UnreadableTable::Table::kImport, *visits_[visit].record);
        }
        return WalkFrom(visit);
    }

    Finding WalkFrom(std::size_t root) {
        std::vector<Frame> stack{Frame(root)};
        while (!stack.empty()) {
            Frame& frame = stack.back();
            const std::vector<ImportedDll>& imports = *visits_[frame.visit].record->importTable;
            if (frame.pending) {
                const ImportedDll& dll = imports[*frame.pending];
                frame.pending.reset();
                std::vector<std::size_t> reached;
                const Finding finding =
                    CheckFunctions(frame.visit, dll, frame.pendingTarget, reached);
                if (finding.Found()) {
                    return finding;
                }
                for (auto it = reached.rbegin(); it != reached.rend(); ++it) {
                    if (!visits_[*it].record->importTable) {
                        return Unreadable(UnreadableTable::Table::kImport, *visits_[*it].record);
                    }
                    stack.push_back(Frame(*it));
                }
                continue;
            }
            if (frame.next == imports.size()) {
                stack.pop_back();
                continue;
            }
            const std::size_t index = frame.next++;
            const Finding finding = Take(frame, index, imports[index], stack);
            if (finding.Found()) {
                return finding;
            }
        }
        return {};
    }

    // Resolves one import of the frame's DLL: a DLL not yet walked goes on the stack, and its
    // functions are checked when the frame is on top again.
    Finding Take(Frame& frame, std::size_t index, const ImportedDll& dll,
                 std::vector<Frame>& stack) {
        const DllResolution target = Resolve(dll.name);
        if (auto unserved = Unserved(target, frame.visit, dll.name)) {
            return *unserved;
        }
        frame.pending = index;
        frame.pendingTarget = target;
        if (target.kind == DllResolution::Kind::kFound && !visitOf_.contains(target.copy)) {
            const std::size_t visit = AddVisit(target.copy, frame.visit, dll.name);
            if (!target.copy->importTable) {
                return Unreadable(UnreadableTable::Table::kImport, *target.copy);
            }
            stack.push_back(Frame(visit));  // `frame` is not used after this
        }
        return {};
    }

    // Checks every function that the importer takes from `dll` against the copy the loader
    // chose; DLLs that forwarders lead to and that are not walked yet are added to `reached`.
    Finding CheckFunctions(std::size_t importer, const ImportedDll& dll,
                           const DllResolution& target, std::vector<std::size_t>& reached) {
        if (const Finding unreadable = ExportsUnreadable(target); unreadable.Found()) {
            return unreadable;
        }
        for (const FunctionRef& function : dll.functions) {
            if (const Finding finding = Bind(importer, dll.name, target, function, reached);
                finding.Found()) {
                return finding;
            }
        }
        return {};
    }

    // A module this process has loaded serves its imports whatever we can read of it.
    static Finding ExportsUnreadable(const DllResolution& target) {
        return target.copy->exports || target.kind == DllResolution::Kind::kLoaded
                   ? Finding{}
                   : Unreadable(UnreadableTable::Table::kExport, *target.copy);
    }

    // Looks the function up in the exports of the copy chosen for `dllName`, and follows a
    // forwarder, and the forwarders it leads to, to the function that is held.
    Finding Bind(std::size_t importer, const std::string& dllName, DllResolution current,
                 const FunctionRef& function, std::vector<std::size_t>& reached) {
        std::set<std::pair<const FileRecord*, std::string>> seen;
        std::optional<ForwardedTo> to;
        FunctionRef wanted = function;
        for (std::size_t hop = 0;; ++hop) {
            if (!current.copy->exports) {
                return ExportsUnreadable(current);
            }
            const Export* found = platform::pe::FindExport(*current.copy->exports, wanted);
            const bool loops = found != nullptr && found->forwarder &&
                               !seen.insert({current.copy, FunctionKey(wanted)}).second;
            if (found == nullptr || loops || (found->forwarder && hop == kMaxForwarderHops)) {
                return Broken(BrokenLinkKind::kMissingExport, ChainTo(importer, dllName),
                              current.copy, function, to);
            }
            if (!found->forwarder) {
                return {};
            }
            const auto parsed = platform::pe::ParseForwarder(*found->forwarder);
            if (!parsed) {
                return Unreadable(UnreadableTable::Table::kExport, *current.copy);
            }
            to = ForwardedTo{parsed->dll, parsed->function};
            const DllResolution next = Resolve(parsed->dll);
            if (auto unserved = Unserved(next, importer, dllName, function, to)) {
                return *unserved;
            }
            if (next.kind == DllResolution::Kind::kFound && !visitOf_.contains(next.copy)) {
                const auto parent = visitOf_.find(current.copy);
                reached.push_back(AddVisit(
                    next.copy, parent != visitOf_.end() ? parent->second : importer, to->dll));
            }
            current = next;
            wanted = parsed->function;
        }
    }

    // Every DLL walked, and every DLL reached here, has its delay-load imports walked in turn.
    void WalkDelayLoads(ImportWalk& walk) {
        for (std::size_t visit = 0; visit < visits_.size(); ++visit) {
            const FileRecord& record = *visits_[visit].record;
            if (!record.delayLoadImports) {
                walk.unreadable.push_back({UnreadableTable::Table::kImport, record.path, true});
                continue;
            }
            for (const ImportedDll& dll : *record.delayLoadImports) {
                Finding finding = WalkDelayLoadImport(visit, dll);
                if (finding.link) {
                    finding.link->delayLoad = true;
                    walk.delayLoadNotes.push_back(std::move(*finding.link));
                } else if (finding.unreadable) {
                    finding.unreadable->delayLoad = true;
                    walk.unreadable.push_back(std::move(*finding.unreadable));
                }
            }
        }
    }

    Finding WalkDelayLoadImport(std::size_t importer, const ImportedDll& dll) {
        const DllResolution target = Resolve(dll.name);
        if (auto unserved = Unserved(target, importer, dll.name)) {
            return *unserved;
        }
        if (target.kind == DllResolution::Kind::kFound && !visitOf_.contains(target.copy)) {
            const Finding finding = Enter(AddVisit(target.copy, importer, dll.name));
            if (finding.Found()) {
                return finding;
            }
        }
        std::vector<std::size_t> reached;
        const Finding finding = CheckFunctions(importer, dll, target, reached);
        if (finding.Found()) {
            return finding;
        }
        for (const std::size_t visit : reached) {
            const Finding behind = Enter(visit);
            if (behind.Found()) {
                return behind;
            }
        }
        return {};
    }

    DllResolver& resolver_;
    std::vector<Visit> visits_;
    std::map<const FileRecord*, std::size_t> visitOf_;
};

std::string CopyText(const BrokenLink& link) {
    return link.copyVersion.empty() ? link.copyPath : link.copyPath + " " + link.copyVersion;
}

// "f from a.dll", or "ordinal 77 of a.dll".
std::string FunctionFrom(const FunctionRef& function, const std::string& dll) {
    return function.ordinal ? "ordinal " + std::to_string(*function.ordinal) + " of " + dll
                            : function.name + " from " + dll;
}

// "it needs a, which needs b, which needs <last>"; a chain of more than three names gives the
// first, how many lie between, and the last.
std::string Needs(const std::vector<std::string>& chain, const std::string& last) {
    if (chain.size() <= 1) {
        return "it needs " + last;
    }
    std::string text = "it needs " + chain.front();
    if (chain.size() > 3) {
        return text + ", which through " + std::to_string(chain.size() - 2) + " more DLLs needs " +
               last;
    }
    for (std::size_t i = 1; i + 1 < chain.size(); ++i) {
        text += ", which needs " + chain[i];
    }
    return text + ", which needs " + last;
}

}  // namespace

ImportWalk WalkImports(const FileRecord& start, DllResolver& resolver) {
    if (start.machine != resolver.Machine()) {
        return {};
    }
    return Walker(start, resolver).Run();
}

std::string BrokenLinkText(const BrokenLink& link) {
    const std::string lastDll = link.chain.empty() ? std::string() : link.chain.back();
    std::string needed = lastDll;
    if (link.forwardedTo && link.function) {
        const ForwardedTo& to = *link.forwardedTo;
        needed = FunctionFrom(*link.function, lastDll) + ", which forwards it to " +
                 (link.kind == BrokenLinkKind::kMissingExport ? FunctionFrom(to.function, to.dll)
                                                              : to.dll);
    } else if (link.kind == BrokenLinkKind::kMissingExport && link.function) {
        needed = FunctionFrom(*link.function, lastDll);
    }
    const std::string text = Needs(link.chain, needed);
    switch (link.kind) {
        case BrokenLinkKind::kMissingDll:
            return text + ", which cannot be found";
        case BrokenLinkKind::kMissingExport:
            return text + ", which " + CopyText(link) + " does not export";
        case BrokenLinkKind::kOtherMachine:
            return text + ", and the search finds only " + link.copyPath + ", which is built for " +
                   MachineText(link.copyMachine);
    }
    return text;
}

std::string UnreadableTableText(const UnreadableTable& table) {
    return std::string(table.table == UnreadableTable::Table::kImport ? "the import table of "
                                                                      : "the export table of ") +
           table.path + " cannot be read";
}

}  // namespace fileinfo
