#include "platform/process_stats.h"

#include "platform/win32/windows_api.h"

#include <psapi.h>

namespace platform::process {

// Wine answers the handle and GUI object counts with 0; on Windows they are real.
Resources CurrentResources() {
    Resources resources;
    const HANDLE self = ::GetCurrentProcess();
    DWORD handles = 0;
    if (::GetProcessHandleCount(self, &handles)) {
        resources.handles = handles;
    }
    resources.gdiObjects = ::GetGuiResources(self, GR_GDIOBJECTS);
    resources.userObjects = ::GetGuiResources(self, GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    if (::GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                               sizeof(memory))) {
        // Wine leaves PrivateUsage at 0 but fills the commit charge, which is the same figure.
        resources.privateBytes =
            memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
    }
    return resources;
}

}  // namespace platform::process
