#include "source/audio_branch.h"

#include <cstdlib>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace morvane {
namespace {

// How far the source's time may stray from the samples counted before it is followed again.
constexpr int64_t kResyncThreshold = 2000000;  // 200 ms

}  // namespace

AudioBranch::~AudioBranch() {
    av_channel_layout_uninit(&inputLayout_);
}

void AudioBranch::setOutput(int sampleRate, int channels, int bitsPerSample) {
    sampleRate_ = sampleRate;
    channels_ = channels;
    format_ = bitsPerSample == 32 ? AV_SAMPLE_FMT_S32 : AV_SAMPLE_FMT_S16;
}

bool AudioBranch::configureResampler(const AVFrame& frame) {
    if (resampler_ && frame.sample_rate == inputRate_ && frame.format == inputFormat_ &&
        av_channel_layout_compare(&frame.ch_layout, &inputLayout_) == 0) {
        return true;
    }
    AVChannelLayout outputLayout;
    av_channel_layout_default(&outputLayout, channels_);
    // A source layout that is only a count gets the usual layout for that count.
    AVChannelLayout sourceLayout;
    if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&sourceLayout, frame.ch_layout.nb_channels);
    } else if (av_channel_layout_copy(&sourceLayout, &frame.ch_layout) < 0) {
        return false;
    }
    SwrContext* resampler = nullptr;
    const int allocated = swr_alloc_set_opts2(
        &resampler, &outputLayout, format_, sampleRate_, &sourceLayout,
        static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
    av_channel_layout_uninit(&sourceLayout);
    av_channel_layout_uninit(&outputLayout);
    resampler_.reset(resampler);
    if (allocated < 0 || swr_init(resampler_.get()) < 0) {
        resampler_.reset();
        return false;
    }
    av_channel_layout_uninit(&inputLayout_);
    av_channel_layout_copy(&inputLayout_, &frame.ch_layout);
    inputRate_ = frame.sample_rate;
    inputFormat_ = frame.format;
    return true;
}

bool AudioBranch::deliverFrame(AVFrame& frame, RunGate& gate) {
    if (frame.nb_samples <= 0 || frame.sample_rate <= 0 || frame.ch_layout.nb_channels <= 0 ||
        !configureResampler(frame)) {
        return true;  // a frame that cannot be converted is skipped
    }
    if (frame.best_effort_timestamp != AV_NOPTS_VALUE) {
        // The time of the frame's first sample, less what the resampler still holds.
        const int64_t held = swr_get_delay(resampler_.get(), 10000000);
        const int64_t start = toSampleTime(frame.best_effort_timestamp) - held;
        const int64_t expected = anchor_ + av_rescale(delivered_, 10000000, sampleRate_);
        if (!anchored_ || std::llabs(start - expected) > kResyncThreshold) {
            anchor_ = start;
            delivered_ = 0;
            anchored_ = true;
        }
    }
    return convertAndDeliver(&frame, gate);
}

bool AudioBranch::deliverEnd(RunGate& gate) {
    return !resampler_ || convertAndDeliver(nullptr, gate);
}

bool AudioBranch::convertAndDeliver(const AVFrame* input, RunGate& gate) {
    const int inputSamples = input != nullptr ? input->nb_samples : 0;
    const int capacity = swr_get_out_samples(resampler_.get(), inputSamples);
    if (capacity <= 0) {
        return true;
    }
    const int bytesPerFrame = channels_ * av_get_bytes_per_sample(format_);
    ByteBuffer buffer = allocateBuffer(static_cast<size_t>(capacity) * bytesPerFrame);
    uint8_t* output[1] = {buffer.get()};
    const int converted =
        swr_convert(resampler_.get(), output, capacity,
                    input != nullptr ? const_cast<const uint8_t**>(input->extended_data) : nullptr,
                    inputSamples);
    if (converted <= 0) {
        return true;
    }
    const int64_t start = anchor_ + av_rescale(delivered_, 10000000, sampleRate_);
    delivered_ += converted;
    const int64_t stop = anchor_ + av_rescale(delivered_, 10000000, sampleRate_);
    GrabbedSample sample(buffer, static_cast<size_t>(converted) * bytesPerFrame, start, stop);
    return handOver(sample, gate);
}

}  // namespace morvane
