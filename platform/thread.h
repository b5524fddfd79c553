#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace morvane {

// A thread whose exit code can be read while it runs and after it has ended, so that
// callers can poll for its end. The destructor joins.
class Thread {
public:
    // The exit code reported while the thread still runs.
    static constexpr int kStillActive = 259;

    Thread() = default;
    explicit Thread(std::function<int()> body);
    Thread(Thread&&) noexcept = default;
    Thread& operator=(Thread&& other) noexcept;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    ~Thread();

    bool isRunning() const;
    // The body's result once it has returned; kStillActive until then.
    int exitCode() const;
    // True once the thread has ended (at once for a thread never started), false when it
    // still runs after `timeout`. Returns as soon as the body does, without joining.
    bool waitForEnd(std::chrono::milliseconds timeout) const;
    // Waits for the end of the thread; does nothing for a thread never started or already joined.
    void join();

private:
    struct State {
        std::atomic<bool> finished{false};
        std::atomic<int> exitCode{kStillActive};
        std::mutex mutex;
        std::condition_variable ended;
    };
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace morvane
