#include "pixels/bgr_to_yuv420.h"

#include <array>

#include "pixels/cpu_features.h"

namespace morvane {
namespace detail {
namespace {

template <uint8_t (*kMapping)(int)>
constexpr std::array<uint8_t, 256> tableOf() {
    std::array<uint8_t, 256> table{};
    for (int value = 0; value < 256; ++value) {
        table[value] = kMapping(value);
    }
    return table;
}

constexpr std::array<uint8_t, 256> kLimitedLuma = tableOf<&limitedLuma>();
constexpr std::array<uint8_t, 256> kLimitedChroma = tableOf<&limitedChroma>();

}  // namespace

void convertRowPlain(const uint8_t* bgr, int fromColumn, int width, bool withChroma, uint8_t* y,
                     uint8_t* u, uint8_t* v) {
    for (int x = fromColumn; x < width; ++x) {
        const uint8_t* pixel = bgr + 3 * x;
        y[x] = kLimitedLuma[fullLumaOf(pixel[0], pixel[1], pixel[2])];
    }
    if (!withChroma) {
        return;
    }
    for (int x = fromColumn; x < width; x += 2) {
        const uint8_t* pixel = bgr + 3 * x;
        const uint8_t* next = x + 1 < width ? pixel + 3 : pixel;
        const int b = (pixel[0] + next[0]) / 2;
        const int g = (pixel[1] + next[1]) / 2;
        const int r = (pixel[2] + next[2]) / 2;
        u[x / 2] = kLimitedChroma[fullChromaUOf(b, g, r)];
        v[x / 2] = kLimitedChroma[fullChromaVOf(b, g, r)];
    }
}

void convertRowsPlain(const BgrView& image, const YuvPlanes& planes) {
    for (int row = 0; row < image.height; ++row) {
        const bool withChroma = row % 2 == 0;
        convertRowPlain(image.topRow + row * image.stride, 0, image.width, withChroma,
                        planes.y + row * planes.yStride, planes.u + row / 2 * planes.uStride,
                        planes.v + row / 2 * planes.vStride);
    }
}

}  // namespace detail

void convertToYuv420(const BgrView& image, const YuvPlanes& planes) {
    if (haveAvx512()) {
        detail::convertRowsAvx512(image, planes);
    } else if (haveAvx2()) {
        detail::convertRowsAvx2(image, planes);
    } else {
        detail::convertRowsPlain(image, planes);
    }
}

}  // namespace morvane
