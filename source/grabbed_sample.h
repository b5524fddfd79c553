#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>

#include "pixels/yuv420_to_bgr.h"
#include "platform/byte_buffer.h"

struct AVFrame;

namespace morvane {

// One decoded buffer on its way through a grabber: valid only during the handler's call.
// Times are 100 ns units from the start of the file; `stopTime` is the start plus the
// buffer's length.
class GrabbedSample {
public:
    GrabbedSample(ByteBuffer& buffer, size_t size, int64_t startTime, int64_t stopTime)
        : buffer_(&buffer), size_(size), startTime_(startTime), stopTime_(stopTime) {}
    // A video sample whose bytes `paint` makes from `picture` into the buffer the first time
    // they are asked for: a handler that can work from the picture itself saves the conversion.
    // `frame` holds the picture's planes (null: none that can be shared).
    GrabbedSample(ByteBuffer& buffer, size_t size, int64_t startTime, int64_t stopTime,
                  const DecodedPicture& picture, const AVFrame* frame,
                  std::function<void(ByteBuffer&)> paint)
        : GrabbedSample(buffer, size, startTime, stopTime) {
        picture_ = &picture;
        frame_ = frame;
        paint_ = std::move(paint);
    }

    const uint8_t* data() {
        paint();
        return buffer_->get();
    }
    size_t size() const { return size_; }
    int64_t startTime() const { return startTime_; }
    int64_t stopTime() const { return stopTime_; }

    // The buffer itself, for a handler that keeps the bytes: taking it saves a copy. The
    // sample holds no data afterwards.
    ByteBuffer take() {
        paint();
        return std::move(*buffer_);
    }

    // The picture behind a video sample's bytes, or null when the bytes came another way. Like
    // the sample, it is valid only during the handler's call.
    const DecodedPicture* decodedPicture() const { return picture_; }
    // The frame that holds that picture's planes, for a handler that keeps them by reference
    // (a new reference of its own); null when there is none.
    const AVFrame* decodedFrame() const { return frame_; }

private:
    void paint() {
        if (paint_) {
            paint_(*buffer_);
            paint_ = nullptr;
        }
    }

    ByteBuffer* buffer_;
    size_t size_;
    int64_t startTime_;
    int64_t stopTime_;
    const DecodedPicture* picture_ = nullptr;
    const AVFrame* frame_ = nullptr;
    std::function<void(ByteBuffer&)> paint_;
};

}  // namespace morvane
