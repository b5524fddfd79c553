#include "tests/support/media_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "pixels/bitmap_layout.h"
#include "platform/ffmpeg_ptr.h"
#include "source/picture_filters.h"
#include "tests/support/media.h"

extern "C" {
#include <libavutil/display.h>
}

namespace morvane::test {
namespace {

struct OutputStream {
    AVStream* stream = nullptr;
    CodecContextPtr codec;
};

// Sends a frame to the encoder (null: the end) and writes every packet it has ready.
void encode(AVFormatContext* output, OutputStream& out, const AVFrame* frame) {
    avcodec_send_frame(out.codec.get(), frame);
    PacketPtr packet(av_packet_alloc());
    while (avcodec_receive_packet(out.codec.get(), packet.get()) >= 0) {
        av_packet_rescale_ts(packet.get(), out.codec->time_base, out.stream->time_base);
        packet->stream_index = out.stream->index;
        av_interleaved_write_frame(output, packet.get());
    }
}

OutputStream addStream(AVFormatContext* output, const std::string& encoderName,
                       const std::function<void(AVCodecContext&)>& configure) {
    OutputStream out;
    const AVCodec* encoder = avcodec_find_encoder_by_name(encoderName.c_str());
    EXPECT_NE(encoder, nullptr) << encoderName;
    if (encoder == nullptr) {
        return out;
    }
    out.stream = avformat_new_stream(output, nullptr);
    out.codec.reset(avcodec_alloc_context3(encoder));
    configure(*out.codec);
    if (output->oformat->flags & AVFMT_GLOBALHEADER) {
        out.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    // The same clip on every machine: x264 with as many threads as it chooses on two cores,
    // whatever the machine has, and without its AVX-512 code, which reads memory it has not
    // written. (The other encoders run on one thread unless told otherwise.)
    AVDictionary* options = nullptr;
    if (encoderName == "libx264") {
        out.codec->thread_count = 2;
        av_dict_set(&options, "x264-params", "cpu-independent=1", 0);
    }
    EXPECT_GE(avcodec_open2(out.codec.get(), encoder, &options), 0) << encoderName;
    av_dict_free(&options);
    avcodec_parameters_from_context(out.stream->codecpar, out.codec.get());
    out.stream->time_base = out.codec->time_base;
    return out;
}

}  // namespace

void writeClip(const std::filesystem::path& path, const ClipRecipe& recipe) {
    AVFormatContext* raw = nullptr;
    ASSERT_GE(avformat_alloc_output_context2(&raw, nullptr, recipe.container.c_str(), path.c_str()),
              0);
    OutputContextPtr output(raw);
    if (recipe.keepNegativeTimes) {
        output->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;
    }
    const AVRational frameRate{recipe.frameRateNum, recipe.frameRateDen};

    std::vector<OutputStream> audio;
    OutputStream video;
    auto addAudio = [&] {
        for (int i = 0; !recipe.audioCodec.empty() && i < recipe.audioStreams; ++i) {
            audio.push_back(addStream(output.get(), recipe.audioCodec, [&](AVCodecContext& c) {
                const AVCodec* codec = c.codec;
                c.sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
                c.sample_rate = recipe.sampleRate;
                av_channel_layout_default(&c.ch_layout, recipe.channels);
                c.bit_rate = 96000;
                c.time_base = {1, recipe.sampleRate};
            }));
        }
    };
    if (recipe.audioFirst) {
        addAudio();
    }
    if (!recipe.videoCodec.empty()) {
        video = addStream(output.get(), recipe.videoCodec, [&](AVCodecContext& c) {
            const AVCodec* codec = c.codec;
            c.width = recipe.width;
            c.height = recipe.height;
            c.pix_fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
            if (recipe.pixelFormat >= 0) {
                c.pix_fmt = static_cast<AVPixelFormat>(recipe.pixelFormat);
            }
            if (recipe.transfer != 0) {
                c.color_trc = static_cast<AVColorTransferCharacteristic>(recipe.transfer);
                c.color_primaries = static_cast<AVColorPrimaries>(recipe.primaries);
                c.colorspace = static_cast<AVColorSpace>(recipe.matrix);
            }
            if (recipe.videoCodec == "rawvideo") {
                c.pix_fmt = AV_PIX_FMT_BGR24;
            }
            // Milliseconds, so that uneven frame times can be told.
            c.time_base = recipe.frameTime ? AVRational{1, 1000} : av_inv_q(frameRate);
            c.framerate = frameRate;
            c.gop_size = 12;
            c.bit_rate = 800000;
            c.sample_aspect_ratio = {recipe.pixelAspectNum, recipe.pixelAspectDen};
            c.field_order = static_cast<AVFieldOrder>(recipe.fieldOrder);
            if (recipe.fieldOrder != AV_FIELD_UNKNOWN) {
                c.flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
            }
        });
        video.stream->avg_frame_rate = frameRate;
        video.stream->sample_aspect_ratio = {recipe.pixelAspectNum, recipe.pixelAspectDen};
        if (recipe.rotation != 0) {
            uint8_t* matrix = av_stream_new_side_data(video.stream, AV_PKT_DATA_DISPLAYMATRIX,
                                                      9 * sizeof(int32_t));
            ASSERT_NE(matrix, nullptr);
            av_display_rotation_set(reinterpret_cast<int32_t*>(matrix), recipe.rotation);
        }
    }
    if (!recipe.audioFirst) {
        addAudio();
    }
    ASSERT_GE(avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
    ASSERT_GE(avformat_write_header(output.get(), nullptr), 0);

    const int frames =
        video.codec ? static_cast<int>(std::lround(recipe.seconds * av_q2d(frameRate))) : 0;
    FramePtr picture(av_frame_alloc());
    SwsContextPtr converter;
    std::vector<uint8_t> bgr(static_cast<size_t>(recipe.width) * recipe.height * 3);
    // With filters, the pictures are first made BT.709 4:2:0 in the limited range.
    std::unique_ptr<PictureFilters> filters;
    if (video.codec && !recipe.filters.empty()) {
        filters = std::make_unique<PictureFilters>(recipe.filters, 1);
    }
    if (video.codec) {
        picture->format = filters ? AV_PIX_FMT_YUV420P : video.codec->pix_fmt;
        if (filters) {
            picture->color_trc = AVCOL_TRC_BT709;
            picture->color_primaries = AVCOL_PRI_BT709;
            picture->colorspace = AVCOL_SPC_BT709;
            picture->color_range = AVCOL_RANGE_MPEG;
        }
        picture->width = recipe.width;
        picture->height = recipe.height;
        ASSERT_GE(av_frame_get_buffer(picture.get(), 0), 0);
        converter.reset(sws_getContext(recipe.width, recipe.height, AV_PIX_FMT_BGR24, recipe.width,
                                       recipe.height, static_cast<AVPixelFormat>(picture->format),
                                       SWS_BICUBIC, nullptr, nullptr, nullptr));
        if (filters) {
            sws_setColorspaceDetails(converter.get(), sws_getCoefficients(SWS_CS_ITU709), 1,
                                     sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
        }
    }

    FramePtr sound(av_frame_alloc());
    int frameSamples = 1024;
    SwrContextPtr resampler;
    if (!audio.empty() && audio.front().codec) {
        const AVCodecContext& c = *audio.front().codec;
        frameSamples = c.frame_size > 0 ? c.frame_size : 1024;
        sound->format = c.sample_fmt;
        sound->sample_rate = c.sample_rate;
        sound->nb_samples = frameSamples;
        av_channel_layout_copy(&sound->ch_layout, &c.ch_layout);
        ASSERT_GE(av_frame_get_buffer(sound.get(), 0), 0);
        SwrContext* swr = nullptr;
        swr_alloc_set_opts2(&swr, &sound->ch_layout, c.sample_fmt, c.sample_rate, &sound->ch_layout,
                            AV_SAMPLE_FMT_S16, c.sample_rate, 0, nullptr);
        resampler.reset(swr);
        ASSERT_GE(swr_init(resampler.get()), 0);
    }
    const int64_t totalSamples =
        audio.empty() ? 0 : static_cast<int64_t>(recipe.seconds * recipe.sampleRate);

    int frame = 0;
    int64_t samples = 0;
    while (frame < frames || samples < totalSamples) {
        const double videoTime = frame == frames ? 1e9
                                                 : (recipe.frameTime ? recipe.frameTime(frame)
                                                                     : frame / av_q2d(frameRate));
        const double audioTime =
            samples == totalSamples ? 1e9 : static_cast<double>(samples) / recipe.sampleRate;
        if (videoTime <= audioTime) {
            // Top-down rows: painted, or the moving pattern read from its last row up.
            std::vector<uint8_t> pattern;
            const uint8_t* source[4] = {bgr.data()};
            int strides[4] = {recipe.width * 3};
            if (recipe.paint) {
                recipe.paint(frame, bgr.data(), recipe.width * 3);
            } else {
                pattern = makeTestFrame(recipe.width, recipe.height, frame);
                strides[0] = -static_cast<int>(bitmapStride(recipe.width));
                source[0] = pattern.data() + pattern.size() + strides[0];
            }
            av_frame_make_writable(picture.get());
            picture->interlaced_frame = recipe.fieldOrder != AV_FIELD_UNKNOWN;
            picture->top_field_first = recipe.fieldOrder == AV_FIELD_TT;
            sws_scale(converter.get(), source, strides, 0, recipe.height, picture->data,
                      picture->linesize);
            picture->pts =
                recipe.frameTime ? static_cast<int64_t>(std::llround(videoTime * 1000)) : frame;
            if (filters) {
                ASSERT_TRUE(filters->push(*picture));
                const AVFrame* filtered = filters->next();
                ASSERT_NE(filtered, nullptr) << recipe.filters;
                FramePtr made(av_frame_clone(filtered));
                made->pts = picture->pts;
                encode(output.get(), video, made.get());
            } else {
                encode(output.get(), video, picture.get());
            }
            ++frame;
        } else {
            const int count =
                static_cast<int>(std::min<int64_t>(frameSamples, totalSamples - samples));
            const std::vector<uint8_t> pcm =
                makeTone(samples, count, recipe.channels, 16, recipe.sampleRate, recipe.toneHz);
            for (OutputStream& out : audio) {
                av_frame_make_writable(sound.get());
                sound->nb_samples = count;
                const uint8_t* input[1] = {pcm.data()};
                swr_convert(resampler.get(), sound->data, count, input, count);
                sound->pts = samples;
                encode(output.get(), out, sound.get());
            }
            samples += count;
        }
    }
    if (video.codec) {
        encode(output.get(), video, nullptr);
    }
    for (OutputStream& out : audio) {
        encode(output.get(), out, nullptr);
    }
    EXPECT_GE(av_write_trailer(output.get()), 0);
    avio_closep(&output->pb);
}

}  // namespace morvane::test
