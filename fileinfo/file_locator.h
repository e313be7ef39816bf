// What one run finds its files with: the probe process in which the library search loads them
// (started when first needed), the records of the copies it has read, the one listing of the
// search folders, and the walk of each copy's imports. The run owns it; the file information
// object and the blocks after the file table use it, so each copy is read, and each walk made,
// once per run.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "fileinfo/file_record.h"
#include "fileinfo/import_walk.h"
#include "fileinfo/search_folders.h"
#include "fileinfo/search_path_resolver.h"
#include "platform/library_probe.h"

namespace fileinfo {

class FileLocator {
  public:
    explicit FileLocator(platform::library_probe::Options probeOptions = {})
        : probe_(std::move(probeOptions)) {}
    FileLocator(const FileLocator&) = delete;  // its resolver refers to its own members
    FileLocator& operator=(const FileLocator&) = delete;

    [[nodiscard]] platform::library_probe::Probe& Probe() { return probe_; }
    [[nodiscard]] FileRecords& Records() { return records_; }
    [[nodiscard]] SearchFolderIndex& Folders() { return folders_; }
    // The walk of the imports of the copy at `path`, as this program's loads resolve them.
    const ImportWalk& WalkOf(std::string_view path);

  private:
    platform::library_probe::Probe probe_;
    FileRecords records_;
    SearchFolderIndex folders_;
    SearchPathResolver resolver_{records_, folders_};
    std::map<std::string, ImportWalk> walks_;  // by upper-cased path
};

}  // namespace fileinfo
