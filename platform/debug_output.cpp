#include "platform/debug_output.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace morvane {
namespace {

std::atomic<bool>& enabledFlag() {
    static std::atomic<bool> enabled = [] {
        const char* value = std::getenv("MORVANE_DEBUG");
        return value != nullptr && std::strcmp(value, "0") != 0;
    }();
    return enabled;
}

}  // namespace

void debugOutput(std::string_view text) {
    if (!isDebugOutputEnabled()) {
        return;
    }
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void setDebugOutputEnabled(bool enabled) {
    enabledFlag().store(enabled, std::memory_order_relaxed);
}

bool isDebugOutputEnabled() {
    return enabledFlag().load(std::memory_order_relaxed);
}

}  // namespace morvane
