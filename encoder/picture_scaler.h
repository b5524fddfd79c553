#pragma once

#include <cstdint>
#include <memory>

#include "pixels/picture_views.h"
#include "platform/ffmpeg_ptr.h"

namespace morvane {

// A YUV 4:2:0 picture of its own, for frames converted at their source size.
class YuvPicture {
public:
    // False when the size is absurd.
    bool resize(int width, int height);
    YuvPlanes planes() const;
    int width() const { return width_; }
    int height() const { return height_; }

private:
    int width_ = 0;
    int height_ = 0;
    std::unique_ptr<uint8_t[]> bytes_;
    size_t capacity_ = 0;
};

// Scales whole YUV 4:2:0 pictures onto whole pictures of another size (bilinear).
class PictureScaler {
public:
    bool scale(const YuvPlanes& source, int sourceWidth, int sourceHeight, const YuvPlanes& target,
               int width, int height);

private:
    SwsContextPtr context_;
};

}  // namespace morvane
