#pragma once

// Owning pointers for FFmpeg objects, each released with the library's own free function.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>

#include "platform/sanitizer_sync.h"

namespace morvane {

// A picture's last reference may go on another thread than the ones that read it, and its memory
// then back to a pool, possibly libavfilter's, whose reference counts ThreadSanitizer does not
// see. Each drop hands on what this thread did with the picture to whichever thread drops last.
inline void handOnPicture([[maybe_unused]] const AVFrame& frame) {
#ifdef MORVANE_TSAN
    for (const AVBufferRef* buffer : frame.buf) {
        if (buffer != nullptr) {
            announceDone(buffer->data);
            awaitDone(buffer->data);
        }
    }
#endif
}

inline void dropPicture(AVFrame* frame) {
    handOnPicture(*frame);
    av_frame_unref(frame);
}

struct AVCodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct AVFrameFree {
    void operator()(AVFrame* frame) const {
        if (frame != nullptr) {
            handOnPicture(*frame);
        }
        av_frame_free(&frame);
    }
};
struct AVPacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct AVFormatContextFree {
    void operator()(AVFormatContext* context) const { avformat_free_context(context); }
};
struct AVFormatInputClose {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct AVIOContextFree {
    // The library may have replaced the buffer it was given, so the context's own is freed.
    void operator()(AVIOContext* context) const {
        if (context != nullptr) {
            av_freep(&context->buffer);
        }
        avio_context_free(&context);
    }
};
struct SwsContextFree {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
// A pool goes once the last of its buffers is back, whoever holds them.
struct AVBufferPoolUninit {
    void operator()(AVBufferPool* pool) const { av_buffer_pool_uninit(&pool); }
};
struct SwrContextFree {
    void operator()(SwrContext* context) const { swr_free(&context); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, AVCodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, AVFrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, AVPacketFree>;
using OutputContextPtr = std::unique_ptr<AVFormatContext, AVFormatContextFree>;
using InputContextPtr = std::unique_ptr<AVFormatContext, AVFormatInputClose>;
using IoContextPtr = std::unique_ptr<AVIOContext, AVIOContextFree>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextFree>;
using SwrContextPtr = std::unique_ptr<SwrContext, SwrContextFree>;
using BufferPoolPtr = std::unique_ptr<AVBufferPool, AVBufferPoolUninit>;

}  // namespace morvane
