#include "encoder/video_encoder.h"

#include <thread>

#include "platform/sanitizer_sync.h"

namespace morvane {

CodecOpenResult VideoEncoder::open(const AVCodec* codec, const VideoEncoderSettings& settings,
                                   std::chrono::milliseconds retryFor) {
    close();
    if (codec == nullptr) {
        return CodecOpenResult::NoEncoder;
    }
    constexpr auto kRetryPause = std::chrono::milliseconds(50);
    const auto giveUpAt = std::chrono::steady_clock::now() + retryFor;
    for (;;) {
        CodecContextPtr context(avcodec_alloc_context3(codec));
        if (!context) {
            return CodecOpenResult::Refused;
        }
        context->codec_type = AVMEDIA_TYPE_VIDEO;
        context->bit_rate = settings.bitRate;
        if (settings.bitRateTolerance > 0) {
            context->bit_rate_tolerance = settings.bitRateTolerance;
        }
        context->width = settings.width;
        context->height = settings.height;
        context->time_base = av_inv_q(settings.frameRate);
        context->framerate = settings.frameRate;
        context->gop_size = settings.keyFrameInterval;
        context->pix_fmt = AV_PIX_FMT_YUV420P;
        AVDictionary* options = nullptr;
        if (settings.tuning) {
            settings.tuning(*context, options);
        }
        const int opened = avcodec_open2(context.get(), codec, &options);
        av_dict_free(&options);
        if (opened >= 0) {
            context_ = std::move(context);
            break;
        }
        if (std::chrono::steady_clock::now() + kRetryPause > giveUpAt) {
            return CodecOpenResult::Refused;
        }
        std::this_thread::sleep_for(kRetryPause);
    }

    packet_.reset(av_packet_alloc());
    if (!packet_) {
        close();
        return CodecOpenResult::Refused;
    }
    return CodecOpenResult::Opened;
}

size_t VideoEncoder::pictureBytes(int width, int height) {
    return static_cast<size_t>(width) * static_cast<size_t>(height) * 3 / 2;
}

YuvPlanes VideoEncoder::planesOf(uint8_t* picture, int width, int height) {
    const size_t luma = static_cast<size_t>(width) * static_cast<size_t>(height);
    return {picture, width, picture + luma, width / 2, picture + luma + luma / 4, width / 2};
}

namespace {

// The codec holds a picture as long as it needs; then its buffer goes back where it came from.
// The last reference may go on another thread than the one that encoded the picture.
void releasePicture(void* holder, uint8_t* data) {
    awaitDone(data);
    std::unique_ptr<ByteBuffer>(static_cast<ByteBuffer*>(holder));
}

}  // namespace

void VideoEncoder::close() {
    context_.reset();
    picture_.reset();
    packet_.reset();
    nextFrameIndex_ = 0;
}

FramePtr VideoEncoder::frameOf(ByteBuffer picture, int width, int height) {
    const size_t size = pictureBytes(width, height);
    uint8_t* bytes = picture.get();
    auto holder = std::make_unique<ByteBuffer>(std::move(picture));
    FramePtr frame(av_frame_alloc());
    if (!frame) {
        return nullptr;
    }
    frame->buf[0] = av_buffer_create(bytes, size, &releasePicture, holder.get(), 0);
    if (frame->buf[0] == nullptr) {
        return nullptr;
    }
    holder.release();  // the frame's buffer owns it now
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    const YuvPlanes planes = planesOf(bytes, width, height);
    frame->data[0] = planes.y;
    frame->data[1] = planes.u;
    frame->data[2] = planes.v;
    frame->linesize[0] = planes.yStride;
    frame->linesize[1] = planes.uStride;
    frame->linesize[2] = planes.vStride;
    return frame;
}

FramePtr VideoEncoder::pictureOver(const AVFrame& frame) {
    FramePtr picture(av_frame_alloc());
    if (!picture || frame.nb_extended_buf > 0 || frame.buf[0] == nullptr) {
        return nullptr;
    }
    for (int i = 0; i < AV_NUM_DATA_POINTERS && frame.buf[i] != nullptr; ++i) {
        picture->buf[i] = av_buffer_ref(frame.buf[i]);
        if (picture->buf[i] == nullptr) {
            return nullptr;
        }
    }
    for (int plane = 0; plane < 3; ++plane) {
        picture->data[plane] = frame.data[plane];
        picture->linesize[plane] = frame.linesize[plane];
    }
    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = frame.width;
    picture->height = frame.height;
    return picture;
}

bool VideoEncoder::encode(FramePtr picture, const PacketHandler& handler) {
    if (!context_) {
        return false;
    }
    if (picture) {
        picture_ = std::move(picture);
    }
    if (!picture_) {
        return false;
    }
    picture_->pts = nextFrameIndex_++;
    return sendFrame(context_.get(), picture_.get(), packet_.get(), handler);
}

bool VideoEncoder::encodeFrame(const AVFrame& frame, bool key, const PacketHandler& handler) {
    if (!context_) {
        return false;
    }
    FramePtr own(av_frame_alloc());
    if (!own || av_frame_ref(own.get(), &frame) < 0) {
        return false;
    }
    own->pts = nextFrameIndex_++;
    own->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    return sendFrame(context_.get(), own.get(), packet_.get(), handler);
}

void VideoEncoder::drain(const PacketHandler& handler) {
    if (context_) {
        sendFrame(context_.get(), nullptr, packet_.get(), handler);
    }
}

}  // namespace morvane
