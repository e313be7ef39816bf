#include "platform/sim/library_search.h"

#include <algorithm>
#include <charconv>
#include <deque>
#include <map>
#include <set>
#include <span>

#include "platform/dll_search.h"
#include "platform/pe_image.h"
#include "platform/text.h"

namespace platform::sim {
namespace {

std::string Join(std::string folder, std::string_view name) {
    if (!folder.empty() && !folder.ends_with('\\')) {
        folder += '\\';
    }
    return folder + std::string(name);
}

constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorModNotFound = 126;
constexpr std::uint32_t kErrorProcNotFound = 127;
constexpr std::uint32_t kErrorInvalidOrdinal = 182;
constexpr std::uint32_t kErrorBadExeFormat = 193;
constexpr std::uint32_t kErrorDllInitFailed = 1114;
// A forwarder may lead to another one; a longer run than this is taken for a loop.
constexpr std::size_t kMaxForwarderHops = 64;

std::span<const std::uint8_t> BytesOf(const File& file) {
    return {reinterpret_cast<const std::uint8_t*>(file.bytes.data()), file.bytes.size()};
}

// The error that a DLL's start-up code makes its load fail with, 0 for none.
std::uint32_t StartUpError(std::string_view bytes) {
    const auto at = bytes.find(kStartUpFailsMarker);
    if (at == std::string_view::npos) {
        return 0;
    }
    constexpr std::string_view kWith = "-WITH-";
    std::string_view rest = bytes.substr(at + kStartUpFailsMarker.size());
    std::uint32_t code = 0;
    if (rest.starts_with(kWith)) {
        rest.remove_prefix(kWith.size());
        std::from_chars(rest.data(), rest.data() + rest.size(), code);
    }
    return code != 0 ? code : kErrorDllInitFailed;
}

// Whether the file is a PE image built for another machine than the process's: the search
// passes over such a copy and goes on.
bool IsOtherMachineImage(const Machine& machine, const File& file) {
    const auto imageMachine = pe::ReadMachine(BytesOf(file));
    return imageMachine && *imageMachine != machine.processMachine;
}

// Where the search finds a DLL named without a folder, or the file a full path names; the
// error when nothing can be taken. The search passes over copies of the other machine, for the
// DLL the program loads as for its dependencies (Wine's search_dll_file does, and so does the
// search of the Windows 10 loader).
LibrarySearchResult Locate(Machine& machine, std::string_view name) {
    if (name.find_first_of("\\/") != std::string_view::npos) {
        const File* file = machine.FindFile(machine.Absolute(name));
        return file != nullptr ? LibrarySearchResult{file->path, 0}
                               : LibrarySearchResult{std::nullopt, kErrorModNotFound};
    }
    const std::vector<std::string> known = KnownDllNames();
    if (std::find(known.begin(), known.end(), text::AsciiUpper(name)) != known.end()) {
        if (const File* file = machine.FindFile(Join(machine.systemFolder, name))) {
            return {file->path, 0};  // a known DLL comes from the system folder
        }
    }
    bool passedOver = false;
    for (const std::string& folder : DllSearchFolders()) {
        const File* file = machine.FindFile(Join(folder, name));
        if (file == nullptr) {
            continue;
        }
        if (IsOtherMachineImage(machine, *file)) {
            passedOver = true;
            continue;
        }
        return {file->path, 0};  // the file's own spelling, as the module's name
    }
    // Only copies of the other machine: the load fails as for that image itself.
    return {std::nullopt, passedOver ? kErrorBadExeFormat : kErrorModNotFound};
}

// One load as the loader makes it: the file and every DLL it needs, mapped once each (by base
// name, as the loader's module list holds them), each import's functions bound against the
// exports of the DLL that serves it, then the start-up code of each newly mapped DLL,
// dependencies first. An explicit worklist: a chain of any length costs a loop.
class Load {
  public:
    explicit Load(Machine& machine) : machine_(machine) {}

    std::uint32_t Run(const std::string& path) {
        const auto top = Map(path);
        if (!top) {
            return error_;
        }
        std::vector<Frame> stack{Frame(*top)};
        while (!stack.empty()) {
            if (const std::uint32_t error = Step(stack); error != 0) {
                return error;
            }
        }
        for (const std::size_t index : initOrder_) {
            if (const std::uint32_t error = StartUpError(mapped_[index].file->bytes); error != 0) {
                return error;
            }
        }
        return 0;
    }

  private:
    struct Mapped {
        const File* file = nullptr;
        std::vector<pe::ImportedDll> imports;
        std::optional<pe::ExportTable> exports;
    };
    // What serves an import: a module of the process, or a DLL this load maps. No exports
    // read: a module of the process that is no image we can read serves every function.
    struct Provider {
        const std::optional<pe::ExportTable>* exports = nullptr;
    };
    struct Frame {
        explicit Frame(std::size_t index) : mapped(index) {}
        std::size_t mapped = 0;
        std::size_t next = 0;
        std::optional<std::size_t> pending;  // the import whose functions are bound next
        Provider provider;
    };

    // Maps the file at `path`: nullopt (and error_) when the loader refuses it.
    std::optional<std::size_t> Map(const std::string& path) {
        const File* file = machine_.FindFile(path);
        if (file == nullptr) {
            error_ = kErrorModNotFound;
            return std::nullopt;
        }
        if (file->heldExclusively) {
            error_ = kErrorSharingViolation;
            return std::nullopt;
        }
        const auto bytes = BytesOf(*file);
        const auto imageMachine = pe::ReadMachine(bytes);
        auto imports = pe::ReadImports(bytes);
        if (bytes.size() < 2 || bytes[0] != 'M' || bytes[1] != 'Z' || !imageMachine ||
            *imageMachine != machine_.processMachine || !imports) {
            error_ = kErrorBadExeFormat;
            return std::nullopt;
        }
        mapped_.push_back({file, std::move(*imports), pe::ReadExports(bytes)});
        byName_[text::AsciiUpper(BaseName(file->path))] = mapped_.size() - 1;
        return mapped_.size() - 1;
    }

    // The module or mapped DLL that serves `name`, mapping it when the search finds it.
    std::optional<Provider> Resolve(const std::string& name, std::vector<Frame>& stack) {
        const std::string upper = text::AsciiUpper(name);
        if (const auto loaded = machine_.modules.find(upper); loaded != machine_.modules.end()) {
            auto cached = moduleExports_.find(upper);
            if (cached == moduleExports_.end()) {
                const File* file = machine_.FindFile(loaded->second.path);
                cached = moduleExports_
                             .emplace(upper, file != nullptr ? pe::ReadExports(BytesOf(*file))
                                                             : std::nullopt)
                             .first;
            }
            return Provider{cached->second ? &cached->second : nullptr};
        }
        if (const auto mapped = byName_.find(upper); mapped != byName_.end()) {
            return Provider{&mapped_[mapped->second].exports};
        }
        const LibrarySearchResult found = Locate(machine_, name);
        const auto index = found.path ? Map(*found.path) : std::nullopt;
        if (!index) {
            error_ = found.path ? error_ : found.error;
            return std::nullopt;
        }
        stack.emplace_back(*index);
        return Provider{&mapped_[*index].exports};
    }

    std::uint32_t Step(std::vector<Frame>& stack) {
        Frame& frame = stack.back();
        const std::vector<pe::ImportedDll>& imports = mapped_[frame.mapped].imports;
        if (frame.pending) {
            const pe::ImportedDll& dll = imports[*frame.pending];
            const Provider provider = frame.provider;
            frame.pending.reset();  // `frame` is not used after this: binding may map more DLLs
            for (const pe::FunctionRef& function : dll.functions) {
                if (const std::uint32_t error = Bind(provider, function, stack); error != 0) {
                    return error;
                }
            }
            return 0;
        }
        if (frame.next == imports.size()) {
            initOrder_.push_back(frame.mapped);
            stack.pop_back();
            return 0;
        }
        const std::size_t index = frame.next++;
        if (IsApiSetName(imports[index].name)) {
            return 0;
        }
        const std::size_t at = stack.size() - 1;
        auto provider = Resolve(imports[index].name, stack);
        if (!provider) {
            return error_;
        }
        stack[at].pending = index;  // bound once what it maps has been walked
        stack[at].provider = *provider;
        return 0;
    }

    // Binds one imported function: by name it must be exported, by ordinal it must lie within
    // the address table; a forwarder is followed to the DLL it names.
    std::uint32_t Bind(Provider provider, pe::FunctionRef function, std::vector<Frame>& stack) {
        std::set<std::pair<const pe::ExportTable*, std::string>> seen;
        for (std::size_t hop = 0; hop < kMaxForwarderHops; ++hop) {
            if (provider.exports == nullptr) {
                return 0;
            }
            if (!*provider.exports) {
                return kErrorProcNotFound;
            }
            const pe::ExportTable& table = **provider.exports;
            if (function.ordinal &&
                std::uint32_t{*function.ordinal} - table.ordinalBase >= table.addressCount) {
                return kErrorInvalidOrdinal;
            }
            const pe::Export* found = pe::FindExport(table, function);
            if (!function.ordinal && found == nullptr) {
                return kErrorProcNotFound;
            }
            if (found == nullptr || !found->forwarder) {
                return 0;  // an empty entry within the table binds to the module's base
            }
            const auto forwarder = pe::ParseForwarder(*found->forwarder);
            if (!forwarder || !seen.insert({&table, *found->forwarder}).second) {
                return kErrorProcNotFound;
            }
            if (IsApiSetName(forwarder->dll)) {
                return 0;
            }
            auto next = Resolve(forwarder->dll, stack);
            if (!next) {
                return error_;
            }
            provider = *next;
            function = forwarder->function;
        }
        return kErrorProcNotFound;
    }

    Machine& machine_;
    std::deque<Mapped> mapped_;  // stays where it is while more is mapped
    std::map<std::string, std::optional<pe::ExportTable>> moduleExports_;  // by upper name
    std::map<std::string, std::size_t> byName_;  // upper-cased base name -> mapped_ index
    std::vector<std::size_t> initOrder_;         // dependencies before the DLLs that need them
    std::uint32_t error_ = 0;
};

}  // namespace

LibrarySearchResult SearchLibrary(Machine& machine, std::string_view name) {
    if (name.find_first_of("\\/") != std::string_view::npos) {
        // A full path names a module already loaded when it is that module's file.
        const std::string wanted = machine.Canonical(name);
        for (const auto& [upper, module] : machine.modules) {
            if (machine.Canonical(module.path) == wanted) {
                return {module.path, 0};
            }
        }
    } else {
        const auto loaded = machine.modules.find(text::AsciiUpper(BaseName(name)));
        if (loaded != machine.modules.end()) {
            return {loaded->second.path, 0};
        }
    }
    const LibrarySearchResult found = Locate(machine, name);
    if (!found.path) {
        return found;
    }
    if (const std::uint32_t error = Load(machine).Run(*found.path); error != 0) {
        return {std::nullopt, error};
    }
    return found;
}

std::string BaseName(std::string_view path) {
    return std::string(text::FileNameOf(path));
}

std::string WithDefaultExtension(std::string_view name) {
    if (BaseName(name).find('.') == std::string::npos) {
        return std::string(name) + ".dll";
    }
    return std::string(name);
}

bool MapsAnew(const Machine& machine, std::string_view path) {
    return !machine.modules.contains(text::AsciiUpper(BaseName(path)));
}

}  // namespace platform::sim
