#include "registry/ordered_lanes.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace registry {

OrderedLanes::OrderedLanes(unsigned laneCount, std::size_t queueLimit)
    : queueLimit_(std::max<std::size_t>(queueLimit, 1)) {
    const unsigned count = std::max(laneCount, 1u);
    for (unsigned i = 0; i < count; ++i) {
        lanes_.push_back(std::make_unique<Lane>());
    }
    try {
        for (const auto& lane : lanes_) {
            lane->thread = std::thread([this, raw = lane.get()] { Work(*raw); });
        }
    } catch (...) {
        Stop();  // the threads started so far
        throw;
    }
}

OrderedLanes::~OrderedLanes() {
    Stop();
}

void OrderedLanes::Stop() {
    for (const auto& lane : lanes_) {
        {
            const std::lock_guard lock(lane->mutex);
            lane->stopping = true;
        }
        lane->changed.notify_all();
    }
    for (const auto& lane : lanes_) {
        if (lane->thread.joinable()) {
            lane->thread.join();
        }
    }
}

void OrderedLanes::Post(std::size_t laneNumber, Job job) {
    Lane& lane = *lanes_[laneNumber % lanes_.size()];
    std::unique_lock lock(lane.mutex);
    while (lane.queue.size() >= queueLimit_) {
        lane.waiting = true;
        lane.changed.wait(lock);
    }
    const bool wasIdle = lane.queue.empty() && !lane.busy;
    lane.queue.push_back(std::move(job));
    lock.unlock();
    // A busy lane looks at its queue again before it sleeps: only an idle one needs waking.
    if (wasIdle) {
        lane.changed.notify_all();
    }
}

void OrderedLanes::Drain() {
    for (const auto& lane : lanes_) {
        std::unique_lock lock(lane->mutex);
        while (!lane->queue.empty() || lane->busy) {
            lane->waiting = true;
            lane->changed.wait(lock);
        }
    }
}

std::vector<std::string> OrderedLanes::TakeFailures() {
    const std::lock_guard lock(failuresMutex_);
    return std::exchange(failures_, {});
}

void OrderedLanes::Work(Lane& lane) {
    std::unique_lock lock(lane.mutex);
    while (true) {
        lane.changed.wait(lock, [&] { return !lane.queue.empty() || lane.stopping; });
        if (lane.queue.empty()) {
            return;  // stopping, with every job run
        }
        Job job = std::move(lane.queue.front());
        lane.queue.pop_front();
        lane.busy = true;
        lock.unlock();
        try {
            job();
        } catch (const std::exception& error) {
            const std::lock_guard failuresLock(failuresMutex_);
            failures_.emplace_back(error.what());
        } catch (...) {
            const std::lock_guard failuresLock(failuresMutex_);
            failures_.emplace_back("an unknown exception");
        }
        job = nullptr;  // what the job holds goes here, not while the lane is locked
        lock.lock();
        lane.busy = false;
        // Wake a poster waiting for room, or Drain(); nobody else waits on a busy lane.
        if (lane.waiting) {
            lane.waiting = false;
            lock.unlock();
            lane.changed.notify_all();
            lock.lock();
        }
    }
}

}  // namespace registry
