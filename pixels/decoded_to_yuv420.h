#pragma once

#include <cstdint>

#include "pixels/picture_views.h"
#include "pixels/yuv420_to_bgr.h"

namespace morvane {

// What convertToYuv420 makes of the blue-green-red frame that the video branch would paint
// from `picture`, computed straight from the decoded planes: the same bytes, without making
// the frame and reading it back; a picture already in the encoder's colours is copied.
// `planes` hold the picture's own size.
void convertDecodedToYuv420(const DecodedPicture& picture, const YuvPlanes& planes);

namespace detail {
// One row of the picture from column 0; chroma only `withChroma`.
void convertDecodedRowPlain(const uint8_t* y, const uint8_t* u, const uint8_t* v, int width,
                            bool withChroma, const YuvToBgrCoefficients& coefficients,
                            uint8_t* yOut, uint8_t* uOut, uint8_t* vOut);
// The same as far as whole steps of 32 pixels go; returns where it stopped.
int convertDecodedRowAvx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, int width,
                          bool withChroma, const YuvToBgrCoefficients& coefficients, uint8_t* yOut,
                          uint8_t* uOut, uint8_t* vOut);
}  // namespace detail

}  // namespace morvane
