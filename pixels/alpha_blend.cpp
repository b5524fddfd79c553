#include "pixels/alpha_blend.h"

#include <algorithm>

#include "pixels/colour_formulas.h"

namespace morvane {
namespace {

uint8_t blend(unsigned over, unsigned under, unsigned alpha) {
    return static_cast<uint8_t>((over * alpha + under * (255 - alpha) + 127) / 255);
}

}  // namespace

void blendOver(const BgraView& over, const BgrView& image, int left, int top) {
    const int firstColumn = std::max(0, -left);
    const int firstRow = std::max(0, -top);
    const int lastColumn = std::min(over.width, image.width - left);
    const int lastRow = std::min(over.height, image.height - top);
    for (int row = firstRow; row < lastRow; ++row) {
        const uint8_t* source = over.topRow + row * over.stride + firstColumn * 4;
        uint8_t* target = image.topRow + (top + row) * image.stride + (left + firstColumn) * 3;
        for (int column = firstColumn; column < lastColumn; ++column, source += 4, target += 3) {
            const unsigned alpha = source[3];
            for (int channel = 0; channel < 3; ++channel) {
                target[channel] = blend(source[channel], target[channel], alpha);
            }
        }
    }
}

void blendOver(const BgraView& over, const YuvPlanes& picture, int width, int height, int left,
               int top) {
    const int firstRow = std::max(0, top);
    const int lastRow = std::min(height, top + over.height);
    const int firstColumn = std::max(0, left);
    const int lastColumn = std::min(width, left + over.width);
    auto pixel = [&](int column, int row) {
        return over.topRow + (row - top) * over.stride + (column - left) * 4;
    };
    for (int row = firstRow; row < lastRow; ++row) {
        uint8_t* luma = picture.y + row * picture.yStride;
        for (int column = firstColumn; column < lastColumn; ++column) {
            const uint8_t* source = pixel(column, row);
            luma[column] = blend(lumaOf(source[0], source[1], source[2]), luma[column], source[3]);
        }
        if (row % 2 != 0) {
            continue;
        }
        uint8_t* u = picture.u + row / 2 * picture.uStride;
        uint8_t* v = picture.v + row / 2 * picture.vStride;
        for (int pair = firstColumn / 2; pair * 2 < lastColumn; ++pair) {
            int sums[4] = {0, 0, 0, 0};  // blue, green, red, alpha
            int inside = 0;
            for (int column = 2 * pair; column < 2 * pair + 2; ++column) {
                if (column >= firstColumn && column < lastColumn) {
                    const uint8_t* source = pixel(column, row);
                    for (int i = 0; i < 4; ++i) {
                        sums[i] += source[i];
                    }
                    ++inside;
                }
            }
            const int b = sums[0] / inside;
            const int g = sums[1] / inside;
            const int r = sums[2] / inside;
            const auto alpha = static_cast<unsigned>(sums[3] / 2);
            u[pair] = blend(chromaUOf(b, g, r), u[pair], alpha);
            v[pair] = blend(chromaVOf(b, g, r), v[pair], alpha);
        }
    }
}

}  // namespace morvane
