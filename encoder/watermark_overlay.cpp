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
    const int left = watermark_ ? width - watermark_->width() - kMargin : 0;
    const int top = watermark_ ? height - watermark_->height() - kMargin : 0;
    if (frame_.width() == width && frame_.height() == height) {
        if (watermark_ && !frameMarked_) {
            watermark_->blendOnto(frame_.view(), left, top);
            frameMarked_ = true;
        }
        convertToYuv420(frame_.view(), picture);
        return true;
    }
    if (!sourcePicture_.resize(frame_.width(), frame_.height())) {
        return false;
    }
    convertToYuv420(frame_.view(), sourcePicture_.planes());
    if (!scaler_.scale(sourcePicture_, picture, width, height)) {
        return false;
    }
    if (watermark_) {
        watermark_->blendOnto(picture, width, height, left, top);
    }
    return true;
}

}  // namespace morvane
