#include "source/frame_pool.h"

#include "platform/sanitizer_sync.h"

extern "C" {
#include <libavutil/imgutils.h>
}

namespace morvane {
namespace {

constexpr int kRowAlignment = 64;  // whole vector steps on every row

}  // namespace

FramePtr FramePool::take(int format, int width, int height) {
    if (!pool_ || format != format_ || width != width_ || height != height_) {
        pool_.reset();
        format_ = -1;
        const auto pixelFormat = static_cast<AVPixelFormat>(format);
        ptrdiff_t strides[4] = {};
        if (av_image_fill_linesizes(linesizes_, pixelFormat, FFALIGN(width, kRowAlignment)) < 0) {
            return nullptr;
        }
        for (int plane = 0; plane < 4; ++plane) {
            strides[plane] = linesizes_[plane];
        }
        if (av_image_fill_plane_sizes(planeBytes_, pixelFormat, height, strides) < 0) {
            return nullptr;
        }
        size_t total = 0;
        for (const size_t bytes : planeBytes_) {
            total += bytes;
        }
        pool_.reset(av_buffer_pool_init(total, av_buffer_alloc));
        if (!pool_) {
            return nullptr;
        }
        format_ = format;
        width_ = width;
        height_ = height;
    }
    FramePtr frame(av_frame_alloc());
    if (!frame) {
        return nullptr;
    }
    frame->buf[0] = av_buffer_pool_get(pool_.get());
    if (frame->buf[0] == nullptr) {
        return nullptr;
    }
    // Whoever read it last (an encoder's worker) let it go before it came back here.
    awaitDone(frame->buf[0]->data);
    uint8_t* next = frame->buf[0]->data;
    for (int plane = 0; plane < 4 && planeBytes_[plane] > 0; ++plane) {
        frame->data[plane] = next;
        frame->linesize[plane] = linesizes_[plane];
        next += planeBytes_[plane];
    }
    frame->format = format;
    frame->width = width;
    frame->height = height;
    return frame;
}

}  // namespace morvane
