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

}  // namespace platform::sim
