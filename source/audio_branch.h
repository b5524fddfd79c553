#pragma once

#include <cstdint>

#include "platform/ffmpeg_ptr.h"
#include "source/decoding_branch.h"

namespace morvane {

// The audio branch: every decoded frame becomes interleaved signed PCM (16 or 32 bits) of the
// branch's rate and channel count, whatever the source has: resampled, downmixed or upmixed.
// Sample times run on from the first frame's time by the samples delivered, and follow the
// source again where it jumps.
class AudioBranch final : public DecodingBranch {
public:
    using DecodingBranch::DecodingBranch;
    ~AudioBranch() override;

    void setOutput(int sampleRate, int channels, int bitsPerSample);

private:
    bool deliverFrame(AVFrame& frame, RunGate& gate) override;
    bool deliverEnd(RunGate& gate) override;
    bool configureResampler(const AVFrame& frame);
    // Converts `input` (null: what the resampler still holds) and hands it over.
    bool convertAndDeliver(const AVFrame* input, RunGate& gate);

    int sampleRate_ = 0;
    int channels_ = 0;
    AVSampleFormat format_ = AV_SAMPLE_FMT_S16;
    SwrContextPtr resampler_;
    AVChannelLayout inputLayout_{};
    int inputRate_ = 0;
    int inputFormat_ = -1;
    bool anchored_ = false;
    int64_t anchor_ = 0;     // time of the first sample counted from, 100 ns units
    int64_t delivered_ = 0;  // samples since the anchor
};

}  // namespace morvane
