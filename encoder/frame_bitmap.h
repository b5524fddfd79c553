#pragma once

#include <cstddef>
#include <cstdint>

#include "pixels/bitmap_layout.h"
#include "pixels/picture_views.h"
#include "platform/byte_buffer.h"

namespace morvane {

// One decoded frame in the grabber's layout: rows bottom-up, blue-green-red, each row padded
// to a multiple of 4 bytes.
class FrameBitmap {
public:
    // The largest frame side the frame path accepts.
    static constexpr int kMaxSide = 16384;

    FrameBitmap() = default;
    FrameBitmap(int width, int height, ByteBuffer pixels);

    bool empty() const { return pixels_ == nullptr; }
    int width() const { return width_; }
    int height() const { return height_; }
    BgrView view() const;

private:
    int width_ = 0;
    int height_ = 0;
    ByteBuffer pixels_;
};

// The frame bitmap of a decoded frame. It takes the payload over without copying; a payload
// too small for a whole frame of that size, or an absurd size, gives an empty bitmap.
FrameBitmap makeFrameBitmap(ByteBuffer payload, size_t payloadSize, int width, int height);
// The same from bytes that stay the caller's: they are copied.
FrameBitmap makeFrameBitmap(const uint8_t* payload, size_t payloadSize, int width, int height);

}  // namespace morvane
