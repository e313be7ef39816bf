// What the running process holds: kernel handles, GDI and USER objects, private memory.
#pragma once

#include <cstdint>

namespace platform::process {

struct Resources {
    std::uint32_t handles = 0;
    std::uint32_t gdiObjects = 0;
    std::uint32_t userObjects = 0;
    std::uint64_t privateBytes = 0;
};

Resources CurrentResources();

}  // namespace platform::process
