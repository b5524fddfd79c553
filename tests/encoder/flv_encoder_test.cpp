#include "encoder/flv_encoder.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/unique_fd.h"
#include "tests/support/media.h"
#include "tests/support/recording_log_window.h"
#include "tests/support/temp_dir.h"

namespace morvane {
namespace {

using test::readMedia;

// Whole clips of every profile go through the encoder in the engine's conversion tests; these
// steer what a clip cannot: the pictures, the times and sizes of packets, and failures.
class FlvEncoderTest : public ::testing::Test {
protected:
    // Makes an encoder with the medium profile's sound (96 kbps of 16-bit stereo) and opens it
    // on the output file; whether it opened.
    bool open(int width, int height, int frameRate = 25, int videoKbps = 400,
              int sampleRate = 44100, int threads = 1, ParallelVideoEncoder::Faults faults = {}) {
        width_ = width;
        height_ = height;
        encoder_ =
            std::make_unique<FlvEncoder>(width, height, videoKbps, 96, sampleRate, 16, 2, log_);
        encoder_->setFrameRate({frameRate, 1});
        encoder_->setThreads(threads);
        encoder_->setVideoWorkerFaults(faults);
        encoder_->setWatermarkSearch({});
        output_.reset(::open(outputPath_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        return encoder_->open(output_.get(), outputPath_.string());
    }

    // Encodes a frame of the encoder's size at `ms` and writes it; the bytes it added.
    int encodeFrame(const std::vector<uint8_t>& frame, int64_t ms) {
        std::lock_guard lock(*encoder_);
        FramePtr picture =
            encoder_->prepareFrame(makeFrameBitmap(frame.data(), frame.size(), width_, height_));
        EXPECT_TRUE(encoder_->encodeVideo(std::move(picture), ms))
            << "the frame at " << ms << " ms";
        const int bytes = encoder_->lastOutputBytes();
        encoder_->writeOutput();
        return bytes;
    }
    int encodeFrame(int index, int64_t ms) {
        return encodeFrame(test::makeTestFrame(width_, height_, index), ms);
    }

    // A frame of 1152 samples of a stereo 16-bit tone, from sample `first`.
    void encodeAudio(int64_t first, int64_t ms) {
        const auto pcm = test::makeTone(first, 1152, 2, 16, 44100, 440);
        std::lock_guard lock(*encoder_);
        if (encoder_->encodeAudio(pcm.data(), ms) && encoder_->lastOutputBytes() > 0) {
            encoder_->writeOutput();
        }
    }

    // Finishes the file and reads it back.
    test::ReadMedia finish() {
        {
            std::lock_guard lock(*encoder_);
            encoder_->close();
        }
        return readMedia(outputPath_);
    }

    test::TempDir dir_;
    std::filesystem::path outputPath_ = dir_ / "out.flv";
    ConversionLog log_;
    UniqueFd output_;
    std::unique_ptr<FlvEncoder> encoder_;
    int width_ = 0;
    int height_ = 0;
};

TEST_F(FlvEncoderTest, PicturesReachTheFileInTheirColours) {
    // Left half B 40, G 160, R 220, that is Y 157, U 66, V 162 in the limited range that
    // FLV1 decoders read; right half grey 128, that is Y 126.
    const std::array<int, 3> left{157, 66, 162};
    const std::array<int, 3> right{126, 128, 128};
    // A size of whole macroblocks; and one that is not (the codec pads it), from a source of
    // less than a frame a second (encoded at one).
    for (const auto& [width, height, frameRate] :
         {std::tuple{320, 240, 25}, std::tuple{328, 250, 0}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        ASSERT_TRUE(open(width, height, frameRate));
        std::vector<uint8_t> frame = test::makeSolidFrame(width, height, 40, 160, 220);
        const size_t stride = frame.size() / static_cast<size_t>(height);
        for (size_t row = 0; row < static_cast<size_t>(height); ++row) {
            const size_t half = 3 * static_cast<size_t>(width / 2);
            std::memset(frame.data() + row * stride + half, 128,
                        3 * static_cast<size_t>(width) - half);
        }
        for (int index = 0; index < 10; ++index) {
            encodeFrame(frame, index * 40);
        }
        const test::ReadMedia media = finish();
        EXPECT_EQ(media.decodeErrors, 0);
        ASSERT_EQ(media.leftYuv.size(), 10U);
        for (size_t index = 0; index < 10; ++index) {
            for (size_t plane = 0; plane < 3; ++plane) {
                EXPECT_NEAR(media.leftYuv[index][plane], left[plane], 3) << "plane " << plane;
                EXPECT_NEAR(media.rightYuv[index][plane], right[plane], 3) << "plane " << plane;
            }
        }
    }
}

// Packets carry the times of their frames, moved on only as far as keeps each stream rising,
// and the file holds them in time order across both streams.
TEST_F(FlvEncoderTest, StampsPacketsWithTheTimesOfTheirFrames) {
    std::vector<int64_t> audio;
    std::vector<int64_t> video;
    const auto finishAndReadTimes = [&] {
        audio.clear();
        video.clear();
        int64_t last = 0;
        for (const test::ReadPacket& packet : finish().packets) {
            EXPECT_GE(packet.dts, last) << "a tag before an earlier one";
            last = packet.dts;
            (packet.isVideo ? video : audio).push_back(packet.pts);
        }
    };
    ASSERT_TRUE(open(320, 240));
    encodeAudio(0, 0);
    // Long enough that a time taken from the clock since the first audio frame would show.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    encodeFrame(0, -1);
    encodeFrame(1, 39);
    finishAndReadTimes();
    ASSERT_EQ(video.size(), 2U);
    EXPECT_EQ(video[1] - video[0], 40) << "the frame at -1 ms was stamped " << video[0];

    ASSERT_TRUE(open(320, 240));
    encodeFrame(0, 0);
    // Audio frames that all claim the same time still get rising packet times.
    for (int i = 0; i < 6; ++i) {
        encodeAudio(i * 1152, 400);
    }
    // A video frame handed over after later sound keeps its own time, and goes before it.
    encodeFrame(1, 100);
    finishAndReadTimes();
    ASSERT_EQ(video.size(), 2U);
    ASSERT_GE(audio.size(), 6U);
    EXPECT_EQ(video, (std::vector<int64_t>{0, 100}));
    // The first packet starts where the sound of 400 ms lies once the codec's delay of 1105
    // samples is taken off: 374.9 ms. The sound of the later frames claims the same time
    // again; each packet is put one millisecond after the one before.
    EXPECT_EQ(audio[0], 374);
    for (size_t i = 2; i < audio.size(); ++i) {
        EXPECT_EQ(audio[i], audio[i - 1] + 1);
    }
}

// Key frame groups encoded side by side, on a clip that is not a whole number of groups: the
// same bytes whatever the number of workers.
TEST_F(FlvEncoderTest, WorkersWriteTheSameBytesWhateverTheirNumber) {
    constexpr int kFrames = 130;  // 5 groups and 5 frames
    std::string first;
    for (const int workers : {1, 2, 7}) {
        SCOPED_TRACE(std::to_string(workers) + " workers");
        ASSERT_TRUE(open(320, 240, 25, 150, 44100, workers));
        EXPECT_EQ(encoder_->videoWorkers(), std::min(workers, 2));
        for (int frame = 0; frame < kFrames; ++frame) {
            // Sound first, as the engine sorts it: 1152 samples every 26.1 ms.
            for (int64_t sample = frame * 1764 - frame * 1764 % 1152; sample < (frame + 1) * 1764;
                 sample += 1152) {
                if (sample >= frame * 1764) {
                    encodeAudio(sample, sample * 1000 / 44100);
                }
            }
            // A noisy moving picture, so that the rate control has work to do.
            std::vector<uint8_t> bgr = test::makeTestFrame(320, 240, frame);
            for (size_t i = 0; i < bgr.size(); i += 7) {
                bgr[i] = static_cast<uint8_t>(bgr[i] ^ ((i * 31 + frame * 17) & 15));
            }
            encodeFrame(bgr, frame * 40);
        }
        const test::ReadMedia media = finish();
        const std::string bytes = test::outputOf("md5sum < '" + outputPath_.string() + "'");
        if (workers > 1) {
            EXPECT_EQ(bytes, first);
            continue;
        }
        first = bytes;
        // Every frame in its place; the key frames and the rate, the conversion tests check.
        EXPECT_EQ(media.decodeErrors, 0);
        EXPECT_EQ(media.decodedVideoFrames, kFrames);
    }
}

// A worker whose codec refuses to open leaves the file to one encoder; one whose codec fails
// mid-file makes the file incomplete, which its conversion then fails on.
TEST_F(FlvEncoderTest, AWorkersFailureNeverGoesUnnoticed) {
    ASSERT_TRUE(open(320, 240, 25, 400, 44100, 3, {1, -1}));
    EXPECT_EQ(encoder_->videoWorkers(), 1);
    for (int frame = 0; frame < 60; ++frame) {
        encodeFrame(frame, frame * 40);
    }
    EXPECT_EQ(finish().decodedVideoFrames, 60);
    EXPECT_FALSE(encoder_->outputFailed());

    ASSERT_TRUE(open(320, 240, 25, 400, 44100, 3, {-1, 40}));
    EXPECT_EQ(encoder_->videoWorkers(), 2);
    for (int frame = 0; frame < 60; ++frame) {
        encodeFrame(frame, frame * 40);
    }
    finish();
    EXPECT_TRUE(encoder_->outputFailed());
}

TEST_F(FlvEncoderTest, LargePacketsReachTheFileWhole) {
    // Noise at a high rate makes key frames far larger than the muxer's 128 KiB buffer.
    ASSERT_TRUE(open(1024, 768, 1, 2048));
    std::vector<uint8_t> noise(bitmapStride(1024) * 768);
    uint32_t seed = 1;
    for (uint8_t& byte : noise) {
        seed = seed * 1664525 + 1013904223;
        byte = static_cast<uint8_t>(seed >> 24);
    }
    for (int index = 0; index < 3; ++index) {
        encodeFrame(noise, index * 1000);
    }
    const test::ReadMedia media = finish();
    int largest = 0;
    for (const test::ReadPacket& packet : media.packets) {
        largest = std::max(largest, packet.size);
    }
    EXPECT_GT(largest, FlvOutput::kBufferSize);
    EXPECT_EQ(media.decodeErrors, 0);
    EXPECT_EQ(media.decodedVideoFrames, 3);
}

TEST_F(FlvEncoderTest, ReportsAFullDiskAndLogsCodecFailures) {
    outputPath_ = "/dev/full";
    ASSERT_TRUE(open(320, 240));
    encodeFrame(0, 0);
    EXPECT_TRUE(encoder_->outputFailed());

    test::RecordingLogWindow window;
    log_.setWindow(&window);
    EXPECT_FALSE(open(320, 240, 25, 400, 12345));
    EXPECT_EQ(window.text(), "could not open audio codec\n");
    window.clear();
    EXPECT_FALSE(open(0, 240));
    EXPECT_EQ(window.text(), "could not open video codec\n");
    log_.setWindow(nullptr);
}

}  // namespace
}  // namespace morvane
