#include "encoder/picture_scaler.h"

#include "encoder/frame_bitmap.h"

namespace morvane {

bool YuvPicture::resize(int width, int height) {
    if (width <= 0 || height <= 0 || width > FrameBitmap::kMaxSide ||
        height > FrameBitmap::kMaxSide) {
        return false;
    }
    const size_t lumaBytes = static_cast<size_t>(width) * static_cast<size_t>(height);
    const size_t chromaBytes =
        static_cast<size_t>((width + 1) / 2) * static_cast<size_t>((height + 1) / 2);
    const size_t size = lumaBytes + 2 * chromaBytes;
    if (size > capacity_) {
        bytes_ = std::make_unique_for_overwrite<uint8_t[]>(size);
        capacity_ = size;
    }
    width_ = width;
    height_ = height;
    return true;
}

YuvPlanes YuvPicture::planes() const {
    const size_t lumaBytes = static_cast<size_t>(width_) * static_cast<size_t>(height_);
    const int chromaWidth = (width_ + 1) / 2;
    const size_t chromaBytes =
        static_cast<size_t>(chromaWidth) * static_cast<size_t>((height_ + 1) / 2);
    uint8_t* y = bytes_.get();
    return {y, width_, y + lumaBytes, chromaWidth, y + lumaBytes + chromaBytes, chromaWidth};
}

bool PictureScaler::scale(const YuvPlanes& from, int sourceWidth, int sourceHeight,
                          const YuvPlanes& target, int width, int height) {
    context_.reset(sws_getCachedContext(context_.release(), sourceWidth, sourceHeight,
                                        AV_PIX_FMT_YUV420P, width, height, AV_PIX_FMT_YUV420P,
                                        SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!context_) {
        return false;
    }
    const uint8_t* const sourcePlanes[4] = {from.y, from.u, from.v, nullptr};
    const int sourceStrides[4] = {from.yStride, from.uStride, from.vStride, 0};
    uint8_t* const targetPlanes[4] = {target.y, target.u, target.v, nullptr};
    const int targetStrides[4] = {target.yStride, target.uStride, target.vStride, 0};
    return sws_scale(context_.get(), sourcePlanes, sourceStrides, 0, sourceHeight, targetPlanes,
                     targetStrides) == height;
}

}  // namespace morvane
