#include "platform/thread.h"

#include <utility>

namespace morvane {

Thread::Thread(std::function<int()> body) : state_(std::make_shared<State>()) {
    thread_ = std::thread([state = state_, body = std::move(body)] {
        const int code = body();
        state->exitCode.store(code, std::memory_order_release);
        {
            std::lock_guard lock(state->mutex);
            state->finished.store(true, std::memory_order_release);
        }
        state->ended.notify_all();
    });
}

Thread& Thread::operator=(Thread&& other) noexcept {
    if (this != &other) {
        join();
        state_ = std::move(other.state_);
        thread_ = std::move(other.thread_);
    }
    return *this;
}

Thread::~Thread() {
    join();
}

bool Thread::isRunning() const {
    return state_ && !state_->finished.load(std::memory_order_acquire);
}

int Thread::exitCode() const {
    if (!state_ || !state_->finished.load(std::memory_order_acquire)) {
        return kStillActive;
    }
    return state_->exitCode.load(std::memory_order_acquire);
}

bool Thread::waitForEnd(std::chrono::milliseconds timeout) const {
    if (!state_) {
        return true;
    }
    std::unique_lock lock(state_->mutex);
    return state_->ended.wait_for(
        lock, timeout, [this] { return state_->finished.load(std::memory_order_acquire); });
}

void Thread::join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace morvane
