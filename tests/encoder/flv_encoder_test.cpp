#include "encoder/flv_encoder.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/unique_fd.h"
#include "tests/support/media.h"
#include "tests/support/recording_log_window.h"
#include "tests/support/temp_dir.h"

namespace morvane {
namespace {

using test::readMedia;
using test::TempDir;

struct ClipShape {
    int width = 320;
    int height = 240;
    int frameRate = 25;
    double seconds = 2.0;
};

struct Profile {
    int videoKbps = 400;
    int audioKbps = 96;
    int sampleRate = 44100;
    int bitsPerSample = 16;
    int channels = 2;
};

class FlvEncoderTest : public ::testing::Test {
protected:
    std::filesystem::path outputPath() const { return dir_ / "out.flv"; }

    std::unique_ptr<FlvEncoder> makeEncoder(const Profile& profile, const ClipShape& shape) {
        auto encoder = std::make_unique<FlvEncoder>(shape.width, shape.height, profile.videoKbps,
                                                    profile.audioKbps, profile.sampleRate,
                                                    profile.bitsPerSample, profile.channels, log_);
        encoder->setFrameRate(shape.frameRate);
        encoder->setWatermarkPath(dir_ / "no-watermark.png");
        return encoder;
    }

    bool openOutput(FlvEncoder& encoder) {
        output_.reset(::open(outputPath().c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        return encoder.open(output_.get(), outputPath().string());
    }

    void encodeVideo(FlvEncoder& encoder, const ClipShape& shape, int index, int64_t ms) {
        const std::vector<uint8_t> frame = test::makeTestFrame(shape.width, shape.height, index);
        std::lock_guard lock(encoder);
        ByteBuffer picture = encoder.prepareFrame(
            makeFrameBitmap(frame.data(), frame.size(), shape.width, shape.height));
        if (encoder.encodeVideo(std::move(picture), ms) && encoder.lastOutputBytes() > 0) {
            encoder.writeOutput();
        }
    }

    void encodeAudio(FlvEncoder& encoder, const std::vector<uint8_t>& pcm, int64_t ms) {
        std::lock_guard lock(encoder);
        if (encoder.encodeAudio(pcm.data(), ms) && encoder.lastOutputBytes() > 0) {
            encoder.writeOutput();
        }
    }

    // Encodes a clip as the encoder thread would: frames and audio frames in time order.
    void writeClip(FlvEncoder& encoder, const Profile& profile, const ClipShape& shape,
                   double toneHz = 440.0) {
        ASSERT_TRUE(openOutput(encoder));
        const int frames = static_cast<int>(shape.seconds * shape.frameRate);
        const int frameBytes = encoder.audioFrameBytes();
        const int bytesPerSample = profile.bitsPerSample / 8;
        const int samplesPerFrame =
            profile.channels > 0 ? frameBytes / (profile.channels * bytesPerSample) : 0;
        int64_t nextSample = 0;
        for (int index = 0; index < frames; ++index) {
            const int64_t videoTime = int64_t{10000000} * index / shape.frameRate;  // 100 ns
            while (encoder.hasAudioStream() &&
                   nextSample * 10000000 / profile.sampleRate <= videoTime) {
                const auto pcm = test::makeTone(nextSample, samplesPerFrame, profile.channels,
                                                profile.bitsPerSample, profile.sampleRate, toneHz);
                encodeAudio(encoder, pcm, nextSample * 1000 / profile.sampleRate);
                nextSample += samplesPerFrame;
            }
            encodeVideo(encoder, shape, index, videoTime / 10000);
        }
        finish(encoder);
    }

    static void finish(FlvEncoder& encoder) {
        std::lock_guard lock(encoder);
        encoder.close();
    }

    TempDir dir_;
    ConversionLog log_;
    UniqueFd output_;
};

TEST_F(FlvEncoderTest, WritesAPlayableFileWithBothStreamsInTime) {
    const Profile profile;
    const ClipShape shape;
    auto encoder = makeEncoder(profile, shape);
    writeClip(*encoder, profile, shape);

    const std::string bytes = test::readFile(outputPath());
    ASSERT_GT(bytes.size(), 13U);
    EXPECT_EQ(bytes.substr(0, 3), "FLV");
    const test::ReadMedia media = readMedia(outputPath());
    ASSERT_TRUE(media.opened);
    EXPECT_EQ(media.formatName, "flv");
    EXPECT_EQ(media.videoCodec, AV_CODEC_ID_FLV1);
    EXPECT_EQ(media.audioCodec, AV_CODEC_ID_MP3);
    EXPECT_EQ(media.width, 320);
    EXPECT_EQ(media.height, 240);
    EXPECT_EQ(media.decodeErrors, 0);
    EXPECT_EQ(media.decodedVideoFrames, 50);
    // Every sample given comes out, the codec's delay aside.
    EXPECT_NEAR(static_cast<double>(media.decodedAudioSamples), 2.0 * 44100, 3 * 1152);

    // The metadata tells the real duration and size, with a key frame index to seek by.
    EXPECT_NEAR(test::flvMetadataNumber(bytes, "duration"), 2.0, 0.05);
    EXPECT_EQ(test::flvMetadataNumber(bytes, "filesize"), static_cast<double>(bytes.size()));
    EXPECT_EQ(media.keyframeIndexEntries, 2);
    EXPECT_EQ(test::seekToMiddle(outputPath()), "key frame at 1000 ms");

    // Each stream's times rise from zero, and the streams keep together.
    int64_t lastAudio = -1;
    int64_t lastVideo = -1;
    int videoPackets = 0;
    for (const test::ReadPacket& packet : media.packets) {
        int64_t& last = packet.isVideo ? lastVideo : lastAudio;
        EXPECT_GT(packet.pts, last);
        EXPECT_TRUE(packet.key || (packet.isVideo && videoPackets > 0));
        if (packet.isVideo && videoPackets++ == 0) {
            EXPECT_EQ(packet.pts, 0);
        }
        last = packet.pts;
    }
    EXPECT_EQ(videoPackets, 50);
    // Audio packets carry the time of the sound they hold, the codec's delay taken off: the
    // last one starts within a video frame of where the tone ends.
    EXPECT_NEAR(static_cast<double>(lastAudio), 2000.0 - 26.0, 40.0);
    EXPECT_NEAR(static_cast<double>(lastVideo), 1960.0, 1.0);
}

// The frames' colours and halves reach the file as they were, in a size of whole macroblocks
// and in one that is not (the codec pads the latter).
TEST_F(FlvEncoderTest, PicturesReachTheFileInTheirColours) {
    // Left half B 40, G 160, R 220, that is Y 157, U 66, V 162 in the limited range that
    // FLV1 decoders read; right half grey 128, that is Y 126.
    const std::array<int, 3> left{157, 66, 162};
    const std::array<int, 3> right{126, 128, 128};
    for (const ClipShape shape : {ClipShape{320, 240, 25, 0.4}, ClipShape{328, 250, 25, 0.4}}) {
        SCOPED_TRACE(std::to_string(shape.width) + "x" + std::to_string(shape.height));
        auto encoder = makeEncoder(Profile{}, shape);
        ASSERT_TRUE(openOutput(*encoder));
        std::vector<uint8_t> frame = test::makeSolidFrame(shape.width, shape.height, 40, 160, 220);
        const std::vector<uint8_t> grey =
            test::makeSolidFrame(shape.width, shape.height, 128, 128, 128);
        const size_t stride = frame.size() / static_cast<size_t>(shape.height);
        for (size_t row = 0; row < static_cast<size_t>(shape.height); ++row) {
            const size_t half = row * stride + 3 * static_cast<size_t>(shape.width / 2);
            std::copy(grey.begin() + static_cast<std::ptrdiff_t>(half),
                      grey.begin() + static_cast<std::ptrdiff_t>(row * stride + stride),
                      frame.begin() + static_cast<std::ptrdiff_t>(half));
        }
        for (int index = 0; index < 10; ++index) {
            std::lock_guard lock(*encoder);
            ByteBuffer picture = encoder->prepareFrame(
                makeFrameBitmap(frame.data(), frame.size(), shape.width, shape.height));
            ASSERT_TRUE(encoder->encodeVideo(std::move(picture), index * 40));
            encoder->writeOutput();
        }
        finish(*encoder);
        const test::ReadMedia media = readMedia(outputPath());
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
    const ClipShape shape;
    // The times of the file's audio and video packets, and the time of the last audio packet
    // before the second video packet.
    std::vector<int64_t> audio;
    std::vector<int64_t> video;
    int64_t audioBeforeSecondFrame = -1;
    const auto readTimes = [&] {
        audio.clear();
        video.clear();
        for (const test::ReadPacket& packet : readMedia(outputPath()).packets) {
            if (packet.isVideo && video.size() == 1 && !audio.empty()) {
                audioBeforeSecondFrame = audio.back();
            }
            (packet.isVideo ? video : audio).push_back(packet.pts);
        }
    };
    auto encoder = makeEncoder(Profile{}, shape);
    ASSERT_TRUE(openOutput(*encoder));
    encodeAudio(*encoder, test::makeTone(0, 1152, 2, 16, 44100, 440), 0);
    // Long enough that a time taken from the clock since the first audio frame would show.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    encodeVideo(*encoder, shape, 0, -1);
    encodeVideo(*encoder, shape, 1, 39);
    finish(*encoder);
    readTimes();
    ASSERT_EQ(video.size(), 2U);
    EXPECT_EQ(video[1] - video[0], 40) << "the frame at -1 ms was stamped " << video[0];

    encoder = makeEncoder(Profile{}, shape);
    ASSERT_TRUE(openOutput(*encoder));
    // No audio packet yet: a video frame keeps its own time, even 0.
    encodeVideo(*encoder, shape, 0, 0);
    // Audio frames that all claim the same time still get rising packet times.
    for (int i = 0; i < 6; ++i) {
        encodeAudio(*encoder, test::makeTone(i * 1152, 1152, 2, 16, 44100, 440), 400);
    }
    // A video frame earlier than the last audio packet is put just after it.
    encodeVideo(*encoder, shape, 1, 100);
    finish(*encoder);
    audioBeforeSecondFrame = -1;
    readTimes();
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

// Each kind of profile gives a file that plays with the sound in its format and pitch.
TEST_F(FlvEncoderTest, EncodesTheFormatOfEachProfile) {
    struct Case {
        const char* name;
        Profile profile;
        int encoderRate;  // what the source's frame rate gives
        int audioFrameBytes;
    };
    for (const Case& c : {Case{"modem", {40, 16, 22050, 16, 1}, 25, 576 * 2},
                          Case{"low, below a frame a second", {150, 32, 44100, 16, 1}, 0, 1152 * 2},
                          Case{"high", {700, 128, 44100, 32, 2}, 25, 1152 * 2 * 4},
                          Case{"audio disabled", {400, 96, 22050, 16, 0}, 25, 0}}) {
        SCOPED_TRACE(c.name);
        const ClipShape shape{160, 120, 25, 2.0};
        auto encoder = makeEncoder(c.profile, shape);
        encoder->setFrameRate(c.encoderRate);
        EXPECT_EQ(encoder->audioFrameBytes(), 0);
        writeClip(*encoder, c.profile, shape, 440.0);
        EXPECT_EQ(encoder->audioFrameBytes(), c.audioFrameBytes);

        const test::ReadMedia media = readMedia(outputPath());
        EXPECT_EQ(media.decodeErrors, 0);
        EXPECT_EQ(media.decodedVideoFrames, 50);
        // The header tells of both streams, whatever the file holds.
        EXPECT_EQ(test::readFile(outputPath())[4], 5);
        EXPECT_EQ(media.channels, c.profile.channels);
        if (c.profile.channels == 0) {
            EXPECT_EQ(media.audioCodec, 0);
            continue;
        }
        EXPECT_EQ(media.sampleRate, c.profile.sampleRate);
        ASSERT_GT(media.audio.size(), static_cast<size_t>(c.profile.sampleRate));
        const std::vector<float> middle(media.audio.begin() + 4000, media.audio.end() - 4000);
        EXPECT_NEAR(test::estimateFrequency(middle, c.profile.sampleRate), 440.0, 2.0);
    }
}

TEST_F(FlvEncoderTest, LargePacketsReachTheFileWhole) {
    // Noise at a high rate makes key frames far larger than the muxer's 128 KiB buffer.
    const Profile rich{2048, 96, 44100, 16, 2};
    const ClipShape shape{1024, 768, 1, 3.0};
    auto encoder = makeEncoder(rich, shape);
    ASSERT_TRUE(openOutput(*encoder));
    std::vector<uint8_t> noise(bitmapStride(1024) * 768);
    uint32_t seed = 1;
    for (uint8_t& byte : noise) {
        seed = seed * 1664525 + 1013904223;
        byte = static_cast<uint8_t>(seed >> 24);
    }
    int largest = 0;
    for (int index = 0; index < 3; ++index) {
        std::lock_guard lock(*encoder);
        ASSERT_TRUE(encoder->encodeVideo(
            encoder->prepareFrame(makeFrameBitmap(noise.data(), noise.size(), 1024, 768)),
            index * 1000));
        largest = std::max(largest, encoder->lastOutputBytes());
        encoder->writeOutput();
    }
    encoder->close();
    EXPECT_GT(largest, FlvOutput::kBufferSize);
    const test::ReadMedia media = readMedia(outputPath());
    EXPECT_EQ(media.decodeErrors, 0);
    EXPECT_EQ(media.decodedVideoFrames, 3);
}

TEST_F(FlvEncoderTest, ReportsAFullDiskAndLogsCodecFailures) {
    const ClipShape shape;
    auto encoder = makeEncoder(Profile{}, shape);
    output_.reset(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(output_.valid());
    ASSERT_TRUE(encoder->open(output_.get(), "/dev/full"));
    encodeVideo(*encoder, shape, 0, 0);
    EXPECT_TRUE(encoder->outputFailed());
    encoder->close();

    test::RecordingLogWindow window;
    log_.setWindow(&window);
    auto badRate = makeEncoder(Profile{400, 96, 12345, 16, 2}, shape);
    EXPECT_FALSE(openOutput(*badRate));
    EXPECT_EQ(window.text(), "could not open audio codec\n");
    badRate->close();
    window.clear();
    auto badSize = makeEncoder(Profile{}, ClipShape{0, 240, 25, 1.0});
    EXPECT_FALSE(openOutput(*badSize));
    EXPECT_EQ(window.text(), "could not open video codec\n");
    log_.setWindow(nullptr);
}

}  // namespace
}  // namespace morvane
