#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include "encoder/frame_bitmap.h"
#include "encoder/picture_scaler.h"
#include "encoder/watermark_image.h"
#include "pixels/bgr_to_yuv420.h"

namespace morvane {

// The frame path in front of the video encoder: holds the current frame and the watermark,
// and turns the frame into the encoder's picture: scaled to the output size, the watermark
// drawn over its bottom-right corner, converted to YUV 4:2:0.
//
// A frame of the output size gets the watermark in its own pixels and is converted where it
// lies. A frame of another size is converted at its own size, scaled as YUV (the library's
// fast path; its RGB scaling is many times slower) and then given the watermark in YUV.
//
// Not locked: the encoder's owner serialises all calls (the encoder's lock).
class WatermarkOverlay {
public:
    // The watermark's distance from the frame's right and bottom edges, in pixels.
    static constexpr int kMargin = 20;

    // Loads the watermark for the next file; a missing or unreadable file means none.
    void loadWatermark(const std::filesystem::path& path);
    void releaseWatermark();
    bool hasWatermark() const { return watermark_.has_value(); }

    // The frame becomes the current frame; an empty one leaves no current frame.
    void setFrame(FrameBitmap frame);
    void releaseFrame();
    bool hasFrame() const { return !frame_.empty(); }

    // Fills the picture from the current frame at width x height. Without a current frame it
    // does nothing and returns false, so the picture keeps its previous contents.
    bool convertFrame(int width, int height, const YuvPlanes& picture);

    // Writes the YUV 4:2:0 conversion (convertToYuv420's) of a frame into planes of its size.
    using YuvFill = std::function<void(const YuvPlanes&)>;
    // Whether a frame of frameWidth x frameHeight can come as its conversion rather than as
    // its pixels: not when the watermark goes into the pixels of a frame of the output size.
    bool takesYuvFrame(int frameWidth, int frameHeight, int width, int height) const;
    // convertFrame() for such a frame, which `fill` provides; false when it does not take it.
    bool convertYuvFrame(int frameWidth, int frameHeight, const YuvFill& fill, int width,
                         int height, const YuvPlanes& picture);

private:
    bool convertAndScale(int frameWidth, int frameHeight, const YuvFill& fill, int width,
                         int height, const YuvPlanes& picture);

    FrameBitmap frame_;
    bool frameMarked_ = false;  // the watermark is already drawn into frame_ itself
    std::optional<WatermarkImage> watermark_;
    YuvPicture sourcePicture_;
    PictureScaler scaler_;
};

}  // namespace morvane
