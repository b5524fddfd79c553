#include "platform/debug_output.h"

#include <cstdio>
#include <mutex>

namespace morvane {

void debugOutput(std::string_view text) {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace morvane
