#include "pixels/yuv420_to_bgr.h"

#include <algorithm>

#include "pixels/cpu_features.h"

namespace morvane {
namespace {

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

void convertYuv420ToBgr(const DecodedPicture& picture, uint8_t* topRow, ptrdiff_t stride) {
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
                      const YuvToBgrCoefficients& c, uint8_t* bgr) {
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
