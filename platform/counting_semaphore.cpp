#include "platform/counting_semaphore.h"

#include <algorithm>

namespace morvane {

CountingSemaphore::CountingSemaphore(int32_t initialCount, int32_t maximumCount)
    : count_(std::clamp(initialCount, 0, std::max(maximumCount, 0))),
      maximum_(std::max(maximumCount, 0)) {}

bool CountingSemaphore::release(int32_t releaseCount) {
    {
        std::lock_guard lock(mutex_);
        if (releaseCount <= 0 || releaseCount > maximum_ - count_) {
            return false;
        }
        count_ += releaseCount;
    }
    if (releaseCount == 1) {
        available_.notify_one();
    } else {
        available_.notify_all();
    }
    return true;
}

void CountingSemaphore::acquire() {
    std::unique_lock lock(mutex_);
    available_.wait(lock, [this] { return count_ > 0; });
    --count_;
}

bool CountingSemaphore::tryAcquireFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!available_.wait_for(lock, timeout, [this] { return count_ > 0; })) {
        return false;
    }
    --count_;
    return true;
}

int32_t CountingSemaphore::count() const {
    std::lock_guard lock(mutex_);
    return count_;
}

}  // namespace morvane
