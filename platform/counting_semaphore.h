#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace morvane {

// A counting semaphore with a maximum. A release that would lift the count past the maximum
// (or a release of zero or less) fails without changing the count, and says so.
class CountingSemaphore {
public:
    CountingSemaphore(int32_t initialCount, int32_t maximumCount);
    CountingSemaphore(const CountingSemaphore&) = delete;
    CountingSemaphore& operator=(const CountingSemaphore&) = delete;

    // Returns false, without effect, when count + releaseCount would exceed the maximum.
    bool release(int32_t releaseCount = 1);
    void acquire();
    // Returns true when a count was taken before the timeout ran out.
    bool tryAcquireFor(std::chrono::milliseconds timeout);
    int32_t count() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable available_;
    int32_t count_;  // guarded by mutex_
    const int32_t maximum_;
};

}  // namespace morvane
