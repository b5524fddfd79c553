#include "platform/auto_reset_event.h"

namespace morvane {

void AutoResetEvent::set() {
    {
        std::lock_guard lock(mutex_);
        isSet_ = true;
    }
    signalled_.notify_one();
}

void AutoResetEvent::wait() {
    std::unique_lock lock(mutex_);
    signalled_.wait(lock, [this] { return isSet_; });
    isSet_ = false;
}

bool AutoResetEvent::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!signalled_.wait_for(lock, timeout, [this] { return isSet_; })) {
        return false;
    }
    isSet_ = false;
    return true;
}

}  // namespace morvane
