// The GDI and USER objects (fonts, pens, bitmaps, device contexts, windows) that the platform
// layer holds for the program, counted by its owners. The count is the same figure on every
// backend, so a leak check can fail under Wine too, whose process figures for these objects
// are always 0.
#pragma once

#include <cstdint>

namespace platform::gui {

struct LiveObjects {
    std::int64_t gdi = 0;
    std::int64_t user = 0;
    friend bool operator==(const LiveObjects&, const LiveObjects&) = default;
};

// The objects created through the platform layer's owners and not yet destroyed.
LiveObjects LiveObjectCount() noexcept;

// Told by the owners: one object more (+1) or one less (-1).
void CountGdiObject(int delta) noexcept;
void CountUserObject(int delta) noexcept;

// The owners' traits take these in: an object counted while an owner holds it.
struct CountedGdi {
    template <typename Pointer>
    static void adopted(Pointer) noexcept {
        CountGdiObject(+1);
    }
};
struct CountedUser {
    template <typename Pointer>
    static void adopted(Pointer) noexcept {
        CountUserObject(+1);
    }
};

}  // namespace platform::gui
