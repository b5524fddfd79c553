#include "encoder/flv_codecs.h"

#include <cmath>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

namespace morvane {
namespace {

// The profiles' rates are in units of 1,024 bits a second.
int64_t bitRateOf(int kbps) {
    return static_cast<int64_t>(kbps) << 10;
}

int toleranceOf(int64_t bitRate) {
    return static_cast<int>(static_cast<double>(bitRate) * 0.01);
}

// Players seek to key frames, and streaming servers ask for one at least every 2 seconds.
constexpr int kH264KeyFrameSeconds = 2;

// x264 encodes each picture in this many slices, each on a thread of its own, on any machine:
// its frame threads would share the rate control's buffer model as they go, so that the bytes
// would depend on how the threads happen to run.
constexpr int kH264SliceThreads = 2;

void tuneH264(AVCodecContext& context, AVDictionary*& options, int64_t bitRate) {
    context.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;  // FLV carries the AVC sequence header
    // No second much above twice the rate: what RTMP ingest servers accept.
    context.rc_max_rate = 2 * bitRate;
    context.rc_buffer_size = static_cast<int>(bitRate);
    context.thread_count = kH264SliceThreads;
    // What the frame path makes: BT.601 in the limited range.
    context.color_range = AVCOL_RANGE_MPEG;
    context.colorspace = AVCOL_SPC_SMPTE170M;
    av_dict_set(&options, "preset", "veryfast", 0);
    // The same bytes on every processor: without it x264 picks some methods by the processor,
    // and its AVX-512 code reads memory it has not written, so that a picture may come out
    // differently from one run to the next.
    av_dict_set(&options, "x264-params", "cpu-independent=1:sliced-threads=1", 0);
    // Main: what Flash Player 9 and the hardware decoders of its time accept.
    av_dict_set(&options, "profile", "main", 0);
}

}  // namespace

const AVCodec* videoEncoderOf(FlvFormat format) {
    if (format == FlvFormat::H264Aac) {
        return avcodec_find_encoder_by_name("libx264");
    }
    const AVOutputFormat* flv = av_guess_format("flv", nullptr, nullptr);
    return flv == nullptr ? nullptr : avcodec_find_encoder(flv->video_codec);
}

const AVCodec* audioEncoderOf(FlvFormat format) {
    if (format == FlvFormat::H264Aac) {
        return avcodec_find_encoder_by_name("aac");
    }
    const AVOutputFormat* flv = av_guess_format("flv", nullptr, nullptr);
    return flv == nullptr ? nullptr : avcodec_find_encoder(flv->audio_codec);
}

AVRational encodedFrameRate(AVRational rate) {
    if (rate.num <= 0 || rate.den <= 0 || rate.num < rate.den) {
        return {1, 1};
    }
    AVRational reduced{};
    av_reduce(&reduced.num, &reduced.den, rate.num, rate.den, 65535);
    return reduced;
}

VideoEncoderSettings videoSettingsOf(const CodecChoice& choice) {
    const AVRational rate = encodedFrameRate(choice.frameRate);
    // One key frame a second: a group of the rate rounded to whole frames.
    const int second = std::max(1, static_cast<int>(std::lround(av_q2d(rate))));
    const int64_t bitRate = bitRateOf(choice.videoKbps);
    if (choice.format == FlvFormat::H264Aac) {
        return {choice.width,
                choice.height,
                rate,
                kH264KeyFrameSeconds * second,
                bitRate,
                0,
                [bitRate](AVCodecContext& context, AVDictionary*& options) {
                    tuneH264(context, options, bitRate);
                }};
    }
    return {choice.width, choice.height, rate, second, bitRate, toleranceOf(bitRate), {}};
}

AudioEncoderSettings audioSettingsOf(const CodecChoice& choice) {
    const int64_t bitRate = bitRateOf(choice.audioKbps);
    // MP3 above 32 kbit/s: variable rate. AAC keeps to its rate, and FLV carries its
    // AudioSpecificConfig.
    const int flags = choice.format == FlvFormat::H264Aac ? AV_CODEC_FLAG_GLOBAL_HEADER
                      : choice.audioKbps > 32             ? AV_CODEC_FLAG_QSCALE
                                                          : 0;
    return {bitRate, toleranceOf(bitRate), choice.sampleRate, choice.bitsPerSample, choice.channels,
            flags};
}

}  // namespace morvane
