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
        ByteBuffer picture =
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

// Packets carry the times of their frames, moved on only as far as keeps them in order.
TEST_F(FlvEncoderTest, StampsPacketsWithTheTimesOfTheirFrames) {
    // The times of the file's audio and video packets, and the time of the last audio packet
    // before the second video packet.
    std::vector<int64_t> audio;
    std::vector<int64_t> video;
    int64_t audioBeforeSecondFrame = -1;
    const auto finishAndReadTimes = [&] {
        audio.clear();
        video.clear();
        for (const test::ReadPacket& packet : finish().packets) {
            if (packet.isVideo && video.size() == 1 && !audio.empty()) {
                audioBeforeSecondFrame = audio.back();
            }
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
    // No audio packet yet: a video frame keeps its own time, even 0.
    encodeFrame(0, 0);
    // Audio frames that all claim the same time still get rising packet times.
    for (int i = 0; i < 6; ++i) {
        encodeAudio(i * 1152, 400);
    }
    // A video frame earlier than the last audio packet is put just after it.
    encodeFrame(1, 100);
    audioBeforeSecondFrame = -1;
    finishAndReadTimes();
    ASSERT_EQ(video.size(), 2U);
    ASSERT_GE(audio.size(), 6U);
    EXPECT_EQ(video[0], 0);
    // The first packet starts where the sound of 400 ms lies once the codec's delay of 1105
    // samples is taken off: 374.9 ms. The sound of the later frames claims the same time
    // again; each packet is put one millisecond after the one before.
    EXPECT_EQ(audio[0], 374);
    for (size_t i = 2; i < audio.size(); ++i) {
        EXPECT_EQ(audio[i], audio[i - 1] + 1);
    }
    ASSERT_GT(audioBeforeSecondFrame, 100);
    EXPECT_EQ(video[1], audioBeforeSecondFrame + 1);
}

// Key frame groups encoded side by side, on a clip that is not a whole number of groups: the
// file holds the packets one encoder writes, in its order and with its times and key frames,
// and the pictures and the rate differ only as much as the rate control of each worker makes
// them.
TEST_F(FlvEncoderTest, WorkersWriteWhatOneEncoderWrites) {
    constexpr int kFrames = 512;  // 20 groups and 12 frames
    std::vector<std::vector<uint8_t>> sources;
    test::ReadMedia single;
    int64_t singleBytes = 0;
    std::vector<double> singlePsnr;
    for (const int workers : {1, 2, 3, 7}) {
        SCOPED_TRACE(std::to_string(workers) + " workers");
        ASSERT_TRUE(open(320, 240, 25, 150, 44100, workers));
        EXPECT_EQ(encoder_->videoWorkers(), workers);
        for (int frame = 0; frame < kFrames; ++frame) {
            // Sound first, as the engine sorts it: 1152 samples every 26.1 ms.
            for (int64_t sample = frame * 1764 - frame * 1764 % 1152; sample < (frame + 1) * 1764;
                 sample += 1152) {
                if (sample >= frame * 1764) {
                    encodeAudio(sample, sample * 1000 / 44100);
                }
            }
            std::lock_guard lock(*encoder_);
            // A noisy moving picture, so that the rate control has work to do.
            std::vector<uint8_t> bgr = test::makeTestFrame(320, 240, frame);
            for (size_t i = 0; i < bgr.size(); i += 7) {
                bgr[i] = static_cast<uint8_t>(bgr[i] ^ ((i * 31 + frame * 17) & 15));
            }
            ByteBuffer picture =
                encoder_->prepareFrame(makeFrameBitmap(bgr.data(), bgr.size(), 320, 240));
            if (workers == 1) {
                sources.emplace_back(picture.get(), picture.get() + 320 * 240);
            }
            ASSERT_TRUE(encoder_->encodeVideo(std::move(picture), frame * 40));
            encoder_->writeOutput();
        }
        const test::ReadMedia media = [&] {
            std::lock_guard lock(*encoder_);
            encoder_->close();
            return readMedia(outputPath_, true);
        }();
        ASSERT_EQ(media.luma.size(), static_cast<size_t>(kFrames));
        int64_t bytes = 0;
        std::vector<double> psnr;
        for (const test::ReadPacket& packet : media.packets) {
            bytes += packet.isVideo ? packet.size : 0;
        }
        for (size_t frame = 0; frame < media.luma.size(); ++frame) {
            psnr.push_back(test::lumaPsnr(sources[frame], media.luma[frame]));
        }
        if (workers == 1) {
            single = media;
            singleBytes = bytes;
            singlePsnr = psnr;
            continue;
        }
        ASSERT_EQ(media.packets.size(), single.packets.size());
        for (size_t i = 0; i < media.packets.size(); ++i) {
            const test::ReadPacket& one = single.packets[i];
            const test::ReadPacket& many = media.packets[i];
            ASSERT_EQ(std::tie(many.isVideo, many.pts, many.key),
                      std::tie(one.isVideo, one.pts, one.key))
                << "packet " << i;
        }
        for (size_t frame = 0; frame < psnr.size(); ++frame) {
            EXPECT_NEAR(psnr[frame], singlePsnr[frame], 1.0) << "frame " << frame;
        }
        EXPECT_NEAR(static_cast<double>(bytes), static_cast<double>(singleBytes),
                    0.03 * static_cast<double>(singleBytes));
    }
}

// A worker whose codec refuses to open leaves the file to one encoder; one whose codec fails
// mid-file makes the file incomplete, which its conversion then fails on.
TEST_F(FlvEncoderTest, AWorkersFailureNeverGoesUnnoticed) {
    ASSERT_TRUE(open(320, 240, 25, 400, 44100, 3, {2, -1}));
    EXPECT_EQ(encoder_->videoWorkers(), 1);
    for (int frame = 0; frame < 60; ++frame) {
        encodeFrame(frame, frame * 40);
    }
    EXPECT_EQ(finish().decodedVideoFrames, 60);
    EXPECT_FALSE(encoder_->outputFailed());

    ASSERT_TRUE(open(320, 240, 25, 400, 44100, 3, {-1, 40}));
    EXPECT_EQ(encoder_->videoWorkers(), 3);
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
    int largest = 0;
    for (int index = 0; index < 3; ++index) {
        largest = std::max(largest, encodeFrame(noise, index * 1000));
    }
    EXPECT_GT(largest, FlvOutput::kBufferSize);
    const test::ReadMedia media = finish();
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
