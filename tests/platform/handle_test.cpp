#include "platform/handle.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> g_closed;

struct FakeTraits {
    using pointer = int;
    static constexpr int invalid() noexcept { return -1; }
    static void close(int h) noexcept { g_closed.push_back(h); }
};
using FakeHandle = platform::UniqueHandle<FakeTraits>;

TEST(UniqueHandle, ReleasesOnceOnEveryPathOut) {
    g_closed.clear();
    {
        FakeHandle a(3);
        FakeHandle b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_TRUE(b);
        FakeHandle c(7);
        c = std::move(b);  // 7 is released, 3 moves on
        EXPECT_EQ(g_closed, std::vector<int>{7});
        c = std::move(c);  // self-move keeps the handle
        EXPECT_EQ(c.get(), 3);
    }
    EXPECT_EQ(g_closed, (std::vector<int>{7, 3}));
}

TEST(UniqueHandle, ReleaseGivesUpOwnershipAndPutResets) {
    g_closed.clear();
    FakeHandle a(5);
    EXPECT_EQ(a.release(), 5);
    EXPECT_FALSE(a);
    FakeHandle b(9);
    *b.put() = 11;
    EXPECT_EQ(g_closed, std::vector<int>{9});
    EXPECT_EQ(b.get(), 11);
    b.reset();
    EXPECT_EQ(g_closed, (std::vector<int>{9, 11}));
    b.reset();  // nothing more to release
    EXPECT_EQ(g_closed.size(), 2u);
}

static_assert(!std::is_copy_constructible_v<FakeHandle>);
static_assert(!std::is_copy_assignable_v<FakeHandle>);

}  // namespace
