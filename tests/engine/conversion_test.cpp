// Whole batches through the real engine, checked by reading the outputs back with libavformat.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <thread>

#include "platform/tick_count.h"
#include "settings/setting_keys.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/media.h"
#include "tests/support/media_writer.h"
#include "tests/support/wait.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace morvane {
namespace {

using namespace std::chrono_literals;
using test::ClipRecipe;
using test::EngineHarness;
using test::readMedia;

// Clips shared by the tests of this file, made once.
class Clips : public ::testing::Environment {
public:
    static std::filesystem::path folder() { return folder_->path(); }
    static std::filesystem::path clip() { return folder() / "clip.mp4"; }        // 640x360, 2 s
    static std::filesystem::path odd() { return folder() / "odd.mkv"; }          // 321x241, 5 s
    static std::filesystem::path shortClip() { return folder() / "short.mkv"; }  // 160x120, 0.5 s
    static std::filesystem::path big() { return folder() / "big.mkv"; }          // 1920x1080, 2 s

    void SetUp() override {
        folder_ = std::make_unique<test::TempDir>();
        test::writeClip(clip(),
                        {.container = "mp4", .videoCodec = "libx264", .width = 640, .height = 360});
        test::writeClip(odd(),
                        {.audioCodec = "libmp3lame", .width = 321, .height = 241, .seconds = 5.0});
        test::writeClip(shortClip(), {.width = 160, .height = 120, .seconds = 0.5});
        test::writeClip(big(), {.width = 1920, .height = 1080});
    }
    void TearDown() override { folder_.reset(); }

private:
    static inline std::unique_ptr<test::TempDir> folder_;
};

const auto* const kClips = ::testing::AddGlobalTestEnvironment(new Clips);

using test::namesIn;

// Converts `clip` in the format of `codec` (kCodecSparkMp3, kCodecH264Aac); false when that fails.
bool convertIn(EngineHarness& harness, int32_t codec, const std::filesystem::path& clip) {
    harness.settings().setNumber(keys::kCodec, codec);
    harness.convertFile(clip);
    return harness.convert();
}

// The Sorenson Spark output of the medium profile, pinned whole: the same bytes whatever the
// machine's load and processor (the test command also runs this test as a processor without
// AVX-512 would, under qemu), with the video workers of every core. The H.264 output of the
// same clip is the same on an idle and on a busy machine too.
TEST(Conversion, WritesTheMediumProfileInTimeWithTheSource) {
    std::string h264[2];
    for (const bool loaded : {false, true}) {
        SCOPED_TRACE(loaded ? "a busy thread on every core" : "an idle machine");
        std::atomic<bool> busy{loaded};
        std::vector<std::jthread> load;
        for (unsigned i = 0; loaded && i < std::max(1U, std::thread::hardware_concurrency()); ++i) {
            load.emplace_back([&busy] {
                while (busy.load(std::memory_order_relaxed)) {
                }
            });
        }
        const auto md5 = [](const std::filesystem::path& file) {
            return test::outputOf("md5sum < '" + file.string() + "'").substr(0, 32);
        };
        {
            EngineHarness other;
            selectProfile(other.settings(), 1);  // the Low rate, where x264's buffer model binds
            ASSERT_TRUE(convertIn(other, kCodecH264Aac, Clips::clip()));
            h264[loaded ? 1 : 0] = md5(other.outputFolder() / "clip.flv");
        }
        EngineHarness harness;
        harness.convertFile(Clips::clip());
        const bool converted = harness.convert();
        busy = false;
        load.clear();
        ASSERT_TRUE(converted);
        EXPECT_EQ(harness.endNotices(), 1);
        EXPECT_EQ(harness.button(), "Convert!");
        const auto output = harness.outputFolder() / "clip.flv";
        EXPECT_EQ(md5(output), "d0473073de34049fd22f40fe86facc7c");
        if (loaded) {
            continue;
        }
        const test::ReadMedia media = readMedia(output);
        ASSERT_TRUE(media.opened) << harness.logText();
        // The codecs and the sound's format, the table below checks for every profile.
        EXPECT_EQ(media.decodeErrors, 0);
        EXPECT_EQ(media.decodedVideoFrames, 50);
        // The metadata tells the real duration and size, with an index of the key frames, one a
        // second, to seek by.
        EXPECT_NEAR(test::flvMetadataNumber(output, "duration"), 2.0, 0.04);
        EXPECT_EQ(test::flvMetadataNumber(output, "filesize"),
                  static_cast<double>(std::filesystem::file_size(output)));
        EXPECT_EQ(test::flvKeyFrameTimes(output), (std::vector<double>{0, 1}));
        EXPECT_EQ(media.keyframeIndexEntries, 2);
        EXPECT_EQ(test::seekToMiddle(output), "key frame at 1000 ms");
    }
    EXPECT_EQ(h264[0], h264[1]);
}

// Every setting that shapes the output, in both formats, through the conversion of one clip
// (321x241, stereo, 5 s): the codecs, the size, every frame decoded to the end with a key frame
// at least every 2 seconds to seek by, and the sound, all of it at its pitch, in the format of
// the profile.
TEST(Conversion, SizesAndFormatsTheOutputByTheSettingsInBothFormats) {
    struct Case {
        int sizeMode;
        int width;  // read by the Custom size alone
        int height;
        int profile;
        int customAudioMode;
        int expectedWidth;
        int expectedHeight;
        int sampleRate;
        int channels;
    };
    for (const int32_t codec : {kCodecSparkMp3, kCodecH264Aac}) {
        const bool h264 = codec == kCodecH264Aac;
        for (const Case& c : {Case{1, 0, 0, 0, kAudioMono, 160, 120, 22050, 1},
                              Case{kCustomSizeMode, 321, 240, 1, kAudioMono, 320, 240, 44100, 1},
                              Case{2, 0, 0, 2, kAudioMono, 320, 240, 44100, 2},
                              Case{2, 0, 0, 3, kAudioMono, 320, 240, 44100, 2},
                              Case{0, 0, 0, 4, kAudioStereo, 80, 60, 22050, 2},
                              Case{2, 0, 0, 4, kAudioDisabled, 320, 240, 0, 0}}) {
            SCOPED_TRACE("codec " + std::to_string(codec) + ", size mode " +
                         std::to_string(c.sizeMode) + ", profile " + std::to_string(c.profile));
            EngineHarness harness;
            harness.settings().setNumber(keys::kSizeMode, c.sizeMode);
            harness.settings().setNumber(keys::kWidth, c.width);
            harness.settings().setNumber(keys::kHeight, c.height);
            selectProfile(harness.settings(), c.profile);
            selectCustomAudioMode(harness.settings(), harness.profiles(), c.customAudioMode);
            ASSERT_TRUE(convertIn(harness, codec, Clips::odd()));
            const auto output = harness.outputFolder() / "odd.flv";
            const test::ReadMedia media = readMedia(output);
            ASSERT_TRUE(media.opened) << harness.logText();
            EXPECT_EQ(media.videoCodec, h264 ? AV_CODEC_ID_H264 : AV_CODEC_ID_FLV1);
            EXPECT_EQ(media.audioCodec, c.channels == 0 ? 0
                                        : h264          ? AV_CODEC_ID_AAC
                                                        : AV_CODEC_ID_MP3);
            EXPECT_EQ(media.width, c.expectedWidth);
            EXPECT_EQ(media.height, c.expectedHeight);
            EXPECT_EQ(media.sampleRate, c.sampleRate);
            EXPECT_EQ(media.channels, c.channels);
            EXPECT_EQ(media.decodeErrors, 0);
            EXPECT_EQ(media.decodedVideoFrames, 125);
            int64_t lastKey = -1;
            int64_t lastVideo = 0;
            int64_t lastTag = 0;
            for (const test::ReadPacket& packet : media.packets) {
                EXPECT_GE(packet.dts, lastTag) << "tags out of time order";
                lastTag = packet.dts;
                if (packet.isVideo && packet.key) {
                    EXPECT_LE(packet.pts - lastKey, 2000) << "no key frame for over 2 s";
                    lastKey = packet.pts;
                }
                lastVideo = packet.isVideo ? std::max(lastVideo, packet.pts) : lastVideo;
            }
            EXPECT_NEAR(static_cast<double>(lastVideo), 4960.0, 40.0);
            EXPECT_TRUE(test::seekToMiddle(output).starts_with("key frame at 20"))
                << test::seekToMiddle(output);
            // The header tells of both streams, whatever the file holds.
            EXPECT_EQ(test::readFile(output)[4], 5);
            if (c.channels > 0) {  // every sample, the codecs' delays and padding aside
                EXPECT_NEAR(static_cast<double>(media.decodedAudioSamples), 5 * c.sampleRate, 4096);
                ASSERT_GT(media.audio.size(), 8000U);
                const std::vector<float> middle(media.audio.begin() + 4000,
                                                media.audio.end() - 4000);
                EXPECT_NEAR(test::estimateFrequency(middle, c.sampleRate), 440.0, 2.0);
            }
            const bool refused =
                harness.logText().find(
                    "\n*Selected audio mode is not accepted for this file\r\n... ") !=
                std::string::npos;
            EXPECT_EQ(refused, c.channels == 0) << harness.logText();
        }
    }
}

// Frame rates that are not whole, and a variable one: the codec's rate control, the key frame
// index and the last time follow the frames' real times, in both formats.
TEST(Conversion, TheIndexAndTheRateFollowTheFramesRealTimes) {
    struct Case {
        const char* name;
        int num;
        int den;
        bool variable;  // frames 30 and 50 ms apart in turn
    };
    for (const Case& c : {Case{"30000-1001", 30000, 1001, false},
                          Case{"24000-1001", 24000, 1001, false}, Case{"variable", 25, 1, true}}) {
        ClipRecipe recipe{.container = "mp4", .videoCodec = "libx264", .seconds = 30.0};
        recipe.frameRateNum = c.num;
        recipe.frameRateDen = c.den;
        if (c.variable) {
            recipe.frameTime = [](int index) { return (index / 2) * 0.08 + (index % 2) * 0.03; };
        }
        EngineHarness harness;
        selectProfile(harness.settings(), 1);
        for (const int32_t codec : {kCodecSparkMp3, kCodecH264Aac}) {
            SCOPED_TRACE(std::string(c.name) + ", codec " + std::to_string(codec));
            // Grain over the moving pattern, so that the codec has a use for the whole rate:
            // FLV1 would reach its finest quantizer below the rate on the grain that fills
            // x264's rate to the brim.
            const int grainLevels = codec == kCodecSparkMp3 ? 12 : 8;
            recipe.paint = [grainLevels](int index, uint8_t* bgr, int stride) {
                std::minstd_rand grain(static_cast<unsigned>(index));
                for (int row = 0; row < 240; ++row) {
                    for (int column = 0; column < 320 * 3; ++column) {
                        const int base = ((column / 3 + 4 * index) % 320) * 255 / 320;
                        bgr[row * stride + column] = static_cast<uint8_t>(
                            base / 2 + static_cast<int>(grain() % grainLevels));
                    }
                }
            };
            const auto clip = harness.dir() / (std::string(c.name) + ".mp4");
            test::writeClip(clip, recipe);
            ASSERT_TRUE(convertIn(harness, codec, clip));
            const auto output = harness.outputFolder() / (std::string(c.name) + ".flv");
            const test::ReadMedia media = readMedia(output);
            std::vector<double> keyTimes;
            int64_t videoBytes = 0;
            int64_t lastVideo = 0;
            std::map<int64_t, int64_t> bytesInSecond;
            for (const test::ReadPacket& packet : media.packets) {
                if (packet.isVideo) {
                    if (packet.key) {
                        keyTimes.push_back(static_cast<double>(packet.dts) / 1000.0);
                    }
                    videoBytes += packet.size;
                    bytesInSecond[packet.dts / 1000] += packet.size;
                    lastVideo = packet.dts;
                }
            }
            // As RTMP servers ask: no second much over twice the rate. (x264's buffer model
            // bounds the rate over its own window, which a calendar second may straddle.)
            if (codec == kCodecH264Aac) {
                for (const auto& [second, inSecond] : bytesInSecond) {
                    EXPECT_LE(inSecond * 8, 2.1 * 150 * 1024) << "second " << second;
                }
            }
            // Tags tell whole milliseconds.
            const std::vector<double> index = test::flvKeyFrameTimes(output);
            ASSERT_EQ(index.size(), keyTimes.size());
            for (size_t i = 0; i < index.size(); ++i) {
                EXPECT_NEAR(index[i], keyTimes[i], 0.001) << "key frame " << i;
            }
            EXPECT_NEAR(test::flvMetadataNumber(output, "lasttimestamp"),
                        static_cast<double>(lastVideo) / 1000.0, 0.001);
            EXPECT_EQ(test::flvmetaCheck(output).find("W81074"), std::string::npos)
                << test::flvmetaCheck(output);
            // The Low profile's 150 units of 1,024 bits a second: within 2 % for FLV1, and 5 %
            // for x264, whose rate control also keeps to the VBV limit.
            const double kbps = static_cast<double>(videoBytes) * 8 / 30.0 / 1024.0;
            EXPECT_NEAR(kbps, 150.0, codec == kCodecH264Aac ? 7.5 : 3.0);
        }
    }
}

// Each file of a folder in its own words: the first in those of the start of the batch, the
// others in the session's; what is no video fails, and the rest goes on. The time left counts
// from the start of the file being converted.
TEST(Conversion, AFolderBatchConvertsTheVideosAndFailsTheRest) {
    EngineHarness harness;
    const auto in = harness.dir() / "in";
    std::filesystem::create_directories(in / "sub");
    std::filesystem::copy_file(Clips::shortClip(), in / "a.mkv");
    std::filesystem::copy_file(Clips::odd(), in / "b.AVI");
    test::writeFile(in / "notes.txt", "not a video\n");
    test::writeFile(in / "old.FLV", "skipped");
    harness.convertFolder(in);
    // Each file that is done ends on a later tick than it began, and the last file's beginning
    // is noted: whichever it is, one was done before it.
    std::atomic<uint32_t> lastStart{0};
    harness.onText = [&](std::string_view text) {
        if (text == "done\n") {
            const uint32_t now = tickCount();
            EXPECT_TRUE(test::waitUntil([now] { return tickCount() != now; }))
                << "the tick count stood still for 60 s";
        }
        if (text == "Converting initialization: ") {
            lastStart = tickCount();
        }
    };
    ASSERT_TRUE(harness.convertWithoutFinishing());
    const ConversionJob& job = *harness.runner().currentJob();
    EXPECT_EQ(job.filesDone.load(), 2);
    EXPECT_EQ(job.filesNotDone.load(), 1);
    EXPECT_GE(static_cast<int32_t>(ticksBetween(lastStart.load(), job.startTick.load())), 0)
        << "the last file began at tick " << lastStart.load() << ", the time left counts from "
        << job.startTick.load();
    harness.runner().stopAndFinish();
    EXPECT_EQ(namesIn(harness.outputFolder()),
              (std::vector<std::string>{"a.mkv.flv", "b.avi.flv"}));
    EXPECT_EQ(harness.endNotices(), 1);

    const std::string log = harness.logText();
    EXPECT_TRUE(log.starts_with("Converting initialization: " + in.string() + "/")) << log;
    const std::string out = harness.outputFolder().string();
    for (const auto& [piece, times] : std::vector<std::pair<std::string, size_t>>{
             {"...done.\nConverting process... ", 1},
             {"... done\nConverting process... ", 2},
             {"Converting process... done\nOutput filename: " + out + "/a.mkv.flv\nReal bitrate: ",
              1},
             {"Converting process... done\nOutput filename: " + out + "/b.avi.flv\nReal bitrate: ",
              1},
             {" KBps\n\n", 2},
             {"aborted.\nREASON: Could not connect source filter to video grabber\n"
              "Deleting output file...done\n\n",
              1}}) {
        size_t found = 0;
        for (size_t at = log.find(piece); at != std::string::npos; at = log.find(piece, at + 1)) {
            ++found;
        }
        EXPECT_EQ(found, times) << piece << "\nin the log:\n" << log;
    }
}

TEST(Conversion, SkipsAndRefusesWhatIsNotARegularFile) {
    for (const bool folderMode : {true, false}) {
        SCOPED_TRACE(folderMode ? "folder" : "file");
        EngineHarness harness;
        const auto in = harness.dir() / "in";
        std::filesystem::create_directories(in);
        std::filesystem::copy_file(Clips::shortClip(), in / "ok.mkv");
        const std::string pipe = (in / "pipe.mp4").string();
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        folderMode ? harness.convertFolder(in) : harness.convertFile(pipe);

        // A reader that waits on the pipe is let go after a minute, so that the test fails
        // rather than hangs.
        std::atomic<bool> finished{false};
        std::atomic<bool> letGo{false};
        std::thread watchdog([&] {
            if (test::waitUntil([&] { return finished.load(); })) {
                return;
            }
            while (!finished) {
                const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (writer >= 0) {
                    letGo = true;
                    ::close(writer);
                }
                std::this_thread::sleep_for(10ms);
            }
        });
        const bool ended = harness.convert();
        finished = true;
        watchdog.join();
        EXPECT_TRUE(ended) << "the batch did not end";
        EXPECT_FALSE(letGo) << "the conversion waited on the named pipe";
        const std::string log = harness.logText();
        if (folderMode) {
            EXPECT_TRUE(std::filesystem::exists(harness.outputFolder() / "ok.mkv.flv")) << log;
            EXPECT_EQ(log.find("pipe.mp4"), std::string::npos) << log;
        } else {
            EXPECT_NE(log.find("failed\nNot a regular file, not a valid source\n\n"),
                      std::string::npos)
                << log;
            EXPECT_TRUE(std::filesystem::is_empty(harness.outputFolder()));
        }
    }
}

TEST(Conversion, StopAbandonsTheFileAndDropsTheRest) {
    EngineHarness harness;
    const auto in = harness.dir() / "in";
    std::filesystem::create_directories(in);
    for (const char* name : {"a.mkv", "b.mkv", "c.mkv"}) {
        std::filesystem::copy_file(Clips::big(), in / name);
    }
    harness.convertFolder(in);
    harness.runner().convertPressed();
    const ConversionJob& job = *harness.runner().currentJob();
    ASSERT_TRUE(test::waitUntil([&] { return job.progressPosition > 0; }))
        << "the first file was not being encoded within 60 s";
    // The button now reads "Stop".
    test::callFromAnotherThread([&] { harness.runner().convertPressed(); }, "Stop");
    EXPECT_FALSE(harness.runner().isRunning());
    EXPECT_EQ(harness.button(), "Convert!");
    EXPECT_EQ(harness.sources().count(), 0U);
    EXPECT_EQ(harness.endNotices(), 0);
    EXPECT_TRUE(std::filesystem::is_empty(harness.outputFolder()));
    const std::string log = harness.logText();
    EXPECT_TRUE(log.ends_with("Converting process... aborted\nDeleting output file...done\n\n"))
        << log;
}

TEST(Conversion, NeverDestroysAUsersFile) {
    EngineHarness harness;
    test::writeFile(harness.dir() / "notes.txt", "not a video\n");
    test::writeFile(harness.outputFolder() / "notes.flv", "precious");
    harness.convertFile(harness.dir() / "notes.txt");
    ASSERT_TRUE(harness.convert());
    EXPECT_EQ(test::readFile(harness.outputFolder() / "notes.flv"), "precious");
    EXPECT_EQ(namesIn(harness.outputFolder()), std::vector<std::string>{"notes.flv"});
    EXPECT_TRUE(std::filesystem::exists(harness.dir() / "notes.txt"));

    // The default name of an .flv source in its own folder is the source itself.
    EngineHarness same;
    const auto source = same.outputFolder() / "movie.flv";
    std::filesystem::copy_file(Clips::shortClip(), source);
    same.convertFile(source);
    const std::string before = test::readFile(source);
    ASSERT_TRUE(same.convert());
    EXPECT_EQ(test::readFile(source), before);
    EXPECT_NE(same.logText().find("failed\nThe output file would replace the source\n\n"),
              std::string::npos);
    EXPECT_EQ(namesIn(same.outputFolder()), std::vector<std::string>{"movie.flv"});

    // A source that is a folder, or that has gone: refused, and nothing is left behind.
    EngineHarness gone;
    gone.convertFile(gone.dir() / "vanished.avi");
    ASSERT_TRUE(gone.convert());
    EXPECT_TRUE(gone.logText().ends_with("failed\nDirectory is not a valid source\n\n"))
        << gone.logText();
    EXPECT_TRUE(std::filesystem::is_empty(gone.outputFolder()));
    EngineHarness folder;
    std::filesystem::create_directories(folder.dir() / "clips");
    std::filesystem::copy_file(Clips::shortClip(), folder.dir() / "clips" / "a.avi");
    folder.convertFile(folder.dir() / "clips");
    ASSERT_TRUE(folder.convert());
    EXPECT_TRUE(folder.logText().ends_with("failed\nDirectory is not a valid source\n\n"))
        << folder.logText();
    EXPECT_TRUE(std::filesystem::is_empty(folder.outputFolder())) << "the folder's files went";
}

TEST(Conversion, KeepsMemoryBoundedOnLargeFrames) {
    // 2160p pictures of 12 MB, made far faster than they are encoded: whenever the encoder
    // falls behind, the graph is paused, and no thread may produce far past the mark.
    EngineHarness harness;
    harness.settings().setNumber("Size Mode", kCustomSizeMode);
    harness.settings().setNumber("Width", 3840);
    harness.settings().setNumber("Height", 2160);
    harness.convertFile(Clips::big());
    ASSERT_TRUE(harness.convertWithoutFinishing()) << "the batch did not end within its bound";
    const ConversionJob& job = *harness.runner().currentJob();
    const int64_t picture = 4 + 3840 * 2160 * 3 / 2;
    // One picture from the thread that passed the mark, one audio record (far smaller) from
    // the other.
    EXPECT_LE(job.peakQueuedBytes, ConversionJob::kPauseAbove + 2 * picture);
    harness.runner().stopAndFinish();
    const test::ReadMedia media = readMedia(harness.outputFolder() / "big.flv");
    EXPECT_EQ(media.decodedVideoFrames, 50);
    EXPECT_EQ(media.decodeErrors, 0);
}

// Stops at random moments, before the first picture to after the end, in each way of
// encoding: one Sorenson Spark encoder, seven workers with groups of their own, and x264 with
// its own threads. Nothing hangs or leaks, the workers' pictures are dropped, and no half file
// stays.
TEST(Conversion, SurvivesStopsAtAnyMoment) {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    constexpr int kRounds = 60;
#else
    constexpr int kRounds = 300;
#endif
    EngineHarness harness;
    const auto eight = harness.dir() / "eight.mkv";  // eight groups of a second
    test::writeClip(eight, {.width = 160, .height = 120, .seconds = 8.0});
    std::mt19937 random(42);
    std::uniform_int_distribution<int> delay(0, 60);
    for (int round = 0; round < kRounds; ++round) {
        const bool workers = round % 3 == 1;
        harness.settings().setNumber(keys::kCodec, round % 3 == 2 ? kCodecH264Aac : kCodecSparkMp3);
        harness.services().encoderThreads = workers ? 7 : 1;
        harness.convertFile(workers ? eight : Clips::shortClip());
        harness.runner().convertPressed();
        std::this_thread::sleep_for(std::chrono::milliseconds(delay(random) * (workers ? 4 : 1)));
        harness.runner().stopAndFinish();
        ASSERT_FALSE(harness.runner().isRunning());
        // Either the finished file, or nothing: never a half file.
        const std::string name = workers ? "eight.flv" : "short.flv";
        const std::vector<std::string> names = namesIn(harness.outputFolder());
        ASSERT_TRUE(names.empty() || names == std::vector<std::string>{name}) << "round " << round;
        // However early the stop, the file's line gets its end, unless the file was read
        // whole and stays, which is told by nothing.
        const bool stays = std::filesystem::remove(harness.outputFolder() / name);
        ASSERT_TRUE(stays || !harness.logText().ends_with("Converting process... "))
            << "round " << round;
    }
}

// Footage as phones, discs and camcorders give it, in both formats: HDR (PQ and HLG, 10 bits)
// tone mapped to SDR, 10-bit SDR as it is, pixels that are not square brought to the picture's
// display size, interlaced pictures deinterlaced; each frame close to the clean picture it was made
// from (a washed-out, squeezed or combed output is far from it).
TEST(Conversion, BringsPhoneDiscAndCamcorderFootageToSquareProgressiveSdrPictures) {
    struct Case {
        const char* name;
        int pixelNum;  // the stored pixels' shape
        int pixelDen;
        int fieldOrder;
        int displayWidth;
        const char* transfer;  // of a 10-bit source, as zimg names it
        const char* logged;    // the line that tells what was done, if anything
    };
    constexpr int kStoredWidth = 352;
    constexpr int kHeight = 288;
    constexpr const char* kDeinterlaced = "*Interlaced source: deinterlaced";
    for (const Case& c : {Case{"wide", 16, 11, AV_FIELD_UNKNOWN, 512, nullptr, ""},
                          Case{"narrow", 12, 11, AV_FIELD_UNKNOWN, 384, nullptr, ""},
                          Case{"top-first", 1, 1, AV_FIELD_TT, 352, nullptr, kDeinterlaced},
                          Case{"bottom-first", 1, 1, AV_FIELD_BB, 352, nullptr, kDeinterlaced},
                          Case{"pq", 1, 1, AV_FIELD_UNKNOWN, 352, "smpte2084",
                               "*HDR (PQ) source: tone mapped to SDR"},
                          Case{"hlg", 1, 1, AV_FIELD_UNKNOWN, 352, "arib-std-b67",
                               "*HDR (HLG) source: tone mapped to SDR"},
                          Case{"ten-bit", 1, 1, AV_FIELD_UNKNOWN, 352, "bt709", ""}}) {
        // The clean picture at field time `t`: a grey ramp with a bright bar moving across it.
        const auto grey = [&c](double x, int t) {
            const double bar = std::fmod(x - 10.0 * t + 2.0 * c.displayWidth, c.displayWidth);
            return bar < c.displayWidth / 8.0 ? 230.0 : 40.0 + 150.0 * x / c.displayWidth;
        };
        ClipRecipe recipe{.videoCodec = "mpeg2video",
                          .width = kStoredWidth,
                          .height = kHeight,
                          .seconds = 1.0,
                          .pixelAspectNum = c.pixelNum,
                          .pixelAspectDen = c.pixelDen,
                          .fieldOrder = c.fieldOrder};
        if (c.transfer != nullptr) {  // 10 bits, lossless, from the 8-bit picture through zimg
            const bool hdr = std::string_view(c.transfer) != "bt709";
            recipe.videoCodec = "ffv1";
            recipe.pixelFormat = AV_PIX_FMT_YUV420P10LE;
            recipe.transfer = av_color_transfer_from_name(c.transfer);
            recipe.primaries = hdr ? AVCOL_PRI_BT2020 : AVCOL_PRI_BT709;
            recipe.matrix = hdr ? AVCOL_SPC_BT2020_NCL : AVCOL_SPC_BT709;
            recipe.filters = hdr ? "zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt2020:"
                                   "m=bt2020nc:r=tv:agamma=0:t=" +
                                       std::string(c.transfer) + ",format=yuv420p10le"
                                 : "format=yuv420p10le";
        }
        recipe.paint = [&](int index, uint8_t* bgr, int stride) {
            for (int row = 0; row < kHeight; ++row) {
                // Of an interlaced picture, the second field is seen a field later.
                const bool second = c.fieldOrder == AV_FIELD_TT   ? row % 2 == 1
                                    : c.fieldOrder == AV_FIELD_BB ? row % 2 == 0
                                                                  : false;
                for (int column = 0; column < kStoredWidth; ++column) {
                    const double x = (column + 0.5) * c.displayWidth / kStoredWidth - 0.5;
                    const auto value = static_cast<uint8_t>(grey(x, 2 * index + (second ? 1 : 0)));
                    std::memset(bgr + row * stride + column * 3, value, 3);
                }
            }
        };
        EngineHarness harness;
        const auto clip = harness.dir() / (std::string(c.name) + ".mkv");
        test::writeClip(clip, recipe);
        for (const int32_t codec : {kCodecSparkMp3, kCodecH264Aac}) {
            SCOPED_TRACE(std::string(c.name) + ", codec " + std::to_string(codec));
            ASSERT_TRUE(convertIn(harness, codec, clip));
            for (const char* line : {kDeinterlaced, "*HDR ("}) {  // what was done, and no more
                EXPECT_EQ(harness.logText().find(line) != std::string::npos,
                          std::string_view(c.logged).starts_with(line));
            }
            const test::ReadMedia media =
                readMedia(harness.outputFolder() / (std::string(c.name) + ".flv"), true);
            ASSERT_EQ(std::tie(media.width, media.height), std::tie(c.displayWidth, kHeight));
            ASSERT_EQ(media.luma.size(), 25U);
            double worst = 100;
            for (size_t index = 0; index < media.luma.size(); ++index) {
                std::vector<uint8_t> clean(media.luma[index].size());
                for (size_t i = 0; i < clean.size(); ++i) {
                    const double x = static_cast<double>(i % static_cast<size_t>(c.displayWidth));
                    clean[i] = static_cast<uint8_t>(
                        std::lround(16 + 219 * grey(x, 2 * static_cast<int>(index)) / 255));
                }
                worst = std::min(worst, test::lumaPsnr(clean, media.luma[index]));
            }
            EXPECT_GT(worst, 25.0);  // combed or washed out: under 20 dB
        }
    }
}

}  // namespace
}  // namespace morvane
