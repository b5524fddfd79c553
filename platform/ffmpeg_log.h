#pragma once

namespace morvane {

// Keeps FFmpeg's own log messages off the terminal: they go to the debug channel, warnings
// and errors only. Safe to call from any thread, any number of times.
void routeFfmpegLogToDebugOutput();

}  // namespace morvane
