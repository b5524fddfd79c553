#include "source/frame_picture.h"

#include <cmath>

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace morvane {
namespace {

int16_t fractionOf(double gain) {
    return static_cast<int16_t>(std::lround((gain - std::floor(gain)) * 32768.0));
}

}  // namespace

bool isYuv420(const AVFrame& frame) {
    return (frame.format == AV_PIX_FMT_YUV420P || frame.format == AV_PIX_FMT_YUVJ420P) &&
           frame.linesize[0] > 0 && frame.linesize[1] > 0 && frame.linesize[2] > 0;
}

bool isInEncoderColours(const AVFrame& frame) {
    return isYuv420(frame) && frame.format != AV_PIX_FMT_YUVJ420P &&
           frame.color_range != AVCOL_RANGE_JPEG &&
           (frame.colorspace == AVCOL_SPC_SMPTE170M || frame.colorspace == AVCOL_SPC_BT470BG ||
            frame.colorspace == AVCOL_SPC_UNSPECIFIED);
}

bool isReadableAsYuv(const AVFrame& frame) {
    const AVPixFmtDescriptor* format =
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame.format));
    return format != nullptr && format->nb_components >= 3 &&
           (format->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL |
                             AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_BAYER)) == 0 &&
           sws_isSupportedInput(static_cast<AVPixelFormat>(frame.format)) > 0;
}

const int* swsCoefficientsOf(const AVFrame& frame) {
    return sws_getCoefficients(frame.colorspace == AVCOL_SPC_UNSPECIFIED ? SWS_CS_DEFAULT
                                                                         : frame.colorspace);
}

YuvToBgrCoefficients coefficientsOf(const AVFrame& frame) {
    // libswscale's table: the V-to-red, U-to-blue, U-to-green and V-to-green gains of a
    // limited-range source, in 1/65536.
    const int* table = swsCoefficientsOf(frame);
    const bool fullRange =
        frame.format == AV_PIX_FMT_YUVJ420P || frame.color_range == AVCOL_RANGE_JPEG;
    const double chroma = fullRange ? 224.0 / 255.0 : 1.0;
    const double redGain = table[0] / 65536.0 * chroma;
    const double blueGain = table[1] / 65536.0 * chroma;
    YuvToBgrCoefficients c{};
    c.lumaOffset = fullRange ? 0 : 16;
    c.lumaFraction = fullRange ? 0 : fractionOf(255.0 / 219.0);
    c.redFromV[0] = static_cast<int16_t>(std::floor(redGain));
    c.redFromV[1] = fractionOf(redGain);
    c.greenFromU = static_cast<int16_t>(-std::lround(table[2] / 65536.0 * chroma * 32768.0));
    c.greenFromV = static_cast<int16_t>(-std::lround(table[3] / 65536.0 * chroma * 32768.0));
    c.blueFromU[0] = static_cast<int16_t>(std::floor(blueGain));
    c.blueFromU[1] = fractionOf(blueGain);
    return c;
}

DecodedPicture decodedPictureOf(const AVFrame& frame) {
    return {{frame.data[0], frame.data[1], frame.data[2]},
            {frame.linesize[0], frame.linesize[1], frame.linesize[2]},
            frame.width,
            frame.height,
            coefficientsOf(frame)};
}

}  // namespace morvane
