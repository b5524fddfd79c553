// The decoding graph over files of every kind: what it delivers, how it is driven, and what it
// refuses. Whatever a file holds, the graph fails it with its message or decodes what it can: it
// never crashes, hangs, or reads or writes out of bounds (the sanitizer builds run this too).
#include "source/decoding_graph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>

#include "log/conversion_log.h"
#include "pixels/bitmap_layout.h"
#include "source/sample_grabber.h"
#include "tests/support/media.h"
#include "tests/support/media_writer.h"
#include "tests/support/recording_log_window.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace morvane {
namespace {

using namespace std::chrono_literals;
using test::ClipRecipe;
using test::TempDir;
using test::writeClip;

constexpr int64_t kSecond = 10000000;

// Runs a decoding graph over a file and keeps what its handlers receive.
class GraphHarness {
public:
    struct Sample {
        int64_t start, stop;
        size_t size;
        bool picture;  // the decoded picture came with the frame
    };

    GraphHarness() { log_.setWindow(&window_); }
    ~GraphHarness() {
        graph_.reset();  // its threads call into this object
        log_.setWindow(nullptr);
    }

    bool build(const std::filesystem::path& path, PcmFormat audio = {44100, 2, 16}) {
        graph_ = std::make_unique<DecodingGraph>(log_);
        GraphSetup setup;
        setup.sourcePath = path.string();
        setup.audio = audio;
        setup.videoHandler = &GraphHarness::onVideo;
        setup.audioHandler = &GraphHarness::onAudio;
        setup.context = this;
        return graph_->build(setup);
    }
    // Writes the clip into a folder of the harness's own, and builds the graph over it.
    bool build(const char* file, const ClipRecipe& recipe, PcmFormat audio = {44100, 2, 16}) {
        writeClip(dir_ / file, recipe);
        return build(dir_ / file, audio);
    }

    // Runs the graph to its end; false, and a failure, when it does not end in time.
    bool runToEnd(std::chrono::milliseconds bound = std::chrono::seconds(60)) {
        graph_->run();
        const bool ended = graph_->waitForCompletion(bound);
        EXPECT_TRUE(ended) << "the graph did not come to its end within " << bound.count() << " ms";
        return ended;
    }

    DecodingGraph& graph() { return *graph_; }
    std::string logText() const { return window_.text(); }

    std::vector<Sample> video() const { return locked(video_); }
    std::vector<Sample> audio() const { return locked(audio_); }
    std::vector<uint8_t> firstFrame() const { return locked(firstFrame_); }
    std::vector<uint8_t> pcm() const { return locked(pcm_); }
    // How far (100 ns units) an audio sample ever started after the end of the video
    // delivered before it.
    int64_t largestAudioLead() const { return locked(largestAudioLead_); }

    // What the video handler answers; by default kOk.
    std::function<int32_t(size_t index)> videoAnswer;

private:
    template <typename T>
    T locked(const T& kept) const {
        std::lock_guard lock(mutex_);
        return kept;
    }

    static int32_t onVideo(GrabbedSample& sample, void* context) {
        auto* self = static_cast<GraphHarness*>(context);
        size_t index = 0;
        {
            std::lock_guard lock(self->mutex_);
            index = self->video_.size();
            self->video_.push_back({sample.startTime(), sample.stopTime(), sample.size(),
                                    sample.decodedPicture() != nullptr});
            self->videoUntil_ = std::max(self->videoUntil_, sample.stopTime());
            if (index == 0) {
                self->firstFrame_.assign(sample.data(), sample.data() + sample.size());
            }
        }
        return self->videoAnswer ? self->videoAnswer(index) : kOk;
    }
    static int32_t onAudio(GrabbedSample& sample, void* context) {
        auto* self = static_cast<GraphHarness*>(context);
        std::lock_guard lock(self->mutex_);
        self->audio_.push_back({sample.startTime(), sample.stopTime(), sample.size(), false});
        if (self->videoUntil_ != INT64_MIN) {
            self->largestAudioLead_ =
                std::max(self->largestAudioLead_, sample.startTime() - self->videoUntil_);
        }
        self->pcm_.insert(self->pcm_.end(), sample.data(), sample.data() + sample.size());
        return kOk;
    }

    TempDir dir_;
    ConversionLog log_;
    test::RecordingLogWindow window_;
    std::unique_ptr<DecodingGraph> graph_;
    mutable std::mutex mutex_;
    std::vector<Sample> video_;
    std::vector<Sample> audio_;
    std::vector<uint8_t> firstFrame_;
    std::vector<uint8_t> pcm_;
    int64_t videoUntil_ = INT64_MIN;
    int64_t largestAudioLead_ = INT64_MIN;
};

ClipRecipe clip(const char* container, const char* video, const char* audio, double seconds = 2.0) {
    return {.container = container, .videoCodec = video, .audioCodec = audio, .seconds = seconds};
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

// Every container and codec decodes into RGB frames and the PCM asked for, and so does sound of
// any layout; the size and rate come from the video stream also when the audio stream comes
// first. Without sound that can be had or that is asked for, the graph goes on with its message.
// A failure from a handler ends its branch; the other goes on to the end.
TEST(DecodingGraph, DecodesEveryFormatIntoRgbFramesAndTheAskedPcm) {
    const ClipRecipe audioFirst{
        .frameRateNum = 30000, .frameRateDen = 1001, .seconds = 1.0, .audioFirst = true};
    const ClipRecipe sixChannelsInTwoStreams{.sampleRate = 48000, .channels = 6, .audioStreams = 2};
    const ClipRecipe mono8kHz{
        .audioCodec = "pcm_s16le", .sampleRate = 8000, .channels = 1, .toneHz = 300};
    const PcmFormat stereo = {44100, 2, 16};
    // Each clip with the PCM asked for, and the frame on which the video handler fails (0: none).
    const std::tuple<const char*, ClipRecipe, PcmFormat, size_t> formats[] = {
        {"clip.avi", clip("avi", "mpeg4", "libmp3lame"), stereo, 0},
        {"clip.webm", clip("webm", "libvpx", "libvorbis"), stereo, 0},
        {"audio-first.mkv", audioFirst, stereo, 0},
        {"six.mkv", sixChannelsInTwoStreams, {44100, 2, 32}, 0},
        {"mono.mkv", mono8kHz, {22050, 1, 16}, 0},
        {"silent.mkv", clip("matroska", "mpeg4", ""), stereo, 0},
        {"six-asked.mkv", ClipRecipe(), {44100, 6, 16}, 0},  // a layout no profile has
        {"video-fails.mkv", ClipRecipe(), stereo, 10}};
    for (const auto& [file, recipe, asked, failingFrame] : formats) {
        SCOPED_TRACE(file);
        const bool sound =
            !recipe.audioCodec.empty() && (asked.channels == 1 || asked.channels == 2);
        GraphHarness harness;
        harness.videoAnswer = [last = failingFrame](size_t index) {
            return index + 1 == last ? -1 : kOk;
        };
        ASSERT_TRUE(harness.build(file, recipe, asked)) << harness.logText();
        const double rate = static_cast<double>(recipe.frameRateNum) / recipe.frameRateDen;
        EXPECT_EQ(harness.graph().frameWidth(), 320);
        EXPECT_EQ(harness.graph().frameHeight(), 240);
        EXPECT_NEAR(av_q2d(harness.graph().frameRate()), rate, 0.01);
        EXPECT_EQ(harness.graph().audioEnabled(), sound);
        EXPECT_NEAR(static_cast<double>(harness.graph().duration()), recipe.seconds * kSecond,
                    0.1 * kSecond);
        ASSERT_TRUE(harness.runToEnd());
        EXPECT_EQ(harness.logText(), sound ? "" : DecodingGraph::kAudioRefused);
        EXPECT_GE(harness.graph().currentPosition(), harness.graph().duration());

        const auto video = harness.video();
        const auto frames = static_cast<size_t>(std::lround(recipe.seconds * rate));
        ASSERT_EQ(video.size(), failingFrame > 0 ? failingFrame : frames);
        EXPECT_LT(std::abs(video.front().start), kSecond / 20);
        for (size_t i = 0; i < video.size(); ++i) {
            EXPECT_EQ(video[i].size, bitmapStride(320) * 240);
            EXPECT_NEAR(static_cast<double>(video[i].stop - video[i].start), kSecond / rate, 1.0);
            if (i > 0) {
                EXPECT_GT(video[i].start, video[i - 1].start);
            }
        }
        const auto audio = harness.audio();
        ASSERT_EQ(audio.empty(), !sound);
        if (!sound) {
            continue;
        }
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
    }
}

TEST(DecodingGraph, PassesFrameTimesThroughFromTheStartOfTheFile) {
    // Uneven spacing, then a jump of five seconds; and times from below zero.
    static constexpr double kUneven[10] = {0, 0.03, 0.09, 0.1, 0.16, 5.0, 5.04, 5.1, 5.11, 5.2};
    const std::tuple<const char*, double (*)(int), bool> cases[] = {
        {"uneven", [](int index) { return kUneven[index]; }, false},
        {"below zero", [](int index) { return -0.2 + index * 0.04; }, true}};
    for (const auto& [name, timeAt, belowZero] : cases) {
        SCOPED_TRACE(name);
        ClipRecipe recipe = clip("matroska", "mpeg4", "", 0.4);
        recipe.frameTime = timeAt;
        recipe.keepNegativeTimes = belowZero;
        GraphHarness harness;
        ASSERT_TRUE(harness.build("times.mkv", recipe));
        ASSERT_TRUE(harness.runToEnd());
        const auto video = harness.video();
        ASSERT_EQ(video.size(), 10U);
        for (int i = 0; i < 10; ++i) {
            EXPECT_NEAR(video[i].start / double{kSecond}, timeAt(i) - timeAt(0), 0.0001) << i;
        }
        // The duration, which progress is told against, runs to the last picture's end.
        EXPECT_GE(harness.graph().duration(), video.back().stop);
    }
}

// A handler that drops its samples does not end the branch. However slowly the video handler
// answers, audio keeps in step with the frames instead of racing ahead, so that the samples of
// both reach the handlers about in time order.
TEST(DecodingGraph, PausesRunsAndStopsFromAnotherThread) {
    const ClipRecipe recipe{.width = 160, .height = 120, .seconds = 20.0};
    GraphHarness harness;
    // Slow handlers, so that the graph is mid-file when it is paused and stopped.
    harness.videoAnswer = [](size_t) {
        std::this_thread::sleep_for(2ms);
        return kFalse;
    };
    ASSERT_TRUE(harness.build("long.mkv", recipe));
    harness.graph().run();
    ASSERT_TRUE(test::waitUntil([&] { return harness.video().size() >= 20; }))
        << "20 frames did not arrive within 60 s";

    test::callFromAnotherThread([&] { harness.graph().pause(); }, "pause()");
    // Each branch may still hand on the one sample it had taken past the gate, and no more,
    // however long the pause; a graph that ran on would show it within this time.
    const size_t pausedVideo = harness.video().size() + 1;
    const size_t pausedAudio = harness.audio().size() + 1;
    std::this_thread::sleep_for(300ms);
    EXPECT_LE(harness.video().size(), pausedVideo);
    EXPECT_LE(harness.audio().size(), pausedAudio);

    harness.graph().run();
    ASSERT_TRUE(test::waitUntil([&] { return harness.video().size() >= pausedVideo + 20; }))
        << "the graph did not go on within 60 s of the pause";
    test::callFromAnotherThread([&] { harness.graph().stop(); }, "stop()");
    const size_t stoppedAt = harness.video().size();
    EXPECT_TRUE(harness.graph().waitForCompletion(0ms));
    EXPECT_FALSE(harness.graph().completed());
    EXPECT_LT(harness.graph().currentPosition(), harness.graph().duration());

    // Nothing was lost or reordered across the pause, and nothing came after the stop.
    const auto video = harness.video();
    for (size_t i = 1; i < video.size(); ++i) {
        EXPECT_EQ(video[i].start - video[i - 1].start, kSecond / 25) << i;
    }
    EXPECT_EQ(harness.video().size(), stoppedAt);
    EXPECT_LE(harness.largestAudioLead(), kSecond * 3 / 10);
}

// What holds no video that can be used is refused with its message; a broken file is decoded as
// far as it goes, or refused with that message too.
TEST(DecodingGraph, RefusesWhatHoldsNoVideoItCanUseAndDecodesBrokenFilesAsFarAsTheyGo) {
    TempDir dir;
    writeClip(dir / "good.mkv", clip("matroska", "libx264", "aac"));
    const std::string good = test::readFile(dir / "good.mkv");
    writeClip(dir / "audio-only.mkv", clip("matroska", "", "aac"));
    ClipRecipe huge = clip("nut", "rawvideo", "", 0.2);
    huge.width = 8200;
    huge.height = 2;
    writeClip(dir / "huge.nut", huge);
    std::filesystem::create_directories(dir / "dir.avi");
    const auto flipped = [&good](size_t from, size_t to) {
        std::string bytes = good;
        uint32_t seed = 12345;
        for (size_t i = from; i < to; i += 7) {
            seed = seed * 1664525 + 1013904223;
            bytes[i] = static_cast<char>(bytes[i] ^ static_cast<char>(seed >> 24));
        }
        return bytes;
    };
    // Each file with its bytes (none: as made above, or missing), and whether the graph must
    // refuse it outright.
    const std::tuple<const char*, std::optional<std::string>, bool> inputs[] = {
        {"missing.avi", std::nullopt, true},
        {"audio-only.mkv", std::nullopt, true},
        {"huge.nut", std::nullopt, true},
        {"dir.avi", std::nullopt, true},
        {"empty.avi", "", true},
        {"header-only.avi", good.substr(0, 200), true},
        {"cut-at-1-percent.avi", good.substr(0, good.size() / 100), false},
        {"cut-at-half.avi", good.substr(0, good.size() / 2), false},
        {"cut-at-99-percent.avi", good.substr(0, good.size() * 99 / 100), false},
        {"corrupt-middle.avi", flipped(good.size() / 3, good.size() / 2), false},
        {"corrupt-everywhere.avi", flipped(64, good.size()), false}};
    for (const auto& [file, bytes, refused] : inputs) {
        SCOPED_TRACE(file);
        if (bytes) {
            test::writeFile(dir / file, *bytes);
        }
        GraphHarness harness;
        const bool built = harness.build(dir / file);
        EXPECT_TRUE(built || harness.logText() == DecodingGraph::kNoVideo) << harness.logText();
        EXPECT_FALSE(built && refused);
        if (built) {
            harness.runToEnd(30s);
            EXPECT_LE(harness.video().size(), 50U);
        }
    }
}

// Turned pictures come out upright at the turned size. The stored pictures are landscape, dark
// grey but for a block of orange in the top left quarter of each side; in blue, green and red.
TEST(DecodingGraph, TurnedClipsComeOutUprightAtTheTurnedSize) {
    static constexpr std::array<uint8_t, 3> kBlock{0, 128, 255};
    static constexpr std::array<uint8_t, 3> kGrey{64, 64, 64};
    struct Turned {
        const char* file;  // mp4 of H.264, or mov of raw BGR
        double rotation;
        int width, height;  // of the frames delivered
        int corner;  // where the stored top left is seen: 0 top left, 1 top right, 2, 3 bottom
    };
    // Not YUV 4:2:0 (mov): through libswscale once turned, or as it is, at a size that pads the
    // rows.
    for (const Turned& c : {Turned{"0.mp4", 0, 320, 240, 0}, Turned{"90.mp4", 90, 240, 320, 1},
                            Turned{"180.mp4", 180, 320, 240, 3},
                            Turned{"270.mp4", 270, 240, 320, 2}, Turned{"80.mp4", 80, 240, 320, 1},
                            Turned{"90.mov", 90, 240, 320, 1}, Turned{"0.mov", 0, 321, 241, 0}}) {
        SCOPED_TRACE(c.file);
        const bool raw = std::strstr(c.file, ".mov") != nullptr;
        ClipRecipe turned = clip(raw ? "mov" : "mp4", raw ? "rawvideo" : "libx264", "", 0.2);
        turned.width = std::max(c.width, c.height);
        turned.height = std::min(c.width, c.height);
        turned.rotation = c.rotation;
        turned.paint = [w = turned.width, h = turned.height](int, uint8_t* bgr, int stride) {
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    const bool block = y < h / 4 && x < w / 4;
                    std::memcpy(bgr + y * stride + 3 * x, (block ? kBlock : kGrey).data(), 3);
                }
            }
        };
        GraphHarness harness;
        ASSERT_TRUE(harness.build(c.file, turned)) << harness.logText();
        EXPECT_EQ(harness.graph().frameWidth(), c.width);
        EXPECT_EQ(harness.graph().frameHeight(), c.height);
        ASSERT_TRUE(harness.runToEnd());

        const size_t stride = bitmapStride(c.width);
        // A turned YUV picture still reaches the handler as YUV; BGR pictures as their bytes.
        const bool direct = !raw;
        ASSERT_EQ(harness.video().size(), 5U);
        for (const GraphHarness::Sample& sample : harness.video()) {
            ASSERT_EQ(sample.size, stride * c.height);
            EXPECT_EQ(sample.picture, direct);
        }
        // Rows bottom-up, of blue, green and red, padded with zeros.
        const auto frame = harness.firstFrame();
        for (size_t row = 0; row < static_cast<size_t>(c.height); ++row) {
            EXPECT_TRUE(std::all_of(frame.begin() + row * stride + 3 * c.width,
                                    frame.begin() + (row + 1) * stride,
                                    [](uint8_t b) { return b == 0; }))
                << "the padding of row " << row;
        }
        const auto at = [&](int x, int y) { return &frame[stride * (c.height - 1 - y) + 3 * x]; };
        // In the middle of each corner's block, and at its outermost pixel.
        for (int corner = 0; corner < 4; ++corner) {
            const bool right = corner % 2 == 1;
            const bool bottom = corner >= 2;
            for (const auto& [x, y] :
                 {std::pair{right ? c.width * 7 / 8 : c.width / 8,
                            bottom ? c.height * 7 / 8 : c.height / 8},
                  std::pair{right ? c.width - 1 : 0, bottom ? c.height - 1 : 0}}) {
                const std::array<uint8_t, 3>& expected = corner == c.corner ? kBlock : kGrey;
                for (int channel = 0; channel < 3; ++channel) {
                    EXPECT_NEAR(at(x, y)[channel], expected[channel], 16)
                        << "corner " << corner << " at " << x << "," << y << ", channel "
                        << channel;
                }
            }
        }
    }
}

TEST(SampleGrabber, ComparesOnlyWhatTheAcceptedTypeNames) {
    // Until a type is set, any type is taken.
    SampleGrabber grabber;
    MediaType type;
    EXPECT_EQ(grabber.getConnectionType(type), kNotConnected);
    EXPECT_EQ(grabber.connect(MediaType::pcmAudio(8000, 1, 8)), kOk);
    EXPECT_EQ(grabber.getConnectionType(type), kOk);
    EXPECT_EQ(type.wave.samplesPerSec, 8000U);

    grabber.acceptOnlyType(MediaType::pcmAudio(44100, 2, 16));
    EXPECT_EQ(grabber.connect(MediaType::rgb24Video()), kTypeNotAccepted);
    MediaType otherAlignment = MediaType::pcmAudio(44100, 2, 16);
    otherAlignment.wave.blockAlign = 7;
    otherAlignment.wave.avgBytesPerSec = 1;
    EXPECT_EQ(grabber.connect(otherAlignment), kOk);
    EXPECT_EQ(grabber.connect(MediaType::pcmAudio(22050, 2, 16)), kTypeNotAccepted);
    EXPECT_EQ(grabber.connect(MediaType::pcmAudio(44100, 1, 16)), kTypeNotAccepted);
    EXPECT_EQ(grabber.connect(MediaType::pcmAudio(44100, 2, 32)), kTypeNotAccepted);
    MediaType noFormat = MediaType::pcmAudio(44100, 2, 16);
    noFormat.formatType = FormatType::None;
    EXPECT_EQ(grabber.connect(noFormat), kTypeNotAccepted);
    MediaType floating = MediaType::pcmAudio(44100, 2, 16);
    floating.wave.formatTag = kWaveFormatFloat;
    EXPECT_EQ(grabber.connect(floating), kTypeNotAccepted);
    // No channels at all ("disabled"): nothing a decoder offers matches.
    grabber.acceptOnlyType(MediaType::pcmAudio(22050, 0, 16));
    EXPECT_EQ(grabber.connect(MediaType::pcmAudio(22050, 2, 16)), kTypeNotAccepted);
}

}  // namespace
}  // namespace morvane
