#include "encoder/audio_encoder.h"

namespace morvane {
namespace {

bool isSixteenBitPcm(AVCodecID id) {
    return id == AV_CODEC_ID_PCM_S16LE || id == AV_CODEC_ID_PCM_S16BE ||
           id == AV_CODEC_ID_PCM_U16LE || id == AV_CODEC_ID_PCM_U16BE;
}

// The codec's format closest to the interleaved input: the planar form of the same width,
// then the same format, else the codec's first.
AVSampleFormat chooseSampleFormat(const AVCodec* codec, AVSampleFormat input) {
    if (codec->sample_fmts == nullptr) {
        return input;
    }
    const AVSampleFormat planar = av_get_planar_sample_fmt(input);
    for (const AVSampleFormat wanted : {planar, input}) {
        for (const AVSampleFormat* format = codec->sample_fmts; *format != AV_SAMPLE_FMT_NONE;
             ++format) {
            if (*format == wanted) {
                return wanted;
            }
        }
    }
    return codec->sample_fmts[0];
}

}  // namespace

CodecOpenResult AudioEncoder::open(const AVCodec* codec, const AudioEncoderSettings& settings) {
    close();
    if (codec == nullptr) {
        return CodecOpenResult::NoEncoder;
    }
    const AVSampleFormat inputFormat =
        settings.bitsPerSample == 32 ? AV_SAMPLE_FMT_S32 : AV_SAMPLE_FMT_S16;
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context || settings.channels <= 0 || settings.sampleRate <= 0) {
        return CodecOpenResult::Refused;
    }
    context->codec_type = AVMEDIA_TYPE_AUDIO;
    context->bit_rate = settings.bitRate;
    context->bit_rate_tolerance = settings.bitRateTolerance;
    context->sample_rate = settings.sampleRate;
    context->bits_per_raw_sample = settings.bitsPerSample;
    av_channel_layout_default(&context->ch_layout, settings.channels);
    context->sample_fmt = chooseSampleFormat(codec, inputFormat);
    context->time_base = {1, settings.sampleRate};
    context->flags = settings.flags;
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
        return CodecOpenResult::Refused;
    }

    frameSamples_ = context->frame_size > 1 ? context->frame_size : 1000000 / settings.channels;
    if (context->frame_size <= 1 && isSixteenBitPcm(codec->id)) {
        frameSamples_ >>= 1;
    }
    frameBytes_ = settings.channels * frameSamples_ * av_get_bytes_per_sample(inputFormat);

    SwrContext* converter = nullptr;
    if (swr_alloc_set_opts2(&converter, &context->ch_layout, context->sample_fmt,
                            settings.sampleRate, &context->ch_layout, inputFormat,
                            settings.sampleRate, 0, nullptr) < 0) {
        return CodecOpenResult::Refused;
    }
    converter_.reset(converter);
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (swr_init(converter_.get()) < 0 || !frame_ || !packet_) {
        return CodecOpenResult::Refused;
    }
    frame_->format = context->sample_fmt;
    frame_->sample_rate = settings.sampleRate;
    frame_->nb_samples = frameSamples_;
    if (av_channel_layout_copy(&frame_->ch_layout, &context->ch_layout) < 0 ||
        av_frame_get_buffer(frame_.get(), 0) < 0) {
        return CodecOpenResult::Refused;
    }
    context_ = std::move(context);
    return CodecOpenResult::Opened;
}

void AudioEncoder::close() {
    context_.reset();
    converter_.reset();
    frame_.reset();
    packet_.reset();
    frameSamples_ = 0;
    frameBytes_ = 0;
}

bool AudioEncoder::encode(const uint8_t* pcm, int64_t pts, const PacketHandler& handler) {
    if (!context_ || av_frame_make_writable(frame_.get()) < 0) {
        return false;
    }
    const uint8_t* input[1] = {pcm};
    if (swr_convert(converter_.get(), frame_->data, frameSamples_, input, frameSamples_) !=
        frameSamples_) {
        return false;
    }
    frame_->pts = pts;
    return sendFrame(context_.get(), frame_.get(), packet_.get(), handler);
}

void AudioEncoder::drain(const PacketHandler& handler) {
    if (context_) {
        sendFrame(context_.get(), nullptr, packet_.get(), handler);
    }
}

}  // namespace morvane
