#include "encoder/watermark_overlay.h"

#include <utility>

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

bool WatermarkOverlay::takesYuvFrame(int frameWidth, int frameHeight, int width, int height) const {
    return !(watermark_ && frameWidth == width && frameHeight == height);
}

bool WatermarkOverlay::convertYuvFrame(int frameWidth, int frameHeight, const YuvFill& fill,
                                       int width, int height, const YuvPlanes& picture) {
    if (!takesYuvFrame(frameWidth, frameHeight, width, height)) {
        return false;
    }
    if (frameWidth == width && frameHeight == height) {
        fill(picture);
        return true;
    }
    return convertAndScale(frameWidth, frameHeight, fill, width, height, picture);
}

bool WatermarkOverlay::convertAndScale(int frameWidth, int frameHeight, const YuvFill& fill,
                                       int width, int height, const YuvPlanes& picture) {
    if (!sourcePicture_.resize(frameWidth, frameHeight)) {
        return false;
    }
    fill(sourcePicture_.planes());
    if (!scaler_.scale(sourcePicture_, picture, width, height)) {
        return false;
    }
    if (watermark_) {
        watermark_->blendOnto(picture, width, height, width - watermark_->width() - kMargin,
                              height - watermark_->height() - kMargin);
    }
    return true;
}

}  // namespace morvane
