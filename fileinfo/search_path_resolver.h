// DLL names resolved for the walk of imports as the platform's loader resolves them for this
// program's probe, which is the same program: API-set names from the system; a module this
// process has loaded (listed once per run); a known DLL (the registry's KnownDLLs) from the system
// folder; otherwise the first copy in the search folders built for this process's machine, copies
// of the other machine passed over. Nothing is loaded: each copy is read once per run as a record.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "fileinfo/file_record.h"
#include "fileinfo/import_walk.h"
#include "fileinfo/search_folders.h"

namespace fileinfo {

class SearchPathResolver final : public DllResolver {
  public:
    // Both belong to the run and outlive the resolver; the folders are listed on first need.
    SearchPathResolver(FileRecords& records, SearchFolderIndex& folders);

    DllResolution Resolve(std::string_view dllName) override;
    [[nodiscard]] std::uint16_t Machine() const override { return machine_; }

  private:
    std::optional<DllResolution> LoadedModule(std::string_view dllName);
    std::optional<DllResolution> KnownDll(std::string_view dllName);
    DllResolution Search(std::string_view dllName);

    FileRecords& records_;
    SearchFolderIndex& folders_;
    std::uint16_t machine_;
    std::optional<std::set<std::string>> knownDlls_;  // upper-cased names, read on first need
    // The modules of this process by upper-cased file name, listed on first need.
    std::optional<std::map<std::string, std::string>> loadedModules_;
    std::map<std::string, DllResolution> resolved_;  // by upper-cased name
};

}  // namespace fileinfo
