#include "source/picture_buffers.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace morvane {
namespace {

// libavcodec's widest vector step, and the padding it reads past a plane.
constexpr size_t kStrideAlign = 64;
constexpr size_t kPlanePadding = 16 + kStrideAlign - 1;

}  // namespace

void PictureBuffers::serve(AVCodecContext& decoder) {
    if ((decoder.codec->capabilities & AV_CODEC_CAP_DR1) != 0) {
        decoder.opaque = this;
        decoder.get_buffer2 = &PictureBuffers::getBuffer;
    }
}

int PictureBuffers::getBuffer(AVCodecContext* decoder, AVFrame* frame, int flags) {
    auto* buffers = static_cast<PictureBuffers*>(decoder->opaque);
    const AVPixFmtDescriptor* format =
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
    if (buffers == nullptr || format == nullptr ||
        (format->flags & (AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_PAL)) != 0 ||
        !buffers->fill(*decoder, *frame)) {
        return avcodec_default_get_buffer2(decoder, frame, flags);
    }
    return 0;
}

bool PictureBuffers::fill(AVCodecContext& decoder, AVFrame& frame) {
    std::lock_guard lock(mutex_);
    if (frame.format != format_ || frame.width != width_ || frame.height != height_) {
        for (PoolPtr& pool : pools_) {
            pool.reset();
        }
        format_ = -1;
        const auto pixelFormat = static_cast<AVPixelFormat>(frame.format);
        int width = frame.width;
        int height = frame.height;
        int strideAlign[AV_NUM_DATA_POINTERS] = {};
        avcodec_align_dimensions2(&decoder, &width, &height, strideAlign);
        // Widen until every row is a whole number of the codec's steps; the planes' rows are
        // widened together (a 4:2:2 picture's chroma rows stay half the luma's).
        bool unaligned = true;
        while (unaligned) {
            if (av_image_fill_linesizes(linesizes_, pixelFormat, width) < 0) {
                return false;
            }
            width += width & ~(width - 1);
            unaligned = false;
            for (int plane = 0; plane < 4; ++plane) {
                unaligned = unaligned ||
                            (strideAlign[plane] > 0 && linesizes_[plane] % strideAlign[plane] != 0);
            }
        }
        ptrdiff_t strides[4] = {};
        size_t planeBytes[4] = {};
        for (int plane = 0; plane < 4; ++plane) {
            strides[plane] = linesizes_[plane];
        }
        if (av_image_fill_plane_sizes(planeBytes, pixelFormat, height, strides) < 0) {
            return false;
        }
        for (int plane = 0; plane < 4 && planeBytes[plane] > 0; ++plane) {
            pools_[plane].reset(
                av_buffer_pool_init(planeBytes[plane] + kPlanePadding, av_buffer_alloc));
            if (!pools_[plane]) {
                return false;
            }
        }
        format_ = frame.format;
        width_ = frame.width;
        height_ = frame.height;
    }
    for (int plane = 0; plane < 4 && pools_[plane]; ++plane) {
        frame.buf[plane] = av_buffer_pool_get(pools_[plane].get());
        if (frame.buf[plane] == nullptr) {
            for (AVBufferRef*& buffer : frame.buf) {
                av_buffer_unref(&buffer);
            }
            return false;
        }
        frame.data[plane] = frame.buf[plane]->data;
        frame.linesize[plane] = linesizes_[plane];
    }
    return true;
}

}  // namespace morvane
