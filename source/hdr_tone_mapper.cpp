#include "source/hdr_tone_mapper.h"

namespace morvane {
namespace {

// The same mapping in libavfilter's terms, for pictures of other formats.
constexpr const char* kToneMapChain =
    "zscale=t=linear:npl=100:p=bt709,format=gbrpf32le,tonemap=mobius:param=0.9:desat=0,"
    "zscale=t=bt709:m=bt709:r=tv:d=error_diffusion,format=yuv420p";

bool ownTakes(const AVFrame& frame) {
    return frame.format == AV_PIX_FMT_YUV420P10 && frame.color_range != AVCOL_RANGE_JPEG &&
           (frame.colorspace == AVCOL_SPC_BT2020_NCL ||
            frame.colorspace == AVCOL_SPC_UNSPECIFIED) &&
           (frame.color_primaries == AVCOL_PRI_BT2020 ||
            frame.color_primaries == AVCOL_PRI_UNSPECIFIED) &&
           frame.linesize[0] > 0 && frame.linesize[1] > 0 && frame.linesize[2] > 0;
}

}  // namespace

HdrToneMapper::HdrToneMapper(HdrTransfer transfer, double peak, int threads)
    : mapping_(transfer, peak), threads_(threads) {}

const AVFrame* HdrToneMapper::map(const AVFrame& frame) {
    if (ownTakes(frame)) {
        return mapOwn(frame);
    }
    if (!filters_) {
        filters_ = std::make_unique<PictureFilters>(kToneMapChain, threads_);
    }
    // The chain gives each picture back at once.
    return filters_->push(frame) ? filters_->next() : nullptr;
}

const AVFrame* HdrToneMapper::mapOwn(const AVFrame& frame) {
    // The last picture may still be held (by a deinterlacer or the encoder, for two).
    out_ = pool_.take(AV_PIX_FMT_YUV420P, frame.width, frame.height);
    if (!out_ || av_frame_copy_props(out_.get(), &frame) < 0) {
        return nullptr;
    }
    out_->colorspace = AVCOL_SPC_SMPTE170M;
    out_->color_primaries = AVCOL_PRI_BT709;
    out_->color_trc = AVCOL_TRC_BT709;
    out_->color_range = AVCOL_RANGE_MPEG;
    const auto samples = [](const AVFrame& f, int plane) {
        return reinterpret_cast<const uint16_t*>(f.data[plane]);
    };
    const Yuv10Planes in{samples(frame, 0),     frame.linesize[0] / 2, samples(frame, 1),
                         frame.linesize[1] / 2, samples(frame, 2),     frame.linesize[2] / 2,
                         frame.width,           frame.height};
    const YuvPlanes planes{out_->data[0],     out_->linesize[0], out_->data[1],
                           out_->linesize[1], out_->data[2],     out_->linesize[2]};
    mapping_.apply(in, planes, 0, frame.height);
    return out_.get();
}

}  // namespace morvane
