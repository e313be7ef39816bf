// The threads of the registry component keep the order of each lane, wait for all work when
// asked, and survive a job that throws.
#include "registry/ordered_lanes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <stdexcept>

namespace registry {
namespace {

TEST(OrderedLanes, EachLaneRunsItsJobsInPostingOrder) {
    constexpr std::size_t kLanes = 5;
    constexpr int kJobs = 4000;
    std::mutex mutex;
    std::vector<std::vector<int>> seen(kLanes);
    {
        OrderedLanes lanes(3, 4);  // fewer threads than lane numbers, little room in the queues
        for (int job = 0; job < kJobs; ++job) {
            const std::size_t lane = static_cast<std::size_t>(job * 7 % 11) % kLanes;
            lanes.Post(lane, [&, lane, job] {
                const std::lock_guard lock(mutex);
                seen[lane].push_back(job);
            });
        }
        lanes.Drain();
        std::size_t total = 0;
        for (const auto& jobs : seen) {
            total += jobs.size();
            EXPECT_TRUE(std::is_sorted(jobs.begin(), jobs.end()));
        }
        EXPECT_EQ(total, static_cast<std::size_t>(kJobs));
    }
}

TEST(OrderedLanes, DrainWaitsForEveryJobPostedBefore) {
    OrderedLanes lanes(4, 2);
    std::atomic<int> done{0};
    for (int round = 0; round < 50; ++round) {
        for (int job = 0; job < 8; ++job) {
            lanes.Post(static_cast<std::size_t>(job), [&] { ++done; });
        }
        lanes.Drain();
        EXPECT_EQ(done.load(), (round + 1) * 8);
    }
}

TEST(OrderedLanes, AJobThatThrowsIsReportedAndTheLaneGoesOn) {
    OrderedLanes lanes(2, 8);
    std::atomic<int> after{0};
    lanes.Post(0, [] { throw std::runtime_error("no memory for the value"); });
    lanes.Post(0, [&] { ++after; });
    lanes.Post(1, [] { throw 42; });
    lanes.Post(1, [&] { ++after; });
    lanes.Drain();
    EXPECT_EQ(after.load(), 2);
    auto failures = lanes.TakeFailures();
    std::sort(failures.begin(), failures.end());
    EXPECT_EQ(failures,
              (std::vector<std::string>{"an unknown exception", "no memory for the value"}));
    EXPECT_TRUE(lanes.TakeFailures().empty());
}

TEST(OrderedLanes, DestructionRunsWhatWasPosted) {
    std::atomic<int> done{0};
    {
        OrderedLanes lanes(2, 100);
        for (int job = 0; job < 100; ++job) {
            lanes.Post(static_cast<std::size_t>(job), [&] { ++done; });
        }
    }
    EXPECT_EQ(done.load(), 100);
}

}  // namespace
}  // namespace registry
