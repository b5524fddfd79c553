#pragma once

#include <cstddef>
#include <cstdint>

namespace morvane {

// A 24-bit image addressed from its top row: blue, green, red bytes per pixel. The stride is
// negative for an image stored bottom-up.
struct BgrView {
    uint8_t* topRow = nullptr;
    ptrdiff_t stride = 0;
    int width = 0;
    int height = 0;
};

// A 32-bit image with straight alpha: blue, green, red, alpha bytes per pixel, rows top-down.
struct BgraView {
    const uint8_t* topRow = nullptr;
    ptrdiff_t stride = 0;
    int width = 0;
    int height = 0;
};

// The three planes of a YUV 4:2:0 picture.
struct YuvPlanes {
    uint8_t* y;
    int yStride;
    uint8_t* u;
    int uStride;
    uint8_t* v;
    int vStride;
};

}  // namespace morvane
