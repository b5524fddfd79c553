#include "encoder/watermark_image.h"

#include <algorithm>
#include <utility>

#include "encoder/yuv_conversion.h"
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

namespace {

uint8_t blend(unsigned over, unsigned under, unsigned alpha) {
    return static_cast<uint8_t>((over * alpha + under * (255 - alpha) + 127) / 255);
}

}  // namespace

void WatermarkImage::blendOnto(const YuvPlanes& picture, int width, int height, int left,
                               int top) const {
    const int firstRow = std::max(0, top);
    const int lastRow = std::min(height, top + height_);
    const int firstColumn = std::max(0, left);
    const int lastColumn = std::min(width, left + width_);
    auto pixel = [&](int column, int row) {
        return bgra_.data() + (static_cast<size_t>(row - top) * width_ + (column - left)) * 4;
    };
    for (int row = firstRow; row < lastRow; ++row) {
        uint8_t* luma = picture.y + row * picture.yStride;
        for (int column = firstColumn; column < lastColumn; ++column) {
            const uint8_t* source = pixel(column, row);
            const unsigned y =
                limitedLuma((299 * source[2] + 587 * source[1] + 114 * source[0]) / 1000);
            luma[column] = blend(y, luma[column], source[3]);
        }
        if (row % 2 != 0) {
            continue;
        }
        uint8_t* u = picture.u + row / 2 * picture.uStride;
        uint8_t* v = picture.v + row / 2 * picture.vStride;
        for (int pair = firstColumn / 2; pair * 2 < lastColumn; ++pair) {
            int sums[4] = {0, 0, 0, 0};  // blue, green, red, alpha
            int inside = 0;
            for (int column = 2 * pair; column < 2 * pair + 2; ++column) {
                if (column >= firstColumn && column < lastColumn) {
                    const uint8_t* source = pixel(column, row);
                    for (int i = 0; i < 4; ++i) {
                        sums[i] += source[i];
                    }
                    ++inside;
                }
            }
            const int b = sums[0] / inside;
            const int g = sums[1] / inside;
            const int r = sums[2] / inside;
            const auto alpha = static_cast<unsigned>(sums[3] / 2);
            const unsigned wmU = limitedChroma((5000 * (b + 256) - 3313 * g - 1687 * r) / 10000);
            const unsigned wmV = limitedChroma((5000 * (r + 256) - 4187 * g - 813 * b) / 10000);
            u[pair] = blend(wmU, u[pair], alpha);
            v[pair] = blend(wmV, v[pair], alpha);
        }
    }
}

void WatermarkImage::blendOnto(const BgrView& image, int left, int top) const {
    const int firstColumn = std::max(0, -left);
    const int firstRow = std::max(0, -top);
    const int lastColumn = std::min(width_, image.width - left);
    const int lastRow = std::min(height_, image.height - top);
    for (int row = firstRow; row < lastRow; ++row) {
        const uint8_t* source =
            bgra_.data() + (static_cast<size_t>(row) * width_ + firstColumn) * 4;
        uint8_t* target = image.topRow + (top + row) * image.stride + (left + firstColumn) * 3;
        for (int column = firstColumn; column < lastColumn; ++column, source += 4, target += 3) {
            const unsigned alpha = source[3];
            for (int channel = 0; channel < 3; ++channel) {
                target[channel] = blend(source[channel], target[channel], alpha);
            }
        }
    }
}

}  // namespace morvane
