#pragma once

extern "C" {
#include <libavutil/frame.h>
}

#include "pixels/yuv420_to_bgr.h"
#include "platform/ffmpeg_ptr.h"

namespace morvane {

// Whether a decoded frame is 8-bit YUV 4:2:0 with its rows top-down.
bool isYuv420(const AVFrame& frame);
// Whether it is in the encoder's own matrix and range (limited BT.601, or unspecified as
// libswscale reads it).
bool isInEncoderColours(const AVFrame& frame);
// `frame` made ready to be written whole as a picture of that format and size: kept when it
// is one already and nobody else holds its buffers (a filter that keeps pictures, for one),
// else given new buffers. Null when they cannot be had.
AVFrame* writableFrame(FramePtr& frame, int format, int width, int height);
// Whether a decoded frame takes the direct road to blue-green-red (convertYuv420ToBgr) at
// width x height: YUV 4:2:0 of that very size, on a processor where that road is the faster.
// Other frames go through libswscale.
bool takesDirectConversion(const AVFrame& frame, int width, int height);
// libswscale's colour table for the frame's matrix (BT.601 when unspecified, as libswscale's
// default).
const int* swsCoefficientsOf(const AVFrame& frame);
// The matrix and range that libswscale would use for the frame.
YuvToBgrCoefficients coefficientsOf(const AVFrame& frame);
// The frame's planes with its coefficients; valid while the frame keeps its buffers.
DecodedPicture decodedPictureOf(const AVFrame& frame);

}  // namespace morvane
