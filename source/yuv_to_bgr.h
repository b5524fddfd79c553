#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavutil/frame.h>
}

namespace morvane {

struct DecodedPicture;

// YUV 4:2:0 (the usual output of the video decoders) to 24-bit blue-green-red at the same
// size, on 16-bit fixed point with the matrix and range that libswscale would use for the
// frame. A faster road than libswscale's own for the one conversion that every common file
// takes, where the processor has AVX2; frames of other formats or sizes go through libswscale.
class Yuv420ToBgr {
public:
    // Per colour, in 1/32768: the fraction past the whole part of each gain.
    struct Coefficients {
        int16_t lumaOffset;    // 16 for limited range, 0 for full
        int16_t lumaFraction;  // luma gain - 1
        int16_t redFromV[2];   // whole part, fraction
        int16_t greenFromU;    // negative fractions (gains below 1)
        int16_t greenFromV;
        int16_t blueFromU[2];  // whole part, fraction
    };

    static bool takes(const AVFrame& frame, int width, int height);
    static Coefficients coefficientsFor(const AVFrame& frame);
    // The frame's planes with its coefficients; valid while the frame keeps its buffers.
    static DecodedPicture pictureOf(const AVFrame& frame);

    // Rows go out from `topRow` on, `stride` bytes apart (negative for a bottom-up image).
    static void convert(const DecodedPicture& picture, uint8_t* topRow, ptrdiff_t stride);
};

// A decoded YUV 4:2:0 picture, top row first, and the matrix that gives its blue-green-red
// colours.
struct DecodedPicture {
    const uint8_t* planes[3];
    int strides[3];
    int width;
    int height;
    Yuv420ToBgr::Coefficients coefficients;
};

namespace detail {
// One output row from the given luma and chroma rows, from column `from` to `width`.
void yuvRowToBgrPlain(const uint8_t* y, const uint8_t* u, const uint8_t* v, int from, int width,
                      const Yuv420ToBgr::Coefficients& coefficients, uint8_t* bgr);
// The same from column 0; returns where it stopped (the rest is left to the plain one).
int yuvRowToBgrAvx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, int width,
                    const Yuv420ToBgr::Coefficients& coefficients, uint8_t* bgr);
}  // namespace detail

}  // namespace morvane
