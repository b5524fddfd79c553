#pragma once

#include <cstdint>

#include "pixels/colour_formulas.h"
#include "pixels/picture_views.h"

namespace morvane {

// Converts a 24-bit image into YUV 4:2:0 of the limited range (colour_formulas.h): Y of every
// pixel; U and V of each pixel pair at an even column of an even row, from the pair's averages
// rounded down; odd rows add nothing to U and V. The planes must hold width x height and
// (width + 1) / 2 x (height + 1) / 2 samples.
// Uses AVX-512 or AVX2 where the processor has them; the result is the same to the bit.
void convertToYuv420(const BgrView& image, const YuvPlanes& planes);

namespace detail {
// The plain version, and the vector ones (which call back to the plain one for row tails).
void convertRowsPlain(const BgrView& image, const YuvPlanes& planes);
void convertRowPlain(const uint8_t* bgr, int fromColumn, int width, bool withChroma, uint8_t* y,
                     uint8_t* u, uint8_t* v);
void convertRowsAvx2(const BgrView& image, const YuvPlanes& planes);
void convertRowsAvx512(const BgrView& image, const YuvPlanes& planes);
}  // namespace detail

}  // namespace morvane
