#pragma once

// Tells ThreadSanitizer of an order between threads that it cannot see for itself: one made by
// code it does not watch, such as the reference counts of FFmpeg's buffers (FFmpeg is not built
// with it). Without ThreadSanitizer these are no code at all.
#if defined(__SANITIZE_THREAD__)
#define MORVANE_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define MORVANE_TSAN 1
#endif
#endif

#ifdef MORVANE_TSAN
#include <sanitizer/tsan_interface.h>
#endif

namespace morvane {

// What this thread did with `address` so far comes before what a thread does after
// awaitDone(address).
inline void announceDone([[maybe_unused]] const void* address) {
#ifdef MORVANE_TSAN
    __tsan_release(const_cast<void*>(address));
#endif
}

inline void awaitDone([[maybe_unused]] const void* address) {
#ifdef MORVANE_TSAN
    __tsan_acquire(const_cast<void*>(address));
#endif
}

}  // namespace morvane
