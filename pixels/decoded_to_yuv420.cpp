#include "pixels/decoded_to_yuv420.h"

#include <algorithm>
#include <cstring>

#include "pixels/bgr_to_yuv420.h"
#include "pixels/cpu_features.h"

namespace morvane {
namespace detail {

// Through the two conversions themselves, 32 pixels at a time.
void convertDecodedRowPlain(const uint8_t* y, const uint8_t* u, const uint8_t* v, int width,
                            bool withChroma, const YuvToBgrCoefficients& coefficients,
                            uint8_t* yOut, uint8_t* uOut, uint8_t* vOut) {
    constexpr int kStep = 32;  // even, so that chroma pairs never straddle two steps
    uint8_t bgr[3 * kStep];
    for (int x = 0; x < width; x += kStep) {
        const int count = std::min(kStep, width - x);
        yuvRowToBgrPlain(y + x, u + x / 2, v + x / 2, 0, count, coefficients, bgr);
        convertRowPlain(bgr, 0, count, withChroma, yOut + x, uOut + x / 2, vOut + x / 2);
    }
}

}  // namespace detail

namespace {

void copyYuv420(const DecodedPicture& picture, const YuvPlanes& planes) {
    uint8_t* const to[3] = {planes.y, planes.u, planes.v};
    const int toStrides[3] = {planes.yStride, planes.uStride, planes.vStride};
    for (int plane = 0; plane < 3; ++plane) {
        const int width = plane == 0 ? picture.width : (picture.width + 1) / 2;
        const int height = plane == 0 ? picture.height : (picture.height + 1) / 2;
        for (int row = 0; row < height; ++row) {
            std::memcpy(
                to[plane] + static_cast<ptrdiff_t>(row) * toStrides[plane],
                picture.planes[plane] + static_cast<ptrdiff_t>(row) * picture.strides[plane],
                static_cast<size_t>(width));
        }
    }
}

}  // namespace

void convertDecodedToYuv420(const DecodedPicture& picture, const YuvPlanes& planes) {
    if (picture.inEncoderColours) {
        copyYuv420(picture, planes);
        return;
    }
    const bool vector = haveAvx2();
    for (int row = 0; row < picture.height; ++row) {
        const uint8_t* y = picture.planes[0] + static_cast<ptrdiff_t>(row) * picture.strides[0];
        const uint8_t* u = picture.planes[1] + static_cast<ptrdiff_t>(row / 2) * picture.strides[1];
        const uint8_t* v = picture.planes[2] + static_cast<ptrdiff_t>(row / 2) * picture.strides[2];
        uint8_t* yOut = planes.y + static_cast<ptrdiff_t>(row) * planes.yStride;
        uint8_t* uOut = planes.u + static_cast<ptrdiff_t>(row / 2) * planes.uStride;
        uint8_t* vOut = planes.v + static_cast<ptrdiff_t>(row / 2) * planes.vStride;
        const bool withChroma = row % 2 == 0;
        const int done = vector
                             ? detail::convertDecodedRowAvx2(y, u, v, picture.width, withChroma,
                                                             picture.coefficients, yOut, uOut, vOut)
                             : 0;
        detail::convertDecodedRowPlain(y + done, u + done / 2, v + done / 2, picture.width - done,
                                       withChroma, picture.coefficients, yOut + done,
                                       uOut + done / 2, vOut + done / 2);
    }
}

}  // namespace morvane
