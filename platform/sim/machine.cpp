#include "platform/sim/machine.h"

#include <algorithm>

#include "platform/text.h"

namespace platform::sim {
namespace {

std::string Slashes(std::string_view path) {
    std::string out(path);
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

bool IsAbsolute(std::string_view path) {
    return (path.size() >= 2 && path[1] == ':') || path.starts_with("\\\\");
}

// The folder part of a canonical path, "" for a drive root.
std::string ParentOf(const std::string& canonical) {
    const auto cut = canonical.find_last_of('\\');
    if (cut == std::string::npos) {
        return "";
    }
    if (cut == 2 && canonical.size() > 3) {
        return canonical.substr(0, 3);  // "C:\"
    }
    if (cut == 2) {
        return "";
    }
    return canonical.substr(0, cut);
}

std::string BaseName(std::string_view path) {
    const auto cut = path.find_last_of("\\/");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

}  // namespace

Machine::Machine() {
    for (std::uint32_t root = registry::kClassesRoot; root <= registry::kDynData; ++root) {
        registryRoots[root] = std::make_shared<RegistryNode>();
    }
    AddFolder(currentDirectory);
    AddFolder(programFolder);
    AddFolder(systemFolder);
    SetEnv("SystemRoot", windowsFolder);
    SetEnv("TEMP", currentDirectory + "\\AppData\\Local\\Temp");
    AddFolder(currentDirectory + "\\AppData\\Local\\Temp");
    SetEnv("PATH", systemFolder + ";" + windowsFolder);
    // The modules every windowed process has loaded.
    for (const char* name : {"ntdll.dll", "kernel32.dll", "KERNELBASE.dll", "user32.dll",
                             "GDI32.dll", "advapi32.dll", "msvcrt.dll", "version.dll",
                             "comdlg32.dll", "ole32.dll", "oleaut32.dll", "shell32.dll"}) {
        const std::string path = systemFolder + "\\" + name;
        AddFile(path, "MZ");
        modules[text::AsciiUpper(name)] = LoadedModule{path, 1, true};
        moduleHandles[nextModuleHandle] = text::AsciiUpper(name);
        nextModuleHandle += 0x10000;
    }
    messageTexts = {
        {2, "The system cannot find the file specified.\r\n"},
        {3, "The system cannot find the path specified.\r\n"},
        {5, "Access is denied.\r\n"},
        {6, "The handle is invalid.\r\n"},
        {32, "The process cannot access the file because it is being used by another process.\r\n"},
        {126, "The specified module could not be found.\r\n"},
        {193, "%1 is not a valid Win32 application.\r\n"},
        {259, "No more data is available.\r\n"},
        {998, "Invalid access to memory location.\r\n"},
        {1114, "A dynamic link library (DLL) initialization routine failed.\r\n"},
        {1157, "One of the library files needed to run this application cannot be found.\r\n"},
    };
}

std::string Machine::Absolute(std::string_view path) const {
    std::string p = Slashes(path);
    if (!IsAbsolute(p)) {
        if (p.starts_with("\\")) {
            p = currentDirectory.substr(0, 2) + p;
        } else {
            std::string base = currentDirectory;
            if (!base.ends_with("\\")) {
                base += "\\";
            }
            p = base + p;
        }
    }
    return p;
}

template <typename Convert>
std::string Machine::EachElement(std::string_view path, Convert convert) const {
    const std::string absolute = Absolute(path);
    std::string result;
    std::string canonical;
    std::size_t start = 0;
    for (;;) {
        auto end = absolute.find('\\', start);
        if (end == std::string::npos) {
            end = absolute.size();
        }
        const std::string element = absolute.substr(start, end - start);
        if (start == 0) {
            canonical = text::AsciiUpper(element);  // the drive
            result = element;
        } else if (element.empty() || element == ".") {
            result += "\\" + element;
        } else {
            canonical += (canonical.ends_with('\\') ? "" : "\\") + text::AsciiUpper(element);
            result += "\\" + convert(canonical, element);
        }
        if (end == absolute.size()) {
            return result;
        }
        start = end + 1;
    }
}

std::string Machine::LongForm(std::string_view path) const {
    return EachElement(path, [this](std::string& canonical, const std::string& element) {
        const auto found = shortNames_.find(canonical);
        if (found == shortNames_.end()) {
            return element;
        }
        canonical = found->second.longCanonical;
        return found->second.longName;
    });
}

std::string Machine::ShortForm(std::string_view path) const {
    return EachElement(path, [this](std::string& canonical, const std::string& element) {
        if (const auto isShort = shortNames_.find(canonical); isShort != shortNames_.end()) {
            canonical = isShort->second.longCanonical;
        }
        const auto found = shortSpelling_.find(canonical);
        return found == shortSpelling_.end() ? element : found->second;
    });
}

void Machine::AddShortName(std::string_view path, std::string_view shortName) {
    const std::string longCanonical = Canonical(path);
    const std::string parent = ParentOf(longCanonical);
    const std::string key =
        parent + (parent.ends_with('\\') ? "" : "\\") + text::AsciiUpper(shortName);
    shortNames_[key] = {longCanonical, BaseName(LongForm(path))};
    shortSpelling_[longCanonical] = std::string(shortName);
}

std::string Machine::Canonical(std::string_view path) const {
    std::string p = text::AsciiUpper(shortNames_.empty() ? Absolute(path) : LongForm(path));
    // Fold "\\" runs (but keep a UNC prefix) and drop "." segments.
    std::string out;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i] == '\\' && !out.empty() && out.back() == '\\' && i > 1) {
            continue;
        }
        out.push_back(p[i]);
    }
    while (out.size() > 3 && out.back() == '\\') {
        out.pop_back();
    }
    for (std::size_t pos; (pos = out.find("\\.\\")) != std::string::npos;) {
        out.erase(pos, 2);
    }
    if (out.ends_with("\\.") && out.size() > 4) {
        out.resize(out.size() - 2);
    }
    if (out.size() == 2 && out[1] == ':') {
        out += "\\";
    }
    return out;
}

void Machine::AddFolder(std::string_view path) {
    std::string key = Canonical(path);
    while (!key.empty()) {
        folders_.try_emplace(key, false);
        key = ParentOf(key);
    }
}

void Machine::SetReadOnlyFolder(std::string_view path, bool readOnly) {
    AddFolder(path);
    folders_[Canonical(path)] = readOnly;
}

bool Machine::FolderIsReadOnly(std::string_view path) const {
    const auto it = folders_.find(Canonical(path));
    return it != folders_.end() && it->second;
}

void Machine::AddFile(std::string_view path, std::string_view bytes, runtime::DateTime lastWrite,
                      std::uint32_t attributes) {
    const std::string key = Canonical(path);
    const std::string parent = ParentOf(key);
    if (!parent.empty()) {
        AddFolder(parent);
    }
    File file;
    file.path = Absolute(path);
    file.bytes = std::string(bytes);
    if (!lastWrite.IsZero()) {
        file.lastWrite = lastWrite;
    }
    file.attributes = attributes;
    files_[key] = std::move(file);
}

File* Machine::FindFile(std::string_view path) {
    const auto it = files_.find(Canonical(path));
    return it == files_.end() ? nullptr : &it->second;
}

bool Machine::FolderExists(std::string_view path) const {
    return folders_.contains(Canonical(path));
}

bool Machine::RemoveFile(std::string_view path) {
    return files_.erase(Canonical(path)) > 0;
}

bool Machine::RemoveFolder(std::string_view path) {
    const std::string key = Canonical(path);
    const std::string prefix = key + "\\";
    const auto hasChild = [&](const auto& entry) { return entry.first.starts_with(prefix); };
    if (std::any_of(files_.begin(), files_.end(), hasChild) ||
        std::any_of(folders_.begin(), folders_.end(), hasChild)) {
        return false;
    }
    return folders_.erase(key) > 0;
}

void Machine::SetEnv(std::string_view name, std::string_view value) {
    environment[text::AsciiUpper(name)] = {std::string(name), std::string(value)};
}

void Machine::UnsetEnv(std::string_view name) {
    environment.erase(text::AsciiUpper(name));
}

std::optional<std::string> Machine::GetEnv(std::string_view name) const {
    const auto it = environment.find(text::AsciiUpper(name));
    if (it == environment.end()) {
        return std::nullopt;
    }
    return it->second.second;
}

std::shared_ptr<RegistryNode> Machine::RegistryKey(std::uint32_t root, std::string_view path) {
    std::shared_ptr<RegistryNode> node = registryRoots.at(root);
    std::size_t start = 0;
    while (start < path.size()) {
        auto end = path.find('\\', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view part = path.substr(start, end - start);
        if (!part.empty()) {
            auto& child = node->subkeys[text::AsciiUpper(part)];
            if (!child) {
                child = std::make_shared<RegistryNode>();
                child->name = std::string(part);
            }
            node = child;
        }
        start = end + 1;
    }
    return node;
}

kernel32::RawModule Machine::AddLoadedModule(std::string_view path) {
    const std::string upper = text::AsciiUpper(BaseName(path));
    auto& module = modules[upper];
    if (module.path.empty()) {
        module.path = Absolute(path);
    }
    ++module.loadCount;
    for (const auto& [handle, name] : moduleHandles) {
        if (name == upper) {
            return handle;
        }
    }
    const kernel32::RawModule handle = nextModuleHandle;
    nextModuleHandle += 0x10000;
    moduleHandles[handle] = upper;
    return handle;
}

namespace {
std::unique_ptr<Machine>& Instance() {
    static std::unique_ptr<Machine> instance = std::make_unique<Machine>();
    return instance;
}
}  // namespace

Machine& machine() {
    return *Instance();
}

void Reset() {
    Instance() = std::make_unique<Machine>();
}

}  // namespace platform::sim
