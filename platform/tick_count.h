#pragma once

#include <cstdint>

namespace morvane {

// Milliseconds since an arbitrary start, as a 32-bit count that wraps to 0 after about
// 49.7 days. Differences taken with ticksBetween survive one wrap.
uint32_t tickCount();

// The milliseconds from `earlier` to `later`, in unsigned 32-bit arithmetic.
constexpr uint32_t ticksBetween(uint32_t earlier, uint32_t later) {
    return later - earlier;
}

// The milliseconds from `start` to `now`, or 0 when `start` lies after `now`: a start that
// another thread stored after `now` was read.
constexpr uint32_t elapsedSince(uint32_t start, uint32_t now) {
    const uint32_t elapsed = ticksBetween(start, now);
    return elapsed > 0x7fffffffu ? 0 : elapsed;
}

}  // namespace morvane
