// The simulated loader's search for a DLL named without a folder: a module already loaded,
// then the program's folder, the system folder, the Windows folder, the current folder and
// the PATH folders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/machine.h"

namespace platform::sim {

struct LibrarySearchResult {
    std::optional<std::string> path;  // the file that would load
    std::uint32_t error = 0;          // why nothing loads (126, 193, ...)
};

LibrarySearchResult SearchLibrary(Machine& machine, std::string_view name);

// The file name at the end of a path.
std::string BaseName(std::string_view path);
// The name as LoadLibrary and GetModuleHandle take it: ".dll" added when it has no extension.
std::string WithDefaultExtension(std::string_view name);
// Whether loading the file at `path` maps it anew (and runs its start-up code): no module of
// its name is loaded yet.
bool MapsAnew(const Machine& machine, std::string_view path);

}  // namespace platform::sim
