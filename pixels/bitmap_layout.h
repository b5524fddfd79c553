#pragma once

#include <cstddef>

namespace morvane {

// Bytes in one row of a 24-bit bitmap: three per pixel, padded to a multiple of 4.
constexpr size_t bitmapStride(int width) {
    return (3 * static_cast<size_t>(width) + 3) & ~size_t{3};
}

}  // namespace morvane
