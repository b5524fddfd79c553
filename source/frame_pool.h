#pragma once

#include "platform/ffmpeg_ptr.h"

namespace morvane {

// Frames of one format and size whose buffers go back to the pool when their last holder lets
// them go, so that pictures handed on by reference are not faulted in again for every frame.
// Used by one thread; the frames it gives may be let go on any.
class FramePool {
public:
    // A frame of that format and size (the pool starts over when they change), with nothing
    // else set; null when out of memory.
    FramePtr take(int format, int width, int height);

private:
    BufferPoolPtr pool_;
    int format_ = -1;
    int width_ = 0;
    int height_ = 0;
    int linesizes_[4] = {};
    size_t planeBytes_[4] = {};
};

}  // namespace morvane
