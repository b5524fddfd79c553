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
// Whether libswscale can read the frame as YUV with its colours as they are (any bit depth or
// chroma layout): not for pictures stored as RGB, through a palette or as grey alone (which
// libswscale takes as full range whatever their tags say).
bool isReadableAsYuv(const AVFrame& frame);
// libswscale's colour table for the frame's matrix (BT.601 when unspecified, as libswscale's
// default).
const int* swsCoefficientsOf(const AVFrame& frame);
// The matrix and range that libswscale would use for the frame.
YuvToBgrCoefficients coefficientsOf(const AVFrame& frame);
// The frame's planes with its coefficients; valid while the frame keeps its buffers.
DecodedPicture decodedPictureOf(const AVFrame& frame);

}  // namespace morvane
