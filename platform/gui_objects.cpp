#include "platform/gui_objects.h"

#include <atomic>

namespace platform::gui {
namespace {

std::atomic<std::int64_t> g_gdiObjects{0};
std::atomic<std::int64_t> g_userObjects{0};

}  // namespace

LiveObjects LiveObjectCount() noexcept {
    return LiveObjects{g_gdiObjects.load(), g_userObjects.load()};
}

void CountGdiObject(int delta) noexcept {
    g_gdiObjects += delta;
}

void CountUserObject(int delta) noexcept {
    g_userObjects += delta;
}

}  // namespace platform::gui
