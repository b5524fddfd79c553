#pragma once

#include <cstdint>
#include <list>
#include <memory>

#include "platform/byte_buffer.h"
#include "platform/ffmpeg_ptr.h"

namespace morvane {

// One decoded buffer on its way to the encoder: a video picture, a raw audio buffer, or an
// encoder-sized audio frame. Times are 100 ns units. Owned by a queue while queued, then by
// the thread that takes it out.
struct MediaSample {
    bool isVideo = false;
    int64_t startTime = 0;
    int32_t size = 0;      // the bytes it holds, as the queue's memory counts them
    ByteBuffer data;       // audio
    FramePtr picture;      // video: the encoder's picture, perhaps the decoder's own frame
    int64_t sortTime = 0;  // the queue's ordering key; producers set it to startTime
    int64_t stopTime = 0;
};

using SamplePtr = std::unique_ptr<MediaSample>;

// A queue of samples; it has no lock of its own (each queue of the job has a mutex beside it).
using SampleQueue = std::list<SamplePtr>;

}  // namespace morvane
