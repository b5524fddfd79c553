#include "source/picture_buffers.h"

#include "platform/sanitizer_sync.h"

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

bool PictureBuffers::layoutOf(const AVCodecContext& decoder, const AVFrame& frame, Layout& layout) {
    const auto pixelFormat = static_cast<AVPixelFormat>(frame.format);
    int width = frame.width;
    int height = frame.height;
    int strideAlign[AV_NUM_DATA_POINTERS] = {};
    avcodec_align_dimensions2(const_cast<AVCodecContext*>(&decoder), &width, &height, strideAlign);
    // Widen until every row is a whole number of the codec's steps; the planes' rows are
    // widened together (a 4:2:2 picture's chroma rows stay half the luma's).
    bool unaligned = true;
    while (unaligned) {
        if (av_image_fill_linesizes(layout.linesizes, pixelFormat, width) < 0) {
            return false;
        }
        width += width & ~(width - 1);
        unaligned = false;
        for (int plane = 0; plane < 4; ++plane) {
            unaligned = unaligned || (strideAlign[plane] > 0 &&
                                      layout.linesizes[plane] % strideAlign[plane] != 0);
        }
    }
    ptrdiff_t strides[4] = {};
    for (int plane = 0; plane < 4; ++plane) {
        strides[plane] = layout.linesizes[plane];
    }
    layout.format = frame.format;
    return av_image_fill_plane_sizes(layout.planeBytes, pixelFormat, height, strides) >= 0;
}

bool PictureBuffers::fill(AVCodecContext& decoder, AVFrame& frame) {
    Layout wanted;
    if (!layoutOf(decoder, frame, wanted)) {
        return false;
    }
    std::lock_guard lock(mutex_);
    if (!(wanted == layout_)) {
        layout_ = Layout{};
        for (int plane = 0; plane < 4; ++plane) {
            pools_[plane].reset();
            if (wanted.planeBytes[plane] > 0) {
                // Cleared when made, as libavcodec's own are: what a damaged picture leaves
                // unwritten is never memory that nobody initialised.
                pools_[plane].reset(av_buffer_pool_init(wanted.planeBytes[plane] + kPlanePadding,
                                                        av_buffer_allocz));
                if (!pools_[plane]) {
                    return false;
                }
            }
        }
        layout_ = wanted;
    }
    for (int plane = 0; plane < 4 && pools_[plane]; ++plane) {
        frame.buf[plane] = av_buffer_pool_get(pools_[plane].get());
        if (frame.buf[plane] == nullptr) {
            for (int taken = 0; taken < plane; ++taken) {
                av_buffer_unref(&frame.buf[taken]);
                frame.data[taken] = nullptr;
                frame.linesize[taken] = 0;
            }
            return false;
        }
        frame.data[plane] = frame.buf[plane]->data;
        frame.linesize[plane] = layout_.linesizes[plane];
        // Whoever read it last (an encoder's worker) let it go before it came back here.
        awaitDone(frame.data[plane]);
    }
    return true;
}

}  // namespace morvane
