#include "platform/process_stats.h"

#include "platform/win32/windows_api.h"

#include <psapi.h>

#include <vector>

namespace platform::process {
namespace {

// The busy blocks of every heap of the process.
std::uint64_t HeapBytesInUse() {
    std::vector<HANDLE> heaps(64);
    DWORD count = ::GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (count > heaps.size()) {
        heaps.resize(count + 16);
        count = ::GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    }
    std::uint64_t total = 0;
    for (DWORD i = 0; i < count && i < heaps.size(); ++i) {
        if (!::HeapLock(heaps[i])) {
            continue;
        }
        PROCESS_HEAP_ENTRY entry{};
        while (::HeapWalk(heaps[i], &entry)) {
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
                total += entry.cbData;
            }
        }
        ::HeapUnlock(heaps[i]);
    }
    return total;
}

}  // namespace

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
    resources.heapBytesInUse = HeapBytesInUse();
    return resources;
}

}  // namespace platform::process
