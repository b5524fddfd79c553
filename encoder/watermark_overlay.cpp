#include "encoder/watermark_overlay.h"

#include <utility>

#include "pixels/decoded_to_yuv420.h"

namespace morvane {

void WatermarkOverlay::loadWatermark(const std::filesystem::path& path) {
    watermark_ = WatermarkImage::load(path);
}

void WatermarkOverlay::releaseWatermark() {
    watermark_.reset();
}

void WatermarkOverlay::setFrame(FrameBitmap frame) {
    frame_ = std::move(frame);
    frameMarked_ = false;
}

void WatermarkOverlay::releaseFrame() {
    setFrame({});
}

bool WatermarkOverlay::convertFrame(int width, int height, const YuvPlanes& picture) {
    if (frame_.empty()) {
        return false;
    }
    if (frame_.width() == width && frame_.height() == height) {
        if (watermark_ && !frameMarked_) {
            watermark_->blendOnto(frame_.view(), width - watermark_->width() - kMargin,
                                  height - watermark_->height() - kMargin);
            frameMarked_ = true;
        }
        convertToYuv420(frame_.view(), picture);
        return true;
    }
    return convertAndScale(
        frame_.width(), frame_.height(),
        [this](const YuvPlanes& planes) { convertToYuv420(frame_.view(), planes); }, width, height,
        picture);
}

bool WatermarkOverlay::takesAsItIs(const DecodedPicture& decoded, int width, int height) const {
    return !watermark_ && decoded.inEncoderColours && decoded.width == width &&
           decoded.height == height;
}

bool WatermarkOverlay::convertPicture(const DecodedPicture& decoded, int width, int height,
                                      const YuvPlanes& picture) {
    if (decoded.width <= 0 || decoded.height <= 0) {
        return false;
    }
    if (decoded.width == width && decoded.height == height) {
        convertDecodedToYuv420(decoded, picture);
    } else if (decoded.inEncoderColours) {
        const YuvPlanes from{const_cast<uint8_t*>(decoded.planes[0]), decoded.strides[0],
                             const_cast<uint8_t*>(decoded.planes[1]), decoded.strides[1],
                             const_cast<uint8_t*>(decoded.planes[2]), decoded.strides[2]};
        if (!scaler_.scale(from, decoded.width, decoded.height, picture, width, height)) {
            return false;
        }
    } else {
        return convertAndScale(
            decoded.width, decoded.height,
            [&decoded](const YuvPlanes& planes) { convertDecodedToYuv420(decoded, planes); }, width,
            height, picture);
    }
    blendWatermark(width, height, picture);
    return true;
}

bool WatermarkOverlay::convertAndScale(int frameWidth, int frameHeight, const YuvFill& fill,
                                       int width, int height, const YuvPlanes& picture) {
    if (!sourcePicture_.resize(frameWidth, frameHeight)) {
        return false;
    }
    fill(sourcePicture_.planes());
    if (!scaler_.scale(sourcePicture_.planes(), frameWidth, frameHeight, picture, width, height)) {
        return false;
    }
    blendWatermark(width, height, picture);
    return true;
}

void WatermarkOverlay::blendWatermark(int width, int height, const YuvPlanes& picture) const {
    if (watermark_) {
        watermark_->blendOnto(picture, width, height, width - watermark_->width() - kMargin,
                              height - watermark_->height() - kMargin);
    }
}

}  // namespace morvane
