#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include "encoder/frame_bitmap.h"
#include "encoder/picture_scaler.h"
#include "encoder/watermark_image.h"
#include "pixels/bgr_to_yuv420.h"
#include "pixels/yuv420_to_bgr.h"

namespace morvane {

// The frame path in front of the video encoder: holds the watermark, and turns a decoded
// picture into the encoder's picture: scaled to the output size, the watermark drawn over its
// bottom-right corner, in YUV 4:2:0 with the encoder's colours (limited-range BT.601).
//
// A decoded YUV picture stays YUV all the way: copied or scaled as it is when it is in the
// encoder's colours already, else converted to them at its own size first (then scaled); the
// watermark is blended into the planes on its own rectangle. A frame that came as blue-green-red
// pixels (a source that cannot be read as YUV) gets the watermark in its pixels when it is of
// the output size, and is converted, then scaled as YUV.
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

    // Whether a decoded picture is the encoder's picture as it is: of that size, in its
    // colours, and no watermark to draw.
    bool takesAsItIs(const DecodedPicture& decoded, int width, int height) const;
    // Fills the picture from a decoded one at width x height; false for a picture of no size.
    bool convertPicture(const DecodedPicture& decoded, int width, int height,
                        const YuvPlanes& picture);

private:
    // Writes a picture in the encoder's colours into planes of the frame's own size.
    using YuvFill = std::function<void(const YuvPlanes&)>;
    bool convertAndScale(int frameWidth, int frameHeight, const YuvFill& fill, int width,
                         int height, const YuvPlanes& picture);
    void blendWatermark(int width, int height, const YuvPlanes& picture) const;

    FrameBitmap frame_;
    bool frameMarked_ = false;  // the watermark is already drawn into frame_ itself
    std::optional<WatermarkImage> watermark_;
    YuvPicture sourcePicture_;
    PictureScaler scaler_;
};

}  // namespace morvane
