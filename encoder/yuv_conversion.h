#pragma once

#include <cstdint>

#include "encoder/frame_bitmap.h"

namespace morvane {

// The three planes of a YUV 4:2:0 picture.
struct YuvPlanes {
    uint8_t* y;
    int yStride;
    uint8_t* u;
    int uStride;
    uint8_t* v;
    int vStride;
};

// Converts a 24-bit image into YUV 4:2:0 with full-range integer coefficients:
//   Y = (299 R + 587 G + 114 B) / 1000 for every pixel;
//   U = (5000 (B' + 256) - 3313 G' - 1687 R') / 10000 and
//   V = (5000 (R' + 256) - 4187 G' - 813 B') / 10000 for each pixel pair at an even column of
//   an even row, B' G' R' being the pair's averages rounded down; odd rows add nothing to U
//   and V. The planes must hold width x height and (width + 1) / 2 x (height + 1) / 2 samples.
// Uses AVX-512 or AVX2 where the processor has them; the result is the same to the bit.
void convertToYuv420(const BgrView& image, const YuvPlanes& planes);

namespace detail {
// The plain version, and the vector ones (which call back to the plain one for row tails).
void convertRowsPlain(const BgrView& image, const YuvPlanes& planes);
void convertRowPlain(const uint8_t* bgr, int fromColumn, int width, bool withChroma, uint8_t* y,
                     uint8_t* u, uint8_t* v);
void convertRowsAvx2(const BgrView& image, const YuvPlanes& planes);
void convertRowsAvx512(const BgrView& image, const YuvPlanes& planes);
bool haveAvx2();
bool haveAvx512();
}  // namespace detail

}  // namespace morvane
