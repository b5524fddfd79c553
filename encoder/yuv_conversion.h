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

// The limited range that FLV1 decoders read, as every decoder of the H.263 family does (the
// stream has no way to say otherwise): luma from 16 to 235 and chroma from 16 to 240 about 128,
// made from the full range 0-255 as 16 + 219/255 of the luma and 128 + 224/255 of the chroma's
// distance from 128, rounded to the nearest step (never a tie).
constexpr uint8_t limitedLuma(int fullRange) {
    return static_cast<uint8_t>(16 + (438 * fullRange + 255) / 510);
}
constexpr uint8_t limitedChroma(int fullRange) {
    return static_cast<uint8_t>((448 * fullRange + 8191) / 510);
}

// Converts a 24-bit image into YUV 4:2:0 of the limited range, with integer coefficients:
//   Y = limitedLuma((299 R + 587 G + 114 B) / 1000) for every pixel;
//   U = limitedChroma((5000 (B' + 256) - 3313 G' - 1687 R') / 10000) and
//   V = limitedChroma((5000 (R' + 256) - 4187 G' - 813 B') / 10000) for each pixel pair at an
//   even column of an even row, B' G' R' being the pair's averages rounded down; odd rows add
//   nothing to U and V. The planes must hold width x height and (width + 1) / 2 x
//   (height + 1) / 2 samples.
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

// The vector code's form of limitedLuma and limitedChroma on 16-bit words: the rounded high
// half (x * scale + 2^14) >> 15 of the product of the luma, or of the chroma less 128, with
// its scale, to which 16 or 128 is then added. Exact for every byte.
inline constexpr int kLimitedLumaScale = 28142;
inline constexpr int kLimitedChromaScale = 28784;
}  // namespace detail

}  // namespace morvane
