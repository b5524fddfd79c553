#pragma once

namespace morvane {

// Lowers the calling thread's scheduling priority by `steps` nice levels (the threads it
// starts afterwards inherit it). Only the calling thread changes; failure is harmless and
// ignored.
void lowerThisThreadPriority(int steps);

}  // namespace morvane
