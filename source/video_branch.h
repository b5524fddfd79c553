#pragma once

#include <deque>
#include <memory>
#include <string>

#include "platform/byte_buffer.h"
#include "platform/ffmpeg_ptr.h"
#include "source/decoding_branch.h"
#include "source/hdr_tone_mapper.h"
#include "source/picture_filters.h"

namespace morvane {

// The video branch: every decoded picture becomes a 24-bit RGB frame in the grabber's layout
// (rows bottom-up, blue-green-red, each row padded to 4 bytes) of the branch's output size,
// whatever size the picture itself has (a picture of pixels that are not square is so brought
// to its display size). A YUV 4:2:0 picture of that size is handed over as itself too, its RGB
// bytes made only if the handler asks for them. Pictures first go through the branch's tone
// mapper and filters (deinterlacing, turning upright), so a YUV 4:2:0 one still goes as itself.
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
    // The branch changes the source's pictures (tone mapping, deinterlacing, square pixels):
    // those already in the encoder's matrix and range (limited BT.601) then go to it as they
    // are. A plain source's keep the way through RGB that its outputs have always had.
    void setReshaping(bool reshaping) { reshaping_ = reshaping; }

private:
    bool deliverFrame(AVFrame& frame, RunGate& gate) override;
    bool deliverEnd(RunGate& gate) override;
    // Delivers what the filters give, each with the start of the picture it came from.
    bool deliverFiltered(RunGate& gate);
    bool deliverPicture(const AVFrame& original, int64_t start, RunGate& gate);
    // The picture brought to the output size in its own format, where the direct conversion
    // then takes it; null where it is not such a picture.
    const AVFrame* resampled(const AVFrame& frame);
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
    FramePtr resampledFrame_;  // reused while nobody else holds it
    bool reshaping_ = false;
    std::unique_ptr<HdrToneMapper> toneMapper_;  // null for SDR sources
    std::unique_ptr<PictureFilters> filters_;    // null when pictures go as they are decoded
    std::deque<int64_t> filteredStarts_;         // of the pictures the filters still hold
};

}  // namespace morvane
