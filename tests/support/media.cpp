#include "tests/support/media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "pixels/bitmap_layout.h"
#include "platform/ffmpeg_ptr.h"

namespace morvane::test {
namespace {

// Opens a file and reads its stream information; null when either fails.
InputContextPtr openInput(const std::filesystem::path& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return nullptr;
    }
    InputContextPtr input(raw);
    return avformat_find_stream_info(input.get(), nullptr) < 0 ? nullptr : std::move(input);
}

}  // namespace

std::vector<uint8_t> makeTestFrame(int width, int height, int index) {
    const size_t stride = bitmapStride(width);
    std::vector<uint8_t> frame(stride * static_cast<size_t>(height));
    for (int row = 0; row < height; ++row) {
        uint8_t* pixel = frame.data() + static_cast<size_t>(height - 1 - row) * stride;
        for (int column = 0; column < width; ++column, pixel += 3) {
            pixel[0] = static_cast<uint8_t>(column * 255 / std::max(1, width - 1));
            pixel[1] = static_cast<uint8_t>(row * 255 / std::max(1, height - 1));
            // A bar that moves right, 8 pixels a frame.
            pixel[2] = ((column - 8 * index) % width + width) % width < width / 8 ? 255 : 40;
        }
    }
    return frame;
}

FramePtr makeNoiseYuvFrame(int format, int width, int height, int colourspace, int range,
                           unsigned seed) {
    FramePtr frame(av_frame_alloc());
    frame->format = format;
    frame->width = width;
    frame->height = height;
    frame->colorspace = static_cast<AVColorSpace>(colourspace);
    frame->color_range = static_cast<AVColorRange>(range);
    EXPECT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
    std::mt19937 random(seed);
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? height : (height + 1) / 2;
        std::generate_n(frame->data[plane], rows * frame->linesize[plane],
                        [&random] { return static_cast<uint8_t>(random()); });
    }
    return frame;
}

std::vector<uint8_t> makeSolidFrame(int width, int height, uint8_t blue, uint8_t green,
                                    uint8_t red) {
    const uint8_t pixel[] = {blue, green, red};
    const size_t stride = bitmapStride(width);
    std::vector<uint8_t> frame(stride * static_cast<size_t>(height), 0xEE);  // padding marked
    for (size_t row = 0; row < frame.size(); row += stride) {
        for (int column = 0; column < width; ++column) {
            std::memcpy(frame.data() + row + 3 * static_cast<size_t>(column), pixel, 3);
        }
    }
    return frame;
}

std::vector<uint8_t> makeTone(int64_t first, int samples, int channels, int bitsPerSample,
                              int sampleRate, double frequency) {
    const int bytes = bitsPerSample / 8;
    std::vector<uint8_t> pcm(static_cast<size_t>(samples) * channels * bytes);
    uint8_t* out = pcm.data();
    for (int i = 0; i < samples; ++i) {
        const double value =
            0.5 * std::sin(2 * M_PI * frequency * static_cast<double>(first + i) / sampleRate);
        for (int channel = 0; channel < channels; ++channel) {
            if (bytes == 4) {
                const auto sample = static_cast<int32_t>(value * 2147483647.0);
                std::memcpy(out, &sample, 4);
            } else {
                const auto sample = static_cast<int16_t>(value * 32767.0);
                std::memcpy(out, &sample, 2);
            }
            out += bytes;
        }
    }
    return pcm;
}

void writePng(const std::filesystem::path& path, int width, int height,
              const std::vector<uint8_t>& rgba) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
    ASSERT_NE(codec, nullptr);
    CodecContextPtr context(avcodec_alloc_context3(codec));
    context->width = width;
    context->height = height;
    context->pix_fmt = AV_PIX_FMT_RGBA;
    context->time_base = {1, 1};
    ASSERT_GE(avcodec_open2(context.get(), codec, nullptr), 0);
    FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_RGBA;
    frame->width = width;
    frame->height = height;
    frame->data[0] = const_cast<uint8_t*>(rgba.data());
    frame->linesize[0] = width * 4;
    PacketPtr packet(av_packet_alloc());
    ASSERT_GE(avcodec_send_frame(context.get(), frame.get()), 0);
    ASSERT_GE(avcodec_receive_packet(context.get(), packet.get()), 0);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(packet->data), packet->size);
}

double lumaPsnr(const std::vector<uint8_t>& reference, const std::vector<uint8_t>& distorted) {
    double squares = 0;
    for (size_t i = 0; i < reference.size() && i < distorted.size(); ++i) {
        const double difference = static_cast<double>(reference[i]) - distorted[i];
        squares += difference * difference;
    }
    const double mean = squares / static_cast<double>(std::max<size_t>(reference.size(), 1));
    return mean == 0 ? 100.0 : 10 * std::log10(255.0 * 255.0 / mean);
}

ReadMedia readMedia(const std::filesystem::path& path, bool keepLuma) {
    ReadMedia media;
    InputContextPtr input = openInput(path);
    if (!input) {
        return media;
    }
    media.opened = true;

    std::vector<CodecContextPtr> decoders(input->nb_streams);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters* parameters = input->streams[i]->codecpar;
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO) {
            media.videoCodec = parameters->codec_id;
            media.width = parameters->width;
            media.height = parameters->height;
            media.keyframeIndexEntries = avformat_index_get_entries_count(input->streams[i]);
        } else if (parameters->codec_type == AVMEDIA_TYPE_AUDIO) {
            media.audioCodec = parameters->codec_id;
            media.sampleRate = parameters->sample_rate;
            media.channels = parameters->ch_layout.nb_channels;
        } else {
            continue;
        }
        const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
        decoders[i].reset(avcodec_alloc_context3(decoder));
        avcodec_parameters_to_context(decoders[i].get(), parameters);
        decoders[i]->pkt_timebase = input->streams[i]->time_base;
        if (decoder == nullptr || avcodec_open2(decoders[i].get(), decoder, nullptr) < 0) {
            decoders[i].reset();
        }
    }

    FramePtr frame(av_frame_alloc());
    // Decodes a packet of a stream (null: the end of it) and takes in what that gives.
    auto decode = [&](size_t index, const AVPacket* packet) {
        AVCodecContext* context = decoders[index].get();
        if (context == nullptr) {
            return;
        }
        if (avcodec_send_packet(context, packet) < 0) {
            ++media.decodeErrors;
        }
        for (;;) {
            const int received = avcodec_receive_frame(context, frame.get());
            if (received < 0) {
                if (received != AVERROR(EAGAIN) && received != AVERROR_EOF) {
                    ++media.decodeErrors;
                }
                return;
            }
            if (context->codec_type == AVMEDIA_TYPE_VIDEO) {
                ++media.decodedVideoFrames;
                if (frame->format == AV_PIX_FMT_YUV420P) {
                    const int y = frame->height / 2;
                    auto at = [&](int x) {
                        return std::array<int, 3>{
                            frame->data[0][y * frame->linesize[0] + x],
                            frame->data[1][y / 2 * frame->linesize[1] + x / 2],
                            frame->data[2][y / 2 * frame->linesize[2] + x / 2]};
                    };
                    media.leftYuv.push_back(at(frame->width / 4));
                    media.rightYuv.push_back(at(frame->width * 3 / 4));
                    if (keepLuma) {
                        std::vector<uint8_t>& plane = media.luma.emplace_back();
                        for (int row = 0; row < frame->height; ++row) {
                            const uint8_t* start = frame->data[0] + row * frame->linesize[0];
                            plane.insert(plane.end(), start, start + frame->width);
                        }
                    }
                }
            } else {
                media.decodedAudioSamples += frame->nb_samples;
                const int channels = frame->ch_layout.nb_channels;
                for (int s = 0; s < frame->nb_samples; ++s) {
                    float sum = 0;
                    for (int c = 0; c < channels; ++c) {
                        if (frame->format == AV_SAMPLE_FMT_FLTP) {
                            sum += reinterpret_cast<const float*>(frame->extended_data[c])[s];
                        }
                    }
                    media.audio.push_back(sum / static_cast<float>(channels));
                }
            }
            av_frame_unref(frame.get());
        }
    };
    PacketPtr packet(av_packet_alloc());
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        const AVStream* stream = input->streams[packet->stream_index];
        media.packets.push_back({stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO,
                                 av_rescale_q(packet->pts, stream->time_base, {1, 1000}),
                                 (packet->flags & AV_PKT_FLAG_KEY) != 0,
                                 av_rescale_q(packet->dts, stream->time_base, {1, 1000}),
                                 packet->size});
        decode(static_cast<size_t>(packet->stream_index), packet.get());
        av_packet_unref(packet.get());
    }
    for (size_t index = 0; index < decoders.size(); ++index) {
        decode(index, nullptr);
    }
    return media;
}

std::string outputOf(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t read = 0;
        while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            output.append(buffer, read);
        }
        ::pclose(pipe);
    }
    return output;
}

namespace {

// The file's onMetaData as flvmeta dumps it: one line of JSON.
std::string flvMetadataJson(const std::filesystem::path& path) {
    return outputOf("flvmeta --dump --json '" + path.string() + "'");
}

}  // namespace

double flvMetadataNumber(const std::filesystem::path& path, const std::string& key) {
    const std::string json = flvMetadataJson(path);
    const std::string name = "\"" + key + "\":";
    const size_t at = json.find(name);
    return at == std::string::npos ? std::nan("") : std::strtod(&json[at + name.size()], nullptr);
}

std::vector<double> flvKeyFrameTimes(const std::filesystem::path& path) {
    const std::string json = flvMetadataJson(path);
    const std::string name = "\"times\":[";
    const size_t at = json.find(name);
    std::vector<double> times;
    for (const char* next = at == std::string::npos ? "]" : &json[at + name.size()];
         *next != ']' && *next != '\0';) {
        char* end = nullptr;
        times.push_back(std::strtod(next, &end));
        next = end == next ? "]" : end + (*end == ',' ? 1 : 0);
    }
    return times;
}

std::string flvmetaCheck(const std::filesystem::path& path) {
    return outputOf("flvmeta --check '" + path.string() + "' 2>&1");
}

std::string seekToMiddle(const std::filesystem::path& path) {
    constexpr AVRational kLibraryTimeBase{1, AV_TIME_BASE};
    InputContextPtr input = openInput(path);
    if (!input) {
        return "cannot open";
    }
    const int video = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0) {
        return "no video";
    }
    const AVStream* stream = input->streams[video];
    const int64_t middle = av_rescale_q(input->duration / 2, kLibraryTimeBase, stream->time_base);
    if (av_seek_frame(input.get(), video, middle, AVSEEK_FLAG_BACKWARD) < 0) {
        return "seek failed";
    }
    PacketPtr packet(av_packet_alloc());
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == video) {
            const bool key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            return std::string(key ? "key frame" : "inter frame") + " at " +
                   std::to_string(av_rescale_q(packet->pts, stream->time_base, {1, 1000})) + " ms";
        }
        av_packet_unref(packet.get());
    }
    return "nothing after the seek";
}

double estimateFrequency(const std::vector<float>& samples, int sampleRate) {
    std::vector<size_t> rises;  // where the signal crosses zero upwards
    for (size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            rises.push_back(i);
        }
    }
    if (rises.size() < 2) {
        return 0;
    }
    return static_cast<double>(rises.size() - 1) * sampleRate /
           static_cast<double>(rises.back() - rises.front());
}

}  // namespace morvane::test
