#include "source/video_branch.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "pixels/bitmap_layout.h"
#include "source/frame_picture.h"

namespace morvane {

VideoBranch::VideoBranch(SampleGrabber& grabber, int64_t fileStartTime,
                         std::shared_ptr<BufferPool> pool)
    : DecodingBranch(grabber, fileStartTime), pool_(std::move(pool)) {}

void VideoBranch::setOutput(int width, int height, double frameRate) {
    width_ = width;
    height_ = height;
    frameDuration_ = static_cast<int64_t>(std::llround(10000000.0 / frameRate));
}

void VideoBranch::setFilters(const std::string& chain, int threads) {
    filters_ = chain.empty() ? nullptr : std::make_unique<PictureFilters>(chain, threads);
    filteredStarts_.clear();
}

void VideoBranch::setToneMapper(std::unique_ptr<HdrToneMapper> toneMapper) {
    toneMapper_ = std::move(toneMapper);
}

bool VideoBranch::configureScaler(const AVFrame& frame) {
    const auto format = static_cast<AVPixelFormat>(frame.format);
    scaler_.reset(sws_getCachedContext(scaler_.release(), frame.width, frame.height, format, width_,
                                       height_, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr,
                                       nullptr));
    if (!scaler_) {
        return false;
    }
    // The picture's own colour matrix and range, into full-range RGB.
    const int fullRange = frame.color_range == AVCOL_RANGE_JPEG ? 1 : 0;
    sws_setColorspaceDetails(scaler_.get(), swsCoefficientsOf(frame), fullRange,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    return true;
}

bool VideoBranch::deliverFrame(AVFrame& decoded, RunGate& gate) {
    int64_t start = nextStart_;
    if (decoded.best_effort_timestamp != AV_NOPTS_VALUE) {
        start = toSampleTime(decoded.best_effort_timestamp);
    }
    // A frame lasts one frame period: packet durations are not reliable once frames are
    // reordered.
    nextStart_ = start + frameDuration_;
    if (decoded.width <= 0 || decoded.height <= 0) {
        return true;  // a picture that cannot be converted is skipped
    }
    const AVFrame* picture = toneMapper_ ? toneMapper_->map(decoded) : &decoded;
    if (picture == nullptr) {
        return true;
    }
    if (!filters_) {
        return deliverPicture(*picture, start, gate);
    }
    if (filters_->push(*picture)) {  // one that cannot be filtered is skipped too
        if (filters_->restarted()) {
            filteredStarts_.clear();
        }
        filteredStarts_.push_back(start);
    }
    return deliverFiltered(gate);
}

bool VideoBranch::deliverEnd(RunGate& gate) {
    if (!filters_) {
        return true;
    }
    filters_->end();
    return deliverFiltered(gate);
}

bool VideoBranch::deliverFiltered(RunGate& gate) {
    while (const AVFrame* filtered = filters_->next()) {
        if (filteredStarts_.empty()) {
            continue;
        }
        const int64_t start = filteredStarts_.front();
        filteredStarts_.pop_front();
        if (!deliverPicture(*filtered, start, gate)) {
            return false;
        }
    }
    return true;
}

const AVFrame* VideoBranch::asYuv420(const AVFrame& frame) {
    if (isYuv420(frame) && frame.width == width_ && frame.height == height_) {
        return &frame;
    }
    if (!isReadableAsYuv(frame)) {
        return nullptr;
    }
    // The values stay in the picture's own range and matrix, which its tags keep telling.
    const bool fullRange =
        frame.format == AV_PIX_FMT_YUVJ420P || frame.format == AV_PIX_FMT_YUVJ422P ||
        frame.format == AV_PIX_FMT_YUVJ444P || frame.format == AV_PIX_FMT_YUVJ440P ||
        frame.format == AV_PIX_FMT_YUVJ411P;
    const AVPixelFormat format = fullRange ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
    resampler_.reset(sws_getCachedContext(resampler_.release(), frame.width, frame.height,
                                          static_cast<AVPixelFormat>(frame.format), width_, height_,
                                          format, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!resampler_) {
        return nullptr;
    }
    resampledFrame_ = resampledPool_.take(format, width_, height_);
    if (!resampledFrame_ || av_frame_copy_props(resampledFrame_.get(), &frame) < 0 ||
        sws_scale(resampler_.get(), frame.data, frame.linesize, 0, frame.height,
                  resampledFrame_->data, resampledFrame_->linesize) != height_) {
        return nullptr;
    }
    return resampledFrame_.get();
}

bool VideoBranch::deliverPicture(const AVFrame& frame, int64_t start, RunGate& gate) {
    const size_t stride = bitmapStride(width_);
    const size_t size = stride * static_cast<size_t>(height_);
    const int64_t stop = start + frameDuration_;
    if (const AVFrame* const yuv = asYuv420(frame)) {
        DecodedPicture picture = decodedPictureOf(*yuv);
        picture.inEncoderColours = isInEncoderColours(*yuv);
        ByteBuffer buffer;
        // Two pointers: small enough for the function object to hold without an allocation.
        GrabbedSample sample(buffer, size, start, stop, picture, yuv,
                             [this, &picture](ByteBuffer& into) { paint(picture, into); });
        return handOver(sample, gate);
    }
    if (!configureScaler(frame)) {
        return true;
    }
    ByteBuffer buffer = pool_->take(size);
    uint8_t* const planes[4] = {bottomRowOf(buffer, stride), nullptr, nullptr, nullptr};
    const int strides[4] = {-static_cast<int>(stride), 0, 0, 0};
    if (sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, planes, strides) !=
        height_) {
        return true;
    }
    clearPadding(buffer, stride);
    GrabbedSample sample(buffer, size, start, stop);
    return handOver(sample, gate);
}

void VideoBranch::paint(const DecodedPicture& picture, ByteBuffer& into) const {
    const size_t stride = bitmapStride(width_);
    into = pool_->take(stride * static_cast<size_t>(height_));
    convertYuv420ToBgr(picture, bottomRowOf(into, stride), -static_cast<ptrdiff_t>(stride));
    clearPadding(into, stride);
}

// Bottom-up: the picture's top row goes to the buffer's last row.
uint8_t* VideoBranch::bottomRowOf(const ByteBuffer& buffer, size_t stride) const {
    return buffer.get() + stride * static_cast<size_t>(height_ - 1);
}

void VideoBranch::clearPadding(const ByteBuffer& buffer, size_t stride) const {
    const size_t padding = stride - 3 * static_cast<size_t>(width_);
    if (padding > 0) {
        for (int row = 0; row < height_; ++row) {
            std::memset(buffer.get() + stride * static_cast<size_t>(row) + 3 * width_, 0, padding);
        }
    }
}

}  // namespace morvane
