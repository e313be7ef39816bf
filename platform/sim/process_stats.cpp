// On the simulated machine the process holds the registry keys and the modules it opened;
// its private memory is what the C run-time's heap has handed out.
#include "platform/process_stats.h"

#include <malloc.h>

#include <algorithm>

#include "platform/sim/machine.h"

namespace platform::process {

Resources CurrentResources() {
    const auto& m = sim::machine();
    Resources resources;
    const auto loaded = std::count_if(m.modules.begin(), m.modules.end(),
                                      [](const auto& entry) { return !entry.second.pinned; });
    resources.handles =
        static_cast<std::uint32_t>(m.openKeys.size() + static_cast<std::size_t>(loaded));
    resources.privateBytes = mallinfo2().uordblks;
    resources.heapBytesInUse = resources.privateBytes;
    return resources;
}

}  // namespace platform::process
