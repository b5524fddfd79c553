#include "platform/tick_count.h"

#include <chrono>

namespace morvane {

uint32_t tickCount() {
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

}  // namespace morvane
