#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pixels/bitmap_layout.h"
#include "pixels/picture_views.h"

namespace morvane::test {

// A YUV 4:2:0 picture with padded rows, as the codec's pictures have, filled with 0xAB so that
// whatever is written past a row shows.
struct YuvPicture {
    YuvPicture(int pictureWidth, int pictureHeight)
        : yStride(pictureWidth + 16),
          cStride((pictureWidth + 1) / 2 + 8),
          y(static_cast<size_t>(yStride) * pictureHeight, 0xAB),
          u(static_cast<size_t>(cStride) * ((pictureHeight + 1) / 2), 0xAB),
          v(u.size(), 0xAB) {}

    YuvPlanes planes() { return {y.data(), yStride, u.data(), cStride, v.data(), cStride}; }
    int lumaAt(int x, int row) const { return y[static_cast<size_t>(row) * yStride + x]; }
    int uAt(int x, int row) const { return u[static_cast<size_t>(row) * cStride + x]; }
    int vAt(int x, int row) const { return v[static_cast<size_t>(row) * cStride + x]; }
    bool operator==(const YuvPicture&) const = default;

    int yStride, cStride;
    std::vector<uint8_t> y, u, v;
};

// The view of a frame in the grabber's layout (bottom-up rows padded to 4 bytes).
inline BgrView bottomUpView(std::vector<uint8_t>& frame, int width, int height) {
    const auto stride = static_cast<ptrdiff_t>(bitmapStride(width));
    return {frame.data() + stride * (height - 1), -stride, width, height};
}

}  // namespace morvane::test
