#pragma once

#include <cstdint>

#include "encoder/packet_handler.h"
#include "platform/ffmpeg_ptr.h"

namespace morvane {

struct AudioEncoderSettings {
    int64_t bitRate;
    int bitRateTolerance;
    int sampleRate;
    int bitsPerSample;  // of the PCM given to encode(): 32 means signed 32-bit, else 16
    int channels;
    int flags;
};

// One audio codec fed with interleaved PCM frames of a fixed size, converted to whatever
// sample format the codec takes.
class AudioEncoder {
public:
    CodecOpenResult open(const AVCodec* codec, const AudioEncoderSettings& settings);
    void close();
    bool isOpen() const { return context_ != nullptr; }
    const AVCodecContext* context() const { return context_.get(); }

    // Samples per channel in one frame, and the PCM bytes they take.
    int frameSamples() const { return frameSamples_; }
    int frameBytes() const { return frameBytes_; }

    // Encodes one frame of frameBytes() bytes starting at `pts` (in samples) and hands over
    // every packet it gives (often none: the codec holds frames back). False on a codec error.
    bool encode(const uint8_t* pcm, int64_t pts, const PacketHandler& handler);
    // Ends the stream: the packets still held back.
    void drain(const PacketHandler& handler);

private:
    CodecContextPtr context_;
    SwrContextPtr converter_;
    FramePtr frame_;
    PacketPtr packet_;
    int frameSamples_ = 0;
    int frameBytes_ = 0;
};

}  // namespace morvane
