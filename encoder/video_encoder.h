#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "encoder/packet_handler.h"
#include "encoder/yuv_conversion.h"
#include "platform/ffmpeg_ptr.h"

namespace morvane {

struct VideoEncoderSettings {
    int width;
    int height;
    int frameRate;  // frames per second, at least 1; also one key frame per this many frames
    int64_t bitRate;
    int bitRateTolerance;
};

// One video codec fed with YUV 4:2:0 pictures, one per frame, numbered in the codec's own
// time base of 1 / frame rate.
class VideoEncoder {
public:
    enum class OpenResult { Opened, NoEncoder, Refused };

    // A codec that refuses to open is tried again every 50 ms until `retryFor` has passed.
    OpenResult open(AVCodecID codecId, const VideoEncoderSettings& settings,
                    std::chrono::milliseconds retryFor = std::chrono::milliseconds(2000));
    void close();
    bool isOpen() const { return context_ != nullptr; }
    const AVCodecContext* context() const { return context_.get(); }

    // The planes of the picture for the next frame, made writable (the codec may still hold
    // the previous one). Nullopt when no buffer can be had.
    std::optional<YuvPlanes> writablePicture();

    // Encodes the picture as the next frame and hands over the packets it gives. False on a
    // codec error.
    bool encode(const PacketHandler& handler);
    void drain(const PacketHandler& handler);

private:
    // A fresh buffer for the picture, from the pool: no copy of the old one, no page faults.
    bool takeFreshPicture();

    CodecContextPtr context_;
    BufferPoolPtr picturePool_;
    FramePtr picture_;
    PacketPtr packet_;
    int64_t nextFrameIndex_ = 0;
};

}  // namespace morvane
