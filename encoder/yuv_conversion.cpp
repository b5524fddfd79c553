#include "encoder/yuv_conversion.h"

#include <array>

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
        y[x] = kLimitedLuma[(299 * pixel[2] + 587 * pixel[1] + 114 * pixel[0]) / 1000];
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
        u[x / 2] = kLimitedChroma[(5000 * (b + 256) - 3313 * g - 1687 * r) / 10000];
        v[x / 2] = kLimitedChroma[(5000 * (r + 256) - 4187 * g - 813 * b) / 10000];
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

bool haveAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

bool haveAvx512() {
    static const bool have =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    return have;
}

}  // namespace detail

void convertToYuv420(const BgrView& image, const YuvPlanes& planes) {
    if (detail::haveAvx512()) {
        detail::convertRowsAvx512(image, planes);
    } else if (detail::haveAvx2()) {
        detail::convertRowsAvx2(image, planes);
    } else {
        detail::convertRowsPlain(image, planes);
    }
}

}  // namespace morvane
