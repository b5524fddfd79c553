#pragma once

#include "pixels/picture_views.h"

namespace morvane {

// Draws `over` onto `image` with its own alpha (source over), its top-left corner at
// (left, top); whatever falls outside the image is clipped.
void blendOver(const BgraView& over, const BgrView& image, int left, int top);

// The same onto a YUV 4:2:0 picture of width x height: each pixel's colour converted as
// convertToYuv420 does, blended in Y, U and V. A chroma sample takes the pixels of its
// even-row pixel pair that lie inside the picture, at their mean opacity.
void blendOver(const BgraView& over, const YuvPlanes& picture, int width, int height, int left,
               int top);

}  // namespace morvane
