#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "encoder/packet_handler.h"
#include "pixels/picture_views.h"
#include "platform/byte_buffer.h"
#include "platform/ffmpeg_ptr.h"

namespace morvane {

// What a codec is told beyond the common settings: its own context fields and options.
using CodecTuning = std::function<void(AVCodecContext& context, AVDictionary*& options)>;

struct VideoEncoderSettings {
    int width;
    int height;
    AVRational frameRate;  // frames per second, at least 1
    int keyFrameInterval;  // at most this many frames from one key frame to the next
    int64_t bitRate;
    int bitRateTolerance;  // 0: the codec's own
    CodecTuning tuning;    // may be empty
};

// One video codec fed with YUV 4:2:0 pictures, one per frame, numbered in the codec's own
// time base of 1 / frame rate (packets carry those numbers as their times). A picture is a frame
// handed over without a copy: one buffer of packed planes (pictureBytes(), planesOf(), frameOf())
// or a decoder's own frame.
class VideoEncoder {
public:
    // A codec that refuses to open is tried again every 50 ms until `retryFor` has passed.
    CodecOpenResult open(const AVCodec* codec, const VideoEncoderSettings& settings,
                         std::chrono::milliseconds retryFor = std::chrono::milliseconds(2000));
    void close();
    bool isOpen() const { return context_ != nullptr; }
    // The number the next picture gets.
    int64_t nextFrameIndex() const { return nextFrameIndex_; }
    const AVCodecContext* context() const { return context_.get(); }

    static size_t pictureBytes(int width, int height);
    static YuvPlanes planesOf(uint8_t* picture, int width, int height);

    // Encodes the picture (of the codec's size, YUV 4:2:0, not changed afterwards) as the next
    // frame and hands over the packets it gives; null encodes the previous picture again. False
    // on a codec error or when there is no picture at all.
    bool encode(FramePtr picture, const PacketHandler& handler);
    // The same for a frame made by frameOf() (shared, not changed), as a key frame if `key`.
    bool encodeFrame(const AVFrame& frame, bool key, const PacketHandler& handler);
    // A frame of width x height over the picture's buffer, which it then owns; null when out
    // of memory.
    static FramePtr frameOf(ByteBuffer picture, int width, int height);
    // A picture over the buffers of a YUV 4:2:0 frame (new references) and nothing else of it:
    // no picture type, side data or times of a decoder's that the codec would follow. Null
    // when out of memory or when its buffers cannot be shared so.
    static FramePtr pictureOver(const AVFrame& frame);
    void drain(const PacketHandler& handler);

private:
    CodecContextPtr context_;
    FramePtr picture_;  // the last picture given
    PacketPtr packet_;
    int64_t nextFrameIndex_ = 0;
};

}  // namespace morvane
