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

namespace morvane {

struct AVCodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct AVFrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
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
