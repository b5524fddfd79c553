#include "source/yuv_to_bgr.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libswscale/swscale.h>
}

namespace morvane {
namespace {

bool haveAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

int16_t fractionOf(double gain) {
    return static_cast<int16_t>(std::lround((gain - std::floor(gain)) * 32768.0));
}

// (a * b + 2^14) >> 15, as the vector instruction computes it.
int mulhrs(int a, int b) {
    return (a * b + 16384) >> 15;
}

int16_t saturated(int value) {
    return static_cast<int16_t>(std::clamp(value, -32768, 32767));
}

uint8_t toByte(int value6) {
    return static_cast<uint8_t>(std::clamp(saturated(value6 + 32) >> 6, 0, 255));
}

}  // namespace

bool Yuv420ToBgr::takes(const AVFrame& frame, int width, int height) {
    // Without the vector code, libswscale's own is the faster.
    return haveAvx2() &&
           (frame.format == AV_PIX_FMT_YUV420P || frame.format == AV_PIX_FMT_YUVJ420P) &&
           frame.width == width && frame.height == height && frame.linesize[0] > 0 &&
           frame.linesize[1] > 0 && frame.linesize[2] > 0;
}

Yuv420ToBgr::Coefficients Yuv420ToBgr::coefficientsFor(const AVFrame& frame) {
    const int colourspace =
        frame.colorspace == AVCOL_SPC_UNSPECIFIED ? SWS_CS_DEFAULT : frame.colorspace;
    // libswscale's table: the V-to-red, U-to-blue, U-to-green and V-to-green gains of a
    // limited-range source, in 1/65536.
    const int* table = sws_getCoefficients(colourspace);
    const bool fullRange =
        frame.format == AV_PIX_FMT_YUVJ420P || frame.color_range == AVCOL_RANGE_JPEG;
    const double chroma = fullRange ? 224.0 / 255.0 : 1.0;
    const double redGain = table[0] / 65536.0 * chroma;
    const double blueGain = table[1] / 65536.0 * chroma;
    Coefficients c{};
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

DecodedPicture Yuv420ToBgr::pictureOf(const AVFrame& frame) {
    return {{frame.data[0], frame.data[1], frame.data[2]},
            {frame.linesize[0], frame.linesize[1], frame.linesize[2]},
            frame.width,
            frame.height,
            coefficientsFor(frame)};
}

void Yuv420ToBgr::convert(const DecodedPicture& picture, uint8_t* topRow, ptrdiff_t stride) {
    const bool vector = haveAvx2();
    for (int row = 0; row < picture.height; ++row) {
        const uint8_t* y = picture.planes[0] + static_cast<ptrdiff_t>(row) * picture.strides[0];
        const uint8_t* u = picture.planes[1] + static_cast<ptrdiff_t>(row / 2) * picture.strides[1];
        const uint8_t* v = picture.planes[2] + static_cast<ptrdiff_t>(row / 2) * picture.strides[2];
        uint8_t* bgr = topRow + static_cast<ptrdiff_t>(row) * stride;
        const int done =
            vector ? detail::yuvRowToBgrAvx2(y, u, v, picture.width, picture.coefficients, bgr) : 0;
        detail::yuvRowToBgrPlain(y, u, v, done, picture.width, picture.coefficients, bgr);
    }
}

namespace detail {

void yuvRowToBgrPlain(const uint8_t* y, const uint8_t* u, const uint8_t* v, int from, int width,
                      const Yuv420ToBgr::Coefficients& c, uint8_t* bgr) {
    for (int x = from; x < width; ++x) {
        const int luma = (y[x] - c.lumaOffset) * 64;
        const int yy = saturated(luma + mulhrs(luma, c.lumaFraction));
        const int us = (u[x / 2] - 128) * 64;
        const int vs = (v[x / 2] - 128) * 64;
        const int red = saturated(c.redFromV[0] * vs + mulhrs(vs, c.redFromV[1]));
        const int green = saturated(mulhrs(us, c.greenFromU) + mulhrs(vs, c.greenFromV));
        const int blue = saturated(c.blueFromU[0] * us + mulhrs(us, c.blueFromU[1]));
        bgr[3 * x] = toByte(saturated(yy + blue));
        bgr[3 * x + 1] = toByte(saturated(yy + green));
        bgr[3 * x + 2] = toByte(saturated(yy + red));
    }
}

}  // namespace detail
}  // namespace morvane
