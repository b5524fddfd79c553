#pragma once

#include <memory>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/buffer.h>
}

namespace morvane {

// The buffers a video decoder writes its pictures into, kept for reuse across pictures and
// files: pictures that the encoder holds by reference come back here, and the next file's
// decoder takes them again instead of faulting fresh memory in and clearing it. Laid out as
// libavcodec's own buffers are (its alignment and padding for the codec), but not cleared.
// Thread-safe: frame-threaded decoders ask from several threads.
class PictureBuffers {
public:
    // Makes the decoder (not opened yet) take its pictures from here; it must not outlive this.
    void serve(AVCodecContext& decoder);

private:
    struct PoolRelease {
        // Each pool goes once the last of its buffers is back.
        void operator()(AVBufferPool* pool) const { av_buffer_pool_uninit(&pool); }
    };
    using PoolPtr = std::unique_ptr<AVBufferPool, PoolRelease>;

    static int getBuffer(AVCodecContext* decoder, AVFrame* frame, int flags);
    bool fill(AVCodecContext& decoder, AVFrame& frame);

    std::mutex mutex_;
    // The layout the pools are for, and the pools of the four planes (guarded by mutex_).
    int format_ = -1;
    int width_ = 0;
    int height_ = 0;
    int linesizes_[4] = {};
    PoolPtr pools_[4];
};

}  // namespace morvane
