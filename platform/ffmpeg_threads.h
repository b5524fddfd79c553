#pragma once

namespace morvane {

// The thread count given to FFmpeg's decoders and filters: its automatic choice (one more than
// the cores, as its own command line does), so that work waiting on other work does not leave
// a core idle. FFmpeg's own threads are invisible to ThreadSanitizer, so its runs keep to one.
#if defined(__SANITIZE_THREAD__)
inline constexpr int kFfmpegThreads = 1;
#else
inline constexpr int kFfmpegThreads = 0;
#endif

}  // namespace morvane
