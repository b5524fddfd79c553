#include "source/run_gate.h"

namespace morvane {

void RunGate::run() {
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::Stopped) {
            return;
        }
        state_ = State::Running;
    }
    changed_.notify_all();
}

void RunGate::pause() {
    std::lock_guard lock(mutex_);
    if (state_ == State::Running) {
        state_ = State::Paused;
    }
}

void RunGate::stop() {
    {
        std::lock_guard lock(mutex_);
        state_ = State::Stopped;
    }
    changed_.notify_all();
}

bool RunGate::stopped() const {
    std::lock_guard lock(mutex_);
    return state_ == State::Stopped;
}

bool RunGate::pass() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return state_ != State::Paused; });
    return state_ == State::Running;
}

}  // namespace morvane
