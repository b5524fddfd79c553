#include "encoder/watermark_image.h"

#include <algorithm>
#include <utility>

#include "pixels/alpha_blend.h"
#include "platform/ffmpeg_log.h"
#include "platform/ffmpeg_ptr.h"

extern "C" {
#include <libavutil/imgutils.h>
}

namespace morvane {
namespace {

// The first picture of the file, decoded.
FramePtr decodeFirstPicture(const std::filesystem::path& path) {
    AVFormatContext* rawInput = nullptr;
    const std::string url = "file:" + path.string();
    if (avformat_open_input(&rawInput, url.c_str(), nullptr, nullptr) < 0) {
        return nullptr;
    }
    InputContextPtr input(rawInput);
    if (avformat_find_stream_info(input.get(), nullptr) < 0) {
        return nullptr;
    }
    const AVCodec* decoder = nullptr;
    const int streamIndex =
        av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (streamIndex < 0 || decoder == nullptr) {
        return nullptr;
    }
    CodecContextPtr context(avcodec_alloc_context3(decoder));
    if (!context ||
        avcodec_parameters_to_context(context.get(), input->streams[streamIndex]->codecpar) < 0 ||
        avcodec_open2(context.get(), decoder, nullptr) < 0) {
        return nullptr;
    }
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame) {
        return nullptr;
    }
    bool flushing = false;
    for (;;) {
        const int received = avcodec_receive_frame(context.get(), frame.get());
        if (received >= 0) {
            return frame;
        }
        if (received != AVERROR(EAGAIN) || flushing) {
            return nullptr;
        }
        const int read = av_read_frame(input.get(), packet.get());
        if (read < 0) {
            flushing = true;
            avcodec_send_packet(context.get(), nullptr);
            continue;
        }
        if (packet->stream_index == streamIndex) {
            avcodec_send_packet(context.get(), packet.get());
        }
        av_packet_unref(packet.get());
    }
}

}  // namespace

std::optional<WatermarkImage> WatermarkImage::load(const std::filesystem::path& path) {
    routeFfmpegLogToDebugOutput();
    FramePtr picture = decodeFirstPicture(path);
    if (!picture || picture->width <= 0 || picture->height <= 0 || picture->width > kMaxSide ||
        picture->height > kMaxSide) {
        return std::nullopt;
    }
    const int width = picture->width;
    const int height = picture->height;
    SwsContextPtr converter(
        sws_getContext(width, height, static_cast<AVPixelFormat>(picture->format), width, height,
                       AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr));
    if (!converter) {
        return std::nullopt;
    }
    std::vector<uint8_t> bgra(4 * static_cast<size_t>(width) * static_cast<size_t>(height));
    uint8_t* const planes[4] = {bgra.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {4 * width, 0, 0, 0};
    if (sws_scale(converter.get(), picture->data, picture->linesize, 0, height, planes, strides) !=
        height) {
        return std::nullopt;
    }
    return WatermarkImage(width, height, std::move(bgra));
}

WatermarkImage::WatermarkImage(int width, int height, std::vector<uint8_t> bgra)
    : width_(width), height_(height), bgra_(std::move(bgra)) {}

void WatermarkImage::blendOnto(const BgrView& image, int left, int top) const {
    blendOver(view(), image, left, top);
}

void WatermarkImage::blendOnto(const YuvPlanes& picture, int width, int height, int left,
                               int top) const {
    blendOver(view(), picture, width, height, left, top);
}

BgraView WatermarkImage::view() const {
    return {bgra_.data(), 4 * static_cast<ptrdiff_t>(width_), width_, height_};
}

}  // namespace morvane
