#pragma once

#include <memory>
#include <string>

#include "platform/byte_buffer.h"
#include "platform/ffmpeg_ptr.h"
#include "source/decoding_branch.h"
#include "source/display_rotation.h"

namespace morvane {

// The video branch: every decoded picture becomes a 24-bit RGB frame in the grabber's layout
// (rows bottom-up, blue-green-red, each row padded to 4 bytes) of the branch's output size,
// whatever size the picture itself has. A YUV 4:2:0 picture of that size is handed over as
// itself too, its RGB bytes made only if the handler asks for them. Pictures stored turned are
// turned upright first, so a YUV 4:2:0 one still goes as itself.
class VideoBranch final : public DecodingBranch {
public:
    VideoBranch(SampleGrabber& grabber, int64_t fileStartTime, std::shared_ptr<BufferPool> pool);

    // The frame size and rate of what the branch delivers.
    void setOutput(int width, int height, double frameRate);
    // Turns every picture with `filters` (an Orientation's) before anything else is made of it.
    void turnUpright(const std::string& filters);

private:
    bool deliverFrame(AVFrame& frame, RunGate& gate) override;
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
    std::unique_ptr<PictureRotator> rotator_;  // null when pictures are stored upright
};

}  // namespace morvane
