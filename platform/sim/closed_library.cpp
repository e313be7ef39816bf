// The simulated closed library: by default it looks the name up in the PATH folders of the
// simulated process, as the real one does; tests may replace what it does or remove it.
#include "platform/closed_library.h"

#include "platform/dll_search.h"

#include "platform/sim/machine.h"

namespace platform::closed_library {
namespace {

void SearchPath(std::string& name, std::string& pathBuffer) {
    auto& m = sim::machine();
    for (std::string folder : ProcessPathFolders()) {
        if (!folder.ends_with('\\')) {
            folder += '\\';
        }
        if (const sim::File* file = m.FindFile(folder + name)) {
            const std::string found = file->path.substr(0, pathBuffer.size());
            pathBuffer.replace(0, found.size(), found);
            m.lastError = 0;
            return;
        }
    }
    m.lastError = 2;
}

}  // namespace

void FindFileInPath(std::string& name, std::string& pathBuffer) {
    auto& m = sim::machine();
    if (!m.closedLibraryPresent) {
        m.lastError = 126;
        throw Unavailable("File not found: Kelvra_Intel_Win32.dll");
    }
    if (m.findFileInPath) {
        m.findFileInPath(name, pathBuffer);
    } else {
        SearchPath(name, pathBuffer);
    }
}

}  // namespace platform::closed_library
