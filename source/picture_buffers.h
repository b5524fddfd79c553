#pragma once

#include <mutex>

#include "platform/ffmpeg_ptr.h"

namespace morvane {

// The buffers a video decoder writes its pictures into, kept for reuse across pictures and
// files: pictures that the encoder holds by reference come back here, and the next file's
// decoder takes them again instead of faulting fresh memory in and clearing it. Laid out as
// libavcodec's own buffers are (its alignment and padding for the codec): pictures of another
// layout (another size, format or codec) start the pools over. Thread-safe: frame-threaded
// decoders ask from several threads.
class PictureBuffers {
public:
    // Makes the decoder (not opened yet) take its pictures from here; it must not outlive this.
    void serve(AVCodecContext& decoder);

private:
    static int getBuffer(AVCodecContext* decoder, AVFrame* frame, int flags);
    bool fill(AVCodecContext& decoder, AVFrame& frame);

    // Where each plane of a picture lies in its buffer.
    struct Layout {
        int format = -1;
        int linesizes[4] = {};
        size_t planeBytes[4] = {};
        bool operator==(const Layout&) const = default;
    };
    // The layout libavcodec asks for `frame` from `decoder`; false when there is none.
    static bool layoutOf(const AVCodecContext& decoder, const AVFrame& frame, Layout& layout);

    std::mutex mutex_;
    Layout layout_;           // guarded by mutex_: what the pools are for
    BufferPoolPtr pools_[4];  // guarded by mutex_: one a plane
};

}  // namespace morvane
