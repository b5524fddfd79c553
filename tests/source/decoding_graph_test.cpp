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
using test::ClipRecipe;
using test::GraphHarness;
using test::TempDir;
using test::waitUntil;
using test::writeClip;

constexpr int64_t kSecond = 10000000;

struct Fixture {
    const char* name;
    const char* file;
    ClipRecipe recipe;
    PcmFormat asked = {44100, 2, 16};
};

ClipRecipe clip(const char* container, const char* video, const char* audio) {
    ClipRecipe recipe;
    recipe.container = container;
    recipe.videoCodec = video;
    recipe.audioCodec = audio;
    return recipe;
}

// The first channel of 16- or 32-bit PCM, as floats.
std::vector<float> toneOf(const std::vector<uint8_t>& pcm, int channels, int bits) {
    std::vector<float> mono;
    const size_t bytes = static_cast<size_t>(bits / 8);
    for (size_t at = 0; at + channels * bytes <= pcm.size(); at += channels * bytes) {
        int32_t value = 0;  // the sample in its top bytes (little-endian)
        std::memcpy(reinterpret_cast<uint8_t*>(&value) + 4 - bytes, pcm.data() + at, bytes);
        mono.push_back(static_cast<float>(value) / 2147483648.0F);
    }
    return mono;
}

class Formats : public ::testing::TestWithParam<Fixture> {};

TEST_P(Formats, DecodeIntoRgbFramesAndAskedPcm) {
    TempDir dir;
    const Fixture& fixture = GetParam();
    const ClipRecipe& recipe = fixture.recipe;
    const PcmFormat& asked = fixture.asked;
    writeClip(dir / fixture.file, recipe);
    GraphHarness harness;
    ASSERT_TRUE(harness.build(dir / fixture.file, asked)) << harness.logText();
    const double rate = static_cast<double>(recipe.frameRateNum) / recipe.frameRateDen;
    EXPECT_EQ(harness.graph().frameWidth(), 320);
    EXPECT_EQ(harness.graph().frameHeight(), 240);
    EXPECT_NEAR(av_q2d(harness.graph().frameRate()), rate, 0.01);
    EXPECT_TRUE(harness.graph().audioEnabled());
    EXPECT_NEAR(static_cast<double>(harness.graph().duration()), recipe.seconds * kSecond,
                0.1 * kSecond);
    ASSERT_TRUE(harness.runToEnd());
    EXPECT_EQ(harness.logText(), "");

    const auto video = harness.video();
    ASSERT_EQ(video.size(), static_cast<size_t>(std::lround(recipe.seconds * rate)));
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
        EXPECT_EQ(audio[i].size % static_cast<size_t>(asked.channels * asked.bitsPerSample / 8),
                  0U);
    }
    // All of the sound, in the asked format: codec padding aside, the source's length.
    const auto tone = toneOf(harness.pcm(), asked.channels, asked.bitsPerSample);
    const int sampleRate = asked.sampleRate;
    EXPECT_NEAR(static_cast<double>(tone.size()) / sampleRate, recipe.seconds, 0.07);
    const std::vector<float> middle(tone.begin() + sampleRate / 5, tone.end() - sampleRate / 5);
    EXPECT_NEAR(test::estimateFrequency(middle, sampleRate), recipe.toneHz, 3.0);
    EXPECT_GE(harness.graph().currentPosition(), harness.graph().duration());
}

// The size and rate come from the video stream also when the audio stream comes first.
ClipRecipe audioFirst() {
    ClipRecipe recipe = clip("matroska", "mpeg4", "aac");
    recipe.audioFirst = true;
    recipe.frameRateNum = 30000;
    recipe.frameRateDen = 1001;
    recipe.seconds = 1.0;
    return recipe;
}

// Sound of any layout comes as the PCM asked for.
Fixture sound(const char* name, const char* codec, int sampleRate, int channels, int streams,
              double toneHz, PcmFormat asked) {
    ClipRecipe recipe = clip("matroska", "mpeg4", codec);
    recipe.sampleRate = sampleRate;
    recipe.channels = channels;
    recipe.audioStreams = streams;
    recipe.toneHz = toneHz;
    return {name, "sound.mkv", recipe, asked};
}

INSTANTIATE_TEST_SUITE_P(
    Containers, Formats,
    ::testing::Values(Fixture{"Mp4H264Aac", "clip.mp4", clip("mp4", "libx264", "aac")},
                      Fixture{"AviMpeg4Mp3", "clip.avi", clip("avi", "mpeg4", "libmp3lame")},
                      Fixture{"WebmVp8Vorbis", "clip.webm", clip("webm", "libvpx", "libvorbis")},
                      Fixture{"MkvAudioFirstAt2997", "clip.mkv", audioFirst()},
                      sound("SixChannelsInTwoStreamsTo32Bit", "aac", 48000, 6, 2, 440,
                            {44100, 2, 32}),
                      sound("Mono8kHzTo22kHz", "pcm_s16le", 8000, 1, 1, 300, {22050, 1, 16})),
    [](const ::testing::TestParamInfo<Fixture>& param) { return param.param.name; });

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
        ClipRecipe recipe = clip("matroska", "mpeg4", "");
        recipe.seconds = 0.4;
        recipe.frameTime = c.time;
        recipe.keepNegativeTimes = c.belowZero;
        writeClip(dir / "times.mkv", recipe);
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

// A handler's answer drops the sample or ends the branch. However slowly the video handler
// answers, audio keeps in step with the frames instead of racing ahead, so that the samples of
// both reach the handlers about in time order.
TEST(DecodingGraph, HandlerAnswersDropOrEndTheBranch) {
    TempDir dir;
    writeClip(dir / "clip.mkv", clip("matroska", "mpeg4", "aac"));

    GraphHarness dropping;
    dropping.videoAnswer = [](size_t) {
        std::this_thread::sleep_for(4ms);
        return kFalse;
    };
    ASSERT_TRUE(dropping.build(dir / "clip.mkv"));
    ASSERT_TRUE(dropping.runToEnd());
    EXPECT_EQ(dropping.videoCount(), 50U);
    EXPECT_NEAR(static_cast<double>(dropping.audio().back().stop), 2.0 * kSecond, 0.1 * kSecond);
    EXPECT_LE(dropping.largestAudioLead(), kSecond * 3 / 10);

    GraphHarness ending;
    ending.videoAnswer = [](size_t index) { return index == 9 ? -1 : kOk; };
    ASSERT_TRUE(ending.build(dir / "clip.mkv"));
    ASSERT_TRUE(ending.runToEnd());
    EXPECT_EQ(ending.videoCount(), 10U);
    EXPECT_NEAR(static_cast<double>(ending.pcm().size()) / 4, 2.0 * 44100, 3000);
}

TEST(DecodingGraph, PausesRunsAndStopsFromAnotherThread) {
    TempDir dir;
    ClipRecipe recipe = clip("matroska", "mpeg4", "aac");
    recipe.seconds = 20.0;
    recipe.width = 160;
    recipe.height = 120;
    writeClip(dir / "long.mkv", recipe);
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
