#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "encoder/frame_bitmap.h"
#include "encoder/yuv_conversion.h"

namespace morvane {

// An image with an alpha channel, drawn over frames at its own pixel size.
class WatermarkImage {
public:
    // The largest side accepted; a bigger image is treated as unreadable.
    static constexpr int kMaxSide = 8192;

    // Any image FFmpeg decodes (PNG with alpha above all); nullopt when the file is missing or
    // cannot be decoded.
    static std::optional<WatermarkImage> load(const std::filesystem::path& path);

    WatermarkImage(int width, int height, std::vector<uint8_t> bgra);

    int width() const { return width_; }
    int height() const { return height_; }

    // Blends the image over `image` with its own alpha (source over), its top-left corner at
    // (left, top); whatever falls outside the image is clipped.
    void blendOnto(const BgrView& image, int left, int top) const;

    // The same over a YUV 4:2:0 picture of width x height: each pixel's colour converted as
    // convertToYuv420 does, blended in Y, U and V. A chroma sample takes the watermark pixels of
    // its even-row pixel pair that lie inside the image, at their mean opacity.
    void blendOnto(const YuvPlanes& picture, int width, int height, int left, int top) const;

private:
    int width_;
    int height_;
    std::vector<uint8_t> bgra_;  // blue, green, red, alpha; rows top-down, no padding
};

}  // namespace morvane
