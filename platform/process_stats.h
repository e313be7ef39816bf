// What the running process holds: kernel handles, GDI and USER objects, private memory, and
// the bytes in use on its heaps.
#pragma once

#include <cstdint>

namespace platform::process {

struct Resources {
    std::uint32_t handles = 0;
    std::uint32_t gdiObjects = 0;
    std::uint32_t userObjects = 0;
    std::uint64_t privateBytes = 0;
    // What the heaps have handed out and not had back: unlike the private memory, it does not
    // swing with the heaps' own growth and the large blocks that come and go (bitmaps).
    std::uint64_t heapBytesInUse = 0;
};

Resources CurrentResources();

}  // namespace platform::process
