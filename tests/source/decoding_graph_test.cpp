#include "source/decoding_graph.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "pixels/bitmap_layout.h"
#include "tests/source/graph_harness.h"
#include "tests/support/media.h"
#include "tests/support/media_writer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace morvane {
namespace {

using namespace std::chrono_literals;
using test::callFromAnotherThread;
using test::ClipSpec;
using test::GraphHarness;
using test::TempDir;
using test::waitUntil;
using test::writeClip;

constexpr int64_t kSecond = 10000000;

struct Fixture {
    const char* name;
    const char* file;
    ClipSpec spec;
};

ClipSpec clip(const char* container, const char* video, const char* audio) {
    ClipSpec spec;
    spec.container = container;
    spec.videoCodec = video;
    spec.audioCodec = audio;
    return spec;
}

std::vector<float> toneOf(const std::vector<uint8_t>& pcm, int channels, int bits) {
    std::vector<float> mono;
    const size_t frameBytes = static_cast<size_t>(channels) * bits / 8;
    for (size_t at = 0; at + frameBytes <= pcm.size(); at += frameBytes) {
        if (bits == 32) {
            int32_t value = 0;
            std::memcpy(&value, pcm.data() + at, 4);
            mono.push_back(static_cast<float>(value) / 2147483648.0F);
        } else {
            int16_t value = 0;
            std::memcpy(&value, pcm.data() + at, 2);
            mono.push_back(static_cast<float>(value) / 32768.0F);
        }
    }
    return mono;
}

class Formats : public ::testing::TestWithParam<Fixture> {};

TEST_P(Formats, DecodeIntoRgbFramesAndAskedPcm) {
    TempDir dir;
    const Fixture& fixture = GetParam();
    const ClipSpec& spec = fixture.spec;
    writeClip(dir / fixture.file, spec);
    GraphHarness harness;
    ASSERT_TRUE(harness.build(dir / fixture.file)) << harness.logText();
    const double rate = static_cast<double>(spec.frameRateNum) / spec.frameRateDen;
    EXPECT_EQ(harness.graph().frameWidth(), 320);
    EXPECT_EQ(harness.graph().frameHeight(), 240);
    EXPECT_NEAR(harness.graph().frameRate(), rate, 0.01);
    EXPECT_TRUE(harness.graph().audioEnabled());
    EXPECT_NEAR(static_cast<double>(harness.graph().duration()), spec.seconds * kSecond,
                0.1 * kSecond);
    ASSERT_TRUE(harness.runToEnd());
    EXPECT_EQ(harness.logText(), "");

    const auto video = harness.video();
    ASSERT_EQ(video.size(), static_cast<size_t>(std::lround(spec.seconds * rate)));
    EXPECT_LT(std::abs(video.front().start), kSecond / 20);
    for (size_t i = 0; i < video.size(); ++i) {
        EXPECT_EQ(video[i].size, bitmapStride(320) * 240);
        EXPECT_NEAR(static_cast<double>(video[i].stop - video[i].start), kSecond / rate, 1.0);
        if (i > 0) {
            EXPECT_GT(video[i].start, video[i - 1].start);
        }
    }
    const auto audio = harness.audio();
    ASSERT_FALSE(audio.empty());
    EXPECT_LT(std::abs(audio.front().start), kSecond / 10);
    for (size_t i = 1; i < audio.size(); ++i) {
        EXPECT_GE(audio[i].start, audio[i - 1].start);
        EXPECT_EQ(audio[i].size % 4, 0U);
    }
    // All of the sound, as 44.1 kHz stereo 16-bit: codec padding aside, the source's length.
    const auto tone = toneOf(harness.pcm(), 2, 16);
    EXPECT_NEAR(static_cast<double>(tone.size()), spec.seconds * 44100, 3000);
    const std::vector<float> middle(tone.begin() + 8000, tone.end() - 8000);
    EXPECT_NEAR(test::estimateFrequency(middle, 44100), 440.0, 3.0);
    EXPECT_GE(harness.graph().currentPosition(), harness.graph().duration());
}

// The size and rate come from the video stream also when the audio stream comes first.
ClipSpec audioFirst() {
    ClipSpec spec = clip("matroska", "mpeg4", "aac");
    spec.audioFirst = true;
    spec.frameRateNum = 30000;
    spec.frameRateDen = 1001;
    spec.seconds = 1.0;
    return spec;
}

INSTANTIATE_TEST_SUITE_P(
    Containers, Formats,
    ::testing::Values(Fixture{"Mp4H264Aac", "clip.mp4", clip("mp4", "libx264", "aac")},
                      Fixture{"AviMpeg4Mp3", "clip.avi", clip("avi", "mpeg4", "libmp3lame")},
                      Fixture{"WebmVp8Vorbis", "clip.webm", clip("webm", "libvpx", "libvorbis")},
                      Fixture{"MkvAudioFirstAt2997", "clip.mkv", audioFirst()}),
    [](const ::testing::TestParamInfo<Fixture>& param) { return param.param.name; });

TEST(DecodingGraph, DeliversBottomUpRowsWithTheirPadding) {
    TempDir dir;
    ClipSpec spec = clip("nut", "rawvideo", "");
    spec.width = 321;
    spec.height = 241;
    spec.seconds = 0.2;
    // Top half red, bottom half blue, lossless.
    spec.paint = [](int, uint8_t* bgr, int stride) {
        for (int row = 0; row < 241; ++row) {
            for (int column = 0; column < 321; ++column) {
                uint8_t* pixel = bgr + row * stride + 3 * column;
                pixel[0] = row < 120 ? 0 : 255;
                pixel[1] = 0;
                pixel[2] = row < 120 ? 255 : 0;
            }
        }
    };
    writeClip(dir / "raw.nut", spec);
    GraphHarness harness;
    ASSERT_TRUE(harness.build(dir / "raw.nut"));
    EXPECT_EQ(harness.graph().frameWidth(), 321);
    EXPECT_EQ(harness.graph().frameHeight(), 241);
    EXPECT_FALSE(harness.graph().audioEnabled());
    ASSERT_TRUE(harness.runToEnd());

    const auto frame = harness.firstFrame();
    const size_t stride = bitmapStride(321);
    ASSERT_EQ(stride, 964U);
    ASSERT_EQ(frame.size(), stride * 241);
    // The first row in memory is the picture's bottom row: blue.
    EXPECT_EQ(frame[0], 255);
    EXPECT_EQ(frame[1], 0);
    EXPECT_EQ(frame[2], 0);
    // The last row in memory is the top row: red.
    const uint8_t* top = frame.data() + stride * 240;
    EXPECT_EQ(top[0], 0);
    EXPECT_EQ(top[2], 255);
    EXPECT_EQ(top[3 * 320 + 2], 255);
    EXPECT_EQ(frame[963], 0);  // padding
    EXPECT_EQ(frame[962], 0);
    EXPECT_EQ(frame[961], 0);
}

TEST(DecodingGraph, ConvertsAnyAudioLayoutToTheAskedPcm) {
    struct Case {
        const char* codec;
        int sampleRate;
        int channels;
        int streams;
        double toneHz;
        PcmFormat asked;
    };
    for (const Case& c : {Case{"aac", 48000, 6, 2, 440, {44100, 2, 32}},
                          Case{"pcm_s16le", 8000, 1, 1, 300, {22050, 1, 16}}}) {
        SCOPED_TRACE(c.codec);
        TempDir dir;
        ClipSpec spec = clip("matroska", "mpeg4", c.codec);
        spec.sampleRate = c.sampleRate;
        spec.channels = c.channels;
        spec.audioStreams = c.streams;
        spec.toneHz = c.toneHz;
        writeClip(dir / "sound.mkv", spec);
        GraphHarness harness;
        ASSERT_TRUE(harness.build(dir / "sound.mkv", c.asked));
        ASSERT_TRUE(harness.runToEnd());
        const auto tone = toneOf(harness.pcm(), c.asked.channels, c.asked.bitsPerSample);
        const int rate = c.asked.sampleRate;
        EXPECT_NEAR(static_cast<double>(tone.size()) / rate, 2.0, 0.07);
        const std::vector<float> middle(tone.begin() + rate / 5, tone.end() - rate / 5);
        EXPECT_NEAR(test::estimateFrequency(middle, rate), c.toneHz, 3.0);
    }
}

TEST(DecodingGraph, GoesOnWithoutAudioThatCannotBeHad) {
    TempDir dir;
    writeClip(dir / "silent.mkv", clip("matroska", "mpeg4", ""));
    writeClip(dir / "clip.mkv", clip("matroska", "mpeg4", "aac"));

    for (const auto& [file, audio] :
         {std::pair{"silent.mkv", PcmFormat{44100, 2, 16}},
          std::pair{"clip.mkv", PcmFormat{22050, 0, 16}},     // audio disabled
          std::pair{"clip.mkv", PcmFormat{44100, 6, 16}}}) {  // a layout no profile has
        GraphHarness harness;
        ASSERT_TRUE(harness.build(dir / file, audio)) << file;
        EXPECT_FALSE(harness.graph().audioEnabled());
        EXPECT_EQ(harness.logText(), DecodingGraph::kAudioRefused);
        ASSERT_TRUE(harness.runToEnd());
        EXPECT_EQ(harness.video().size(), 50U);
        EXPECT_EQ(harness.audioCount(), 0U);
    }
}

TEST(DecodingGraph, PassesFrameTimesThroughFromTheStartOfTheFile) {
    // Uneven spacing, then a jump of five seconds; and times from below zero.
    static constexpr double kUneven[10] = {0, 0.03, 0.09, 0.1, 0.16, 5.0, 5.04, 5.1, 5.11, 5.2};
    struct Case {
        const char* name;
        double (*time)(int index);
        bool belowZero;
    };
    for (const Case& c :
         {Case{"uneven", [](int index) { return kUneven[index]; }, false},
          Case{"below zero", [](int index) { return -0.2 + index * 0.04; }, true}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        ClipSpec spec = clip("matroska", "mpeg4", "");
        spec.seconds = 0.4;
        spec.frameTime = c.time;
        spec.keepNegativeTimes = c.belowZero;
        writeClip(dir / "times.mkv", spec);
        GraphHarness harness;
        ASSERT_TRUE(harness.build(dir / "times.mkv"));
        ASSERT_TRUE(harness.runToEnd());
        const auto video = harness.video();
        ASSERT_EQ(video.size(), 10U);
        for (int i = 0; i < 10; ++i) {
            EXPECT_NEAR(static_cast<double>(video[i].start) / kSecond, c.time(i) - c.time(0),
                        0.0001)
                << i;
        }
    }
}

TEST(DecodingGraph, HandlerAnswersDropOrEndTheBranch) {
    TempDir dir;
    writeClip(dir / "clip.mkv", clip("matroska", "mpeg4", "aac"));

    GraphHarness dropping;
    dropping.videoAnswer = [](size_t) { return kFalse; };
    ASSERT_TRUE(dropping.build(dir / "clip.mkv"));
    ASSERT_TRUE(dropping.runToEnd());
    EXPECT_EQ(dropping.videoCount(), 50U);

    GraphHarness ending;
    ending.videoAnswer = [](size_t index) { return index == 9 ? -1 : kOk; };
    ASSERT_TRUE(ending.build(dir / "clip.mkv"));
    ASSERT_TRUE(ending.runToEnd());
    EXPECT_EQ(ending.videoCount(), 10U);
    EXPECT_NEAR(static_cast<double>(ending.pcm().size()) / 4, 2.0 * 44100, 3000);
}

// However slowly the video handler takes its frames, audio keeps in step with them instead of
// racing ahead, so that the samples of both reach the handlers about in time order.
TEST(DecodingGraph, KeepsAudioInStepWithSlowVideo) {
    const TempDir dir;
    test::writeClip(dir / "clip.mkv", ClipSpec{});
    test::GraphHarness harness;
    harness.videoAnswer = [](size_t) {
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
        return kOk;
    };
    ASSERT_TRUE(harness.build(dir / "clip.mkv"));
    ASSERT_TRUE(harness.runToEnd());
    EXPECT_NEAR(static_cast<double>(harness.audio().back().stop), 2.0 * kSecond, 0.1 * kSecond);
    EXPECT_LE(harness.largestAudioLead(), kSecond * 3 / 10);
}

TEST(DecodingGraph, PausesRunsAndStopsFromAnotherThread) {
    TempDir dir;
    ClipSpec spec = clip("matroska", "mpeg4", "aac");
    spec.seconds = 20.0;
    spec.width = 160;
    spec.height = 120;
    writeClip(dir / "long.mkv", spec);
    GraphHarness harness;
    // Slow handlers, so that the graph is mid-file when it is paused and stopped.
    harness.videoAnswer = [](size_t) {
        std::this_thread::sleep_for(2ms);
        return kOk;
    };
    ASSERT_TRUE(harness.build(dir / "long.mkv"));
    harness.graph().run();
    ASSERT_TRUE(waitUntil([&] { return harness.videoCount() >= 20; }))
        << "20 frames did not arrive within 60 s";

    callFromAnotherThread([&] { harness.graph().pause(); }, "pause()");
    // Each branch may still hand on the one sample it had taken past the gate, and no more,
    // however long the pause; a graph that ran on would show it within this time.
    const size_t pausedVideo = harness.videoCount() + 1;
    const size_t pausedAudio = harness.audioCount() + 1;
    std::this_thread::sleep_for(300ms);
    EXPECT_LE(harness.videoCount(), pausedVideo);
    EXPECT_LE(harness.audioCount(), pausedAudio);

    harness.graph().run();
    ASSERT_TRUE(waitUntil([&] { return harness.videoCount() >= pausedVideo + 20; }))
        << "the graph did not go on within 60 s of the pause";
    callFromAnotherThread([&] { harness.graph().stop(); }, "stop()");
    const size_t stoppedAt = harness.videoCount();
    EXPECT_TRUE(harness.graph().waitForCompletion(0ms));
    EXPECT_FALSE(harness.graph().completed());
    EXPECT_LT(harness.graph().currentPosition(), harness.graph().duration());

    // Nothing was lost or reordered across the pause, and nothing came after the stop.
    const auto video = harness.video();
    for (size_t i = 1; i < video.size(); ++i) {
        EXPECT_EQ(video[i].start - video[i - 1].start, kSecond / 25) << i;
    }
    EXPECT_EQ(harness.videoCount(), stoppedAt);
}

}  // namespace
}  // namespace morvane
