#pragma once

#include <chrono>
#include <cstdint>

#include "encoder/packet_handler.h"
#include "pixels/picture_views.h"
#include "platform/byte_buffer.h"
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
// time base of 1 / frame rate. A picture is one buffer of packed planes (pictureBytes(),
// planesOf()), handed over without a copy.
class VideoEncoder {
public:
    // A codec that refuses to open is tried again every 50 ms until `retryFor` has passed.
    CodecOpenResult open(AVCodecID codecId, const VideoEncoderSettings& settings,
                         std::chrono::milliseconds retryFor = std::chrono::milliseconds(2000));
    void close();
    bool isOpen() const { return context_ != nullptr; }
    const AVCodecContext* context() const { return context_.get(); }

    static size_t pictureBytes(int width, int height);
    static YuvPlanes planesOf(uint8_t* picture, int width, int height);

    // Encodes the picture (of the codec's size) as the next frame and hands over the packets
    // it gives; an empty buffer encodes the previous picture again. False on a codec error or
    // when there is no picture at all.
    bool encode(ByteBuffer picture, const PacketHandler& handler);
    void drain(const PacketHandler& handler);

private:
    CodecContextPtr context_;
    FramePtr picture_;  // the last picture given
    PacketPtr packet_;
    int64_t nextFrameIndex_ = 0;
};

}  // namespace morvane
