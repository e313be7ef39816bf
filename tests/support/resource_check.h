// What a process holds, taken before and after many repetitions of the same work: nothing may
// have grown but the heap's own slack.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/gui_objects.h"
#include "platform/process_stats.h"

namespace kelvra::test {

struct HeldResources {
    platform::process::Resources process;
    platform::gui::LiveObjects owned;  // the GDI and USER objects the platform layer holds
};

inline HeldResources CurrentlyHeld() {
    return {platform::process::CurrentResources(), platform::gui::LiveObjectCount()};
}

// Heaps keep some slack of their own; over the soak's thousand runs, a leak of more than
// about 500 bytes a run exceeds this.
inline constexpr std::uint64_t kMemorySlackBytes = 512 * 1024;

inline ::testing::AssertionResult NothingGrew(const HeldResources& before,
                                              const HeldResources& after) {
    auto failure = ::testing::AssertionFailure();
    bool grew = false;
    const auto check = [&](const char* what, auto was, auto is, auto slack) {
        if (is > was + slack) {
            failure << what << " grew from " << was << " to " << is << "; ";
            grew = true;
        }
    };
    check("GDI objects held by the program", before.owned.gdi, after.owned.gdi, 0);
    check("USER objects held by the program", before.owned.user, after.owned.user, 0);
    check("handles", before.process.handles, after.process.handles, 0u);
    check("GDI objects of the process", before.process.gdiObjects, after.process.gdiObjects, 0u);
    check("USER objects of the process", before.process.userObjects, after.process.userObjects, 0u);
    // Not the private memory: it swings by megabytes with the heaps' own growth and the large
    // blocks of bitmaps that come and go, so it cannot tell a leak of a few bytes a run.
    check("bytes in use on the heaps", before.process.heapBytesInUse, after.process.heapBytesInUse,
          kMemorySlackBytes);
    return grew ? failure : ::testing::AssertionSuccess();
}

}  // namespace kelvra::test
