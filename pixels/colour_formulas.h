#pragma once

#include <cstdint>

namespace morvane {

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

// The colour formulas of the encoder's pictures, with integer coefficients, in the full range
// from a pixel's blue, green and red (for chroma: the averages of a pixel pair, rounded down).
constexpr int fullLumaOf(int b, int g, int r) {
    return (299 * r + 587 * g + 114 * b) / 1000;
}
constexpr int fullChromaUOf(int b, int g, int r) {
    return (5000 * (b + 256) - 3313 * g - 1687 * r) / 10000;
}
constexpr int fullChromaVOf(int b, int g, int r) {
    return (5000 * (r + 256) - 4187 * g - 813 * b) / 10000;
}

// The same in the limited range.
constexpr uint8_t lumaOf(int b, int g, int r) {
    return limitedLuma(fullLumaOf(b, g, r));
}
constexpr uint8_t chromaUOf(int b, int g, int r) {
    return limitedChroma(fullChromaUOf(b, g, r));
}
constexpr uint8_t chromaVOf(int b, int g, int r) {
    return limitedChroma(fullChromaVOf(b, g, r));
}

namespace detail {
// The vector code's form of limitedLuma and limitedChroma on 16-bit words: the rounded high
// half (x * scale + 2^14) >> 15 of the product of the luma, or of the chroma less 128, with
// its scale, to which 16 or 128 is then added. Exact for every byte.
inline constexpr int kLimitedLumaScale = 28142;
inline constexpr int kLimitedChromaScale = 28784;
}  // namespace detail

}  // namespace morvane
