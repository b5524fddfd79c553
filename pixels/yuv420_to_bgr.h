#pragma once

#include <cstddef>
#include <cstdint>

namespace morvane {

// The matrix and range that turn a YUV picture into blue-green-red, on 16-bit fixed point.
// Per colour, in 1/32768: the fraction past the whole part of each gain.
struct YuvToBgrCoefficients {
    int16_t lumaOffset;    // 16 for limited range, 0 for full
    int16_t lumaFraction;  // luma gain - 1
    int16_t redFromV[2];   // whole part, fraction
    int16_t greenFromU;    // negative fractions (gains below 1)
    int16_t greenFromV;
    int16_t blueFromU[2];  // whole part, fraction
};

// A decoded YUV 4:2:0 picture, top row first, and the matrix that gives its blue-green-red
// colours.
struct DecodedPicture {
    const uint8_t* planes[3];
    int strides[3];
    int width;
    int height;
    YuvToBgrCoefficients coefficients;
    // Its values are already the encoder's (limited-range BT.601, as a tone-mapped picture's).
    bool inEncoderColours = false;
};

// The picture as 24-bit blue-green-red at its own size, as libswscale would make it with the
// same matrix. Rows go out from `topRow` on, `stride` bytes apart (negative for a bottom-up
// image). Fast only where the processor has AVX2 (haveAvx2()); elsewhere libswscale's own
// conversion is the faster.
void convertYuv420ToBgr(const DecodedPicture& picture, uint8_t* topRow, ptrdiff_t stride);

namespace detail {
// One output row from the given luma and chroma rows, from column `from` to `width`.
void yuvRowToBgrPlain(const uint8_t* y, const uint8_t* u, const uint8_t* v, int from, int width,
                      const YuvToBgrCoefficients& coefficients, uint8_t* bgr);
// The same from column 0; returns where it stopped (the rest is left to the plain one).
int yuvRowToBgrAvx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, int width,
                    const YuvToBgrCoefficients& coefficients, uint8_t* bgr);
}  // namespace detail

}  // namespace morvane
