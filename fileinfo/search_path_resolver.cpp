#include "fileinfo/search_path_resolver.h"

#include "platform/dll_search.h"
#include "platform/kernel32.h"
#include "platform/text.h"

namespace fileinfo {
SearchPathResolver::SearchPathResolver(FileRecords& records, SearchFolderIndex& folders)
    : records_(records), folders_(folders), machine_(platform::kernel32::ProcessMachine()) {}

DllResolution SearchPathResolver::Resolve(std::string_view dllName) {
    const std::string key = platform::text::AsciiUpper(dllName);
    const auto known = resolved_.find(key);
    if (known != resolved_.end()) {
        return known->second;
    }
    DllResolution resolution{DllResolution::Kind::kSystem, nullptr};
    if (!platform::IsApiSetName(dllName)) {
        if (auto loaded = LoadedModule(dllName)) {
            resolution = *loaded;
        } else if (auto system = KnownDll(dllName)) {
            resolution = *system;
        } else {
            resolution = Search(dllName);
        }
    }
    resolved_.emplace(key, resolution);
    return resolution;
}

std::optional<DllResolution> SearchPathResolver::LoadedModule(std::string_view dllName) {
    if (!loadedModules_) {
        loadedModules_.emplace();
        for (const std::string& path : platform::kernel32::LoadedModulePaths()) {
            loadedModules_->emplace(platform::text::AsciiUpper(platform::text::FileNameOf(path)),
                                    path);
        }
    }
    const auto found = loadedModules_->find(platform::text::AsciiUpper(dllName));
    if (found == loadedModules_->end()) {
        return std::nullopt;
    }
    return DllResolution{DllResolution::Kind::kLoaded, &records_.Of(found->second)};
}

std::optional<DllResolution> SearchPathResolver::KnownDll(std::string_view dllName) {
    if (!knownDlls_) {
        const std::vector<std::string> names = platform::KnownDllNames();
        knownDlls_.emplace(names.begin(), names.end());
    }
    if (!knownDlls_->contains(platform::text::AsciiUpper(dllName))) {
        return std::nullopt;
    }
    const std::string path = platform::kernel32::SystemFolder() + "\\" + std::string(dllName);
    const auto attributes = platform::kernel32::GetFileAttributes(path);
    if (!attributes || (*attributes & platform::kernel32::kFileAttributeDirectory) != 0) {
        return std::nullopt;
    }
    return DllResolution{DllResolution::Kind::kFound, &records_.Of(path)};
}

DllResolution SearchPathResolver::Search(std::string_view dllName) {
    const FileRecord* firstOtherMachine = nullptr;
    for (const std::string& path : folders_.Copies(dllName)) {
        const FileRecord& copy = records_.Of(path);
        // The loader passes over an image of the other machine and goes on searching; any other
        // file ends the search, loadable or not.
        if (copy.machine && *copy.machine != machine_) {
            if (firstOtherMachine == nullptr) {
                firstOtherMachine = &copy;
            }
            continue;
        }
        return {DllResolution::Kind::kFound, &copy};
    }
    if (firstOtherMachine != nullptr) {
        return {DllResolution::Kind::kOtherMachineOnly, firstOtherMachine};
    }
    return {DllResolution::Kind::kMissing, nullptr};
}

}  // namespace fileinfo
