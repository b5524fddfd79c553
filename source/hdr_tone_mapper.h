#pragma once

#include <memory>

#include "pixels/tone_mapping.h"
#include "platform/ffmpeg_ptr.h"
#include "source/frame_pool.h"
#include "source/picture_filters.h"

namespace morvane {

// HDR pictures (PQ or HLG) brought to SDR: 8-bit limited-range YUV 4:2:0 with BT.709 colours
// and transfer. A 10-bit 4:2:0 BT.2020 picture goes through our own ToneMapping; any other
// through libavfilter's zscale and tonemap, with the same curve.
class HdrToneMapper {
public:
    // `peak`: as ToneMapping takes it. `threads`: libavfilter's, for the other pictures.
    HdrToneMapper(HdrTransfer transfer, double peak, int threads);

    // The SDR picture of `frame`, with its times and properties; valid until the next call.
    // Null when it cannot be made.
    const AVFrame* map(const AVFrame& frame);

private:
    const AVFrame* mapOwn(const AVFrame& frame);

    ToneMapping mapping_;
    const int threads_;
    FramePool pool_;
    FramePtr out_;
    std::unique_ptr<PictureFilters> filters_;  // made for the first picture ours cannot take
};

}  // namespace morvane
