#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace morvane {

// An event that stays signalled until one waiter takes the signal; setting it while it is
// already signalled has no further effect.
class AutoResetEvent {
public:
    AutoResetEvent() = default;
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    void set();
    void wait();
    // Returns true when the event was signalled within the timeout (and resets it).
    bool waitFor(std::chrono::milliseconds timeout);

private:
    std::mutex mutex_;
    std::condition_variable signalled_;
    bool isSet_ = false;  // guarded by mutex_
};

}  // namespace morvane
