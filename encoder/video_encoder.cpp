#include "encoder/video_encoder.h"

#include <thread>

extern "C" {
#include <libavutil/imgutils.h>
}

namespace morvane {

VideoEncoder::OpenResult VideoEncoder::open(AVCodecID codecId, const VideoEncoderSettings& settings,
                                            std::chrono::milliseconds retryFor) {
    close();
    const AVCodec* codec = avcodec_find_encoder(codecId);
    if (codec == nullptr) {
        return OpenResult::NoEncoder;
    }
    constexpr auto kRetryPause = std::chrono::milliseconds(50);
    const auto giveUpAt = std::chrono::steady_clock::now() + retryFor;
    for (;;) {
        CodecContextPtr context(avcodec_alloc_context3(codec));
        if (!context) {
            return OpenResult::Refused;
        }
        context->codec_type = AVMEDIA_TYPE_VIDEO;
        context->bit_rate = settings.bitRate;
        context->bit_rate_tolerance = settings.bitRateTolerance;
        context->width = settings.width;
        context->height = settings.height;
        context->time_base = {1, settings.frameRate};
        context->framerate = {settings.frameRate, 1};
        context->gop_size = settings.frameRate;
        context->pix_fmt = AV_PIX_FMT_YUV420P;
        if (avcodec_open2(context.get(), codec, nullptr) >= 0) {
            context_ = std::move(context);
            break;
        }
        if (std::chrono::steady_clock::now() + kRetryPause > giveUpAt) {
            return OpenResult::Refused;
        }
        std::this_thread::sleep_for(kRetryPause);
    }

    picture_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!picture_ || !packet_) {
        close();
        return OpenResult::Refused;
    }
    const int pictureBytes =
        av_image_get_buffer_size(AV_PIX_FMT_YUV420P, settings.width, settings.height, 32);
    if (pictureBytes > 0) {
        picturePool_.reset(av_buffer_pool_init(static_cast<size_t>(pictureBytes), nullptr));
    }
    if (!picturePool_ || !takeFreshPicture()) {
        close();
        return OpenResult::Refused;
    }
    return OpenResult::Opened;
}

bool VideoEncoder::takeFreshPicture() {
    av_frame_unref(picture_.get());
    picture_->buf[0] = av_buffer_pool_get(picturePool_.get());
    if (picture_->buf[0] == nullptr) {
        return false;
    }
    picture_->format = AV_PIX_FMT_YUV420P;
    picture_->width = context_->width;
    picture_->height = context_->height;
    return av_image_fill_arrays(picture_->data, picture_->linesize, picture_->buf[0]->data,
                                AV_PIX_FMT_YUV420P, context_->width, context_->height, 32) >= 0;
}

void VideoEncoder::close() {
    context_.reset();
    picture_.reset();
    picturePool_.reset();
    packet_.reset();
    nextFrameIndex_ = 0;
}

std::optional<YuvPlanes> VideoEncoder::writablePicture() {
    if (!picture_) {
        return std::nullopt;
    }
    // The codec may still hold the previous picture.
    if (!av_frame_is_writable(picture_.get()) && !takeFreshPicture()) {
        return std::nullopt;
    }
    return YuvPlanes{picture_->data[0],     picture_->linesize[0], picture_->data[1],
                     picture_->linesize[1], picture_->data[2],     picture_->linesize[2]};
}

bool VideoEncoder::encode(const PacketHandler& handler) {
    if (!context_ || picture_->data[0] == nullptr) {
        return false;
    }
    picture_->pts = nextFrameIndex_++;
    if (avcodec_send_frame(context_.get(), picture_.get()) < 0) {
        return false;
    }
    return receivePackets(context_.get(), packet_.get(), handler);
}

void VideoEncoder::drain(const PacketHandler& handler) {
    if (context_ && avcodec_send_frame(context_.get(), nullptr) >= 0) {
        receivePackets(context_.get(), packet_.get(), handler);
    }
}

}  // namespace morvane
