#include "encoder/frame_bitmap.h"

#include <cstring>
#include <utility>

namespace morvane {
namespace {

bool holdsWholeFrame(size_t payloadSize, int width, int height) {
    return width > 0 && height > 0 && width <= FrameBitmap::kMaxSide &&
           height <= FrameBitmap::kMaxSide &&
           payloadSize >= bitmapStride(width) * static_cast<size_t>(height);
}

}  // namespace

FrameBitmap::FrameBitmap(int width, int height, ByteBuffer pixels)
    : width_(width), height_(height), pixels_(std::move(pixels)) {}

BgrView FrameBitmap::view() const {
    if (empty()) {
        return {};
    }
    const auto stride = static_cast<ptrdiff_t>(bitmapStride(width_));
    return {pixels_.get() + stride * (height_ - 1), -stride, width_, height_};
}

FrameBitmap makeFrameBitmap(ByteBuffer payload, size_t payloadSize, int width, int height) {
    if (payload == nullptr || !holdsWholeFrame(payloadSize, width, height)) {
        return {};
    }
    return {width, height, std::move(payload)};
}

FrameBitmap makeFrameBitmap(const uint8_t* payload, size_t payloadSize, int width, int height) {
    if (payload == nullptr || !holdsWholeFrame(payloadSize, width, height)) {
        return {};
    }
    const size_t size = bitmapStride(width) * static_cast<size_t>(height);
    ByteBuffer pixels = allocateBuffer(size);
    std::memcpy(pixels.get(), payload, size);
    return {width, height, std::move(pixels)};
}

}  // namespace morvane
