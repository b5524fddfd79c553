#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/byte_buffer.h"

namespace morvane {

// One decoded buffer on its way through a grabber: valid only during the handler's call.
// Times are 100 ns units from the start of the file; `stopTime` is the start plus the
// buffer's length.
class GrabbedSample {
public:
    GrabbedSample(ByteBuffer& buffer, size_t size, int64_t startTime, int64_t stopTime)
        : buffer_(&buffer), size_(size), startTime_(startTime), stopTime_(stopTime) {}

    const uint8_t* data() const { return buffer_->get(); }
    size_t size() const { return size_; }
    int64_t startTime() const { return startTime_; }
    int64_t stopTime() const { return stopTime_; }

    // The buffer itself, for a handler that keeps the bytes: taking it saves a copy. The
    // sample holds no data afterwards.
    ByteBuffer take() { return std::move(*buffer_); }

private:
    ByteBuffer* buffer_;
    size_t size_;
    int64_t startTime_;
    int64_t stopTime_;
};

}  // namespace morvane
