#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "pixels/picture_views.h"

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

    // Blends the image over a frame or picture with its own alpha, its top-left corner at
    // (left, top), as blendOver does.
    void blendOnto(const BgrView& image, int left, int top) const;
    void blendOnto(const YuvPlanes& picture, int width, int height, int left, int top) const;

private:
    BgraView view() const;

    int width_;
    int height_;
    std::vector<uint8_t> bgra_;  // blue, green, red, alpha; rows top-down, no padding
};

}  // namespace morvane
