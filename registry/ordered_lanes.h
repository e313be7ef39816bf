// The one place where the registry component runs work on several threads.
//
// Jobs are posted to numbered lanes. The jobs of one lane run one after another, in the order
// they were posted; jobs of different lanes may run at the same time. Drain() returns when every
// job posted before it has run. So a caller that gives every job touching one thing the same
// lane, and drains before a job that may touch anything, sees exactly what running the jobs one
// by one in posting order gives. That is the whole contract; the threads only buy time (under
// Wine every registry call is a round trip to the server, and several callers keep it busy).
//
// A job that throws does not end the process: the exception is caught on its thread, the lane
// goes on with its next job, and the exception's text is kept for TakeFailures().
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace registry {

class OrderedLanes {
  public:
    using Job = std::function<void()>;

    // `laneCount` threads (at least one); Post() waits while a lane holds `queueLimit` jobs,
    // which bounds the memory that work waiting for the registry takes.
    OrderedLanes(unsigned laneCount, std::size_t queueLimit);
    OrderedLanes(const OrderedLanes&) = delete;
    OrderedLanes& operator=(const OrderedLanes&) = delete;
    // Runs every job posted, then ends the threads.
    ~OrderedLanes();

    [[nodiscard]] unsigned LaneCount() const { return static_cast<unsigned>(lanes_.size()); }

    // Queues `job` on lane `lane % LaneCount()`.
    void Post(std::size_t lane, Job job);
    // Waits until every job posted so far has run.
    void Drain();
    // The texts of the exceptions that jobs threw since the last call.
    std::vector<std::string> TakeFailures();

  private:
    struct Lane {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<Job> queue;
        bool busy = false;
        bool stopping = false;
        bool waiting = false;  // someone waits for room or for the lane to empty
        std::thread thread;
    };

    void Work(Lane& lane);
    void Stop();

    std::size_t queueLimit_;
    std::vector<std::unique_ptr<Lane>> lanes_;
    std::mutex failuresMutex_;
    std::vector<std::string> failures_;
};

}  // namespace registry
