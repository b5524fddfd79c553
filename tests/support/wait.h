#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

namespace morvane::test {

// Looks at `condition` every millisecond until it holds or `deadline` has passed; whether it
// held.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds deadline = std::chrono::seconds(60)) {
    const auto giveUpAt = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUpAt) {
            return condition();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Fails the test, naming what did not happen, and ends the process: for a wait that ran out
// while a thread of the test still works on its objects.
[[noreturn]] inline void failAndEnd(std::string_view what) {
    ADD_FAILURE() << what;
    std::fflush(stdout);
    std::_Exit(EXIT_FAILURE);
}

// Calls `action` on a thread of its own, as another thread of the program would, and waits
// up to `deadline` for it to return.
template <typename Action>
void callFromAnotherThread(Action action, std::string_view what,
                           std::chrono::seconds deadline = std::chrono::seconds(60)) {
    std::atomic<bool> returned{false};
    std::thread caller([&] {
        action();
        returned = true;
    });
    if (!waitUntil([&] { return returned.load(); }, deadline)) {
        failAndEnd(std::string(what) + " did not return within " +
                   std::to_string(deadline.count()) + " s");
    }
    caller.join();
}

}  // namespace morvane::test
