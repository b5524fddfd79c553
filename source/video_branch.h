#pragma once

#include <deque>
#include <memory>
#include <string>

#include "platform/byte_buffer.h"
#include "platform/ffmpeg_ptr.h"
#include "source/decoding_branch.h"
#include "source/frame_pool.h"
#include "source/hdr_tone_mapper.h"
#include "source/picture_filters.h"

namespace morvane {

// The video branch: every decoded picture becomes a frame of the branch's output size, whatever
// size the picture itself has (a picture of pixels that are not square is so brought to its
// display size). A picture that can be read as YUV is handed over as 8-bit YUV 4:2:0 (itself
// when it is that already, else resampled in YUV), with the frame that holds it; its 24-bit RGB
// bytes in the grabber's layout (rows bottom-up, blue-green-red, each row padded to 4 bytes) are
// made only if the handler asks for them. Any other picture comes as those RGB bytes alone.
// Pictures first go through the branch's tone mapper and filters (deinterlacing, turning
// upright).
class VideoBranch final : public DecodingBranch {
public:
    VideoBranch(SampleGrabber& grabber, int64_t fileStartTime, std::shared_ptr<BufferPool> pool);

    // The frame size and rate of what the branch delivers.
    void setOutput(int width, int height, double frameRate);
    // Passes every picture through `chain` (libavfilter's, one picture out for each in, on
    // `threads` slice threads) before anything else is made of it; empty: none.
    void setFilters(const std::string& chain, int threads);
    // Brings every picture to SDR first; null: none.
    void setToneMapper(std::unique_ptr<HdrToneMapper> toneMapper);

private:
    bool deliverFrame(AVFrame& frame, RunGate& gate) override;
    bool deliverEnd(RunGate& gate) override;
    // Delivers what the filters give, each with the start of the picture it came from.
    bool deliverFiltered(RunGate& gate);
    bool deliverPicture(const AVFrame& frame, int64_t start, RunGate& gate);
    // The picture as 8-bit YUV 4:2:0 of the output size, in its own colours: itself, or
    // resampled; null where it cannot be read as YUV.
    const AVFrame* asYuv420(const AVFrame& frame);
    bool configureScaler(const AVFrame& frame);
    // The frame of a picture of the output size.
    void paint(const DecodedPicture& picture, ByteBuffer& into) const;
    uint8_t* bottomRowOf(const ByteBuffer& buffer, size_t stride) const;
    void clearPadding(const ByteBuffer& buffer, size_t stride) const;

    std::shared_ptr<BufferPool> pool_;
    int width_ = 0;
    int height_ = 0;
    int64_t frameDuration_ = 0;  // 100 ns units
    int64_t nextStart_ = 0;      // for frames without a time
    SwsContextPtr scaler_;
    SwsContextPtr resampler_;
    FramePool resampledPool_;
    FramePtr resampledFrame_;
    std::unique_ptr<HdrToneMapper> toneMapper_;  // null for SDR sources
    std::unique_ptr<PictureFilters> filters_;    // null when pictures go as they are decoded
    std::deque<int64_t> filteredStarts_;         // of the pictures the filters still hold
};

}  // namespace morvane
