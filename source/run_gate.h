#pragma once

#include <condition_variable>
#include <mutex>

namespace morvane {

// The run state that a graph's threads obey: they wait at the gate while the graph is
// paused, and leave once it is stopped. Starts paused.
class RunGate {
public:
    void run();
    void pause();
    void stop();
    bool stopped() const;

    // Waits while paused; false once stopped.
    bool pass();

private:
    enum class State { Paused, Running, Stopped };
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    State state_ = State::Paused;  // guarded by mutex_
};

}  // namespace morvane
