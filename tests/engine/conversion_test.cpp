// Whole batches through the real engine, checked by reading the outputs back with libavformat.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <thread>

#include "platform/tick_count.h"
#include "settings/setting_keys.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/media.h"
#include "tests/support/media_writer.h"

namespace morvane {
namespace {

using namespace std::chrono_literals;
using test::ClipSpec;
using test::EngineHarness;
using test::readMedia;

// Clips shared by the tests of this file, made once.
class Clips : public ::testing::Environment {
public:
    static std::filesystem::path folder() { return folder_->path(); }
    static std::filesystem::path clip() { return folder() / "clip.mp4"; }        // 640x360, 2 s
    static std::filesystem::path odd() { return folder() / "odd.avi"; }          // 321x241, 1 s
    static std::filesystem::path shortClip() { return folder() / "short.mkv"; }  // 160x120, 0.5 s
    static std::filesystem::path big() { return folder() / "big.mkv"; }          // 1920x1080, 2 s

    void SetUp() override {
        folder_ = std::make_unique<test::TempDir>();
        ClipSpec main;
        main.container = "mp4";
        main.videoCodec = "libx264";
        main.width = 640;
        main.height = 360;
        test::writeClip(clip(), main);
        ClipSpec odd;
        odd.container = "avi";
        odd.audioCodec = "libmp3lame";
        odd.width = 321;
        odd.height = 241;
        odd.seconds = 1.0;
        test::writeClip(Clips::odd(), odd);
        ClipSpec brief;
        brief.width = 160;
        brief.height = 120;
        brief.seconds = 0.5;
        test::writeClip(shortClip(), brief);
        ClipSpec large;
        large.width = 1920;
        large.height = 1080;
        test::writeClip(big(), large);
    }
    void TearDown() override { folder_.reset(); }

private:
    static inline std::unique_ptr<test::TempDir> folder_;
};

const auto* const kClips = ::testing::AddGlobalTestEnvironment(new Clips);

TEST(Conversion, WritesFlv1AndMp3InTimeWithTheSource) {
    EngineHarness harness;
    harness.convertFile(Clips::clip());
    ASSERT_TRUE(harness.convert());
    const auto output = harness.outputFolder() / "clip.flv";
    const test::ReadMedia media = readMedia(output);
    ASSERT_TRUE(media.opened) << harness.logText();
    EXPECT_EQ(media.videoCodec, AV_CODEC_ID_FLV1);
    EXPECT_EQ(media.audioCodec, AV_CODEC_ID_MP3);
    EXPECT_EQ(media.width, 640);
    EXPECT_EQ(media.height, 360);
    EXPECT_EQ(media.sampleRate, 44100);
    EXPECT_EQ(media.channels, 2);
    EXPECT_EQ(media.decodeErrors, 0);
    EXPECT_EQ(media.decodedVideoFrames, 50);
    const std::string bytes = test::readFile(output);
    EXPECT_NEAR(test::flvMetadataNumber(bytes, "duration"), 2.0, 0.04);
    EXPECT_EQ(test::flvMetadataNumber(bytes, "filesize"), static_cast<double>(bytes.size()));

    int64_t firstAudio = -1, lastAudio = 0, firstVideo = -1, lastVideo = 0;
    for (const test::ReadPacket& packet : media.packets) {
        int64_t& first = packet.isVideo ? firstVideo : firstAudio;
        int64_t& last = packet.isVideo ? lastVideo : lastAudio;
        if (first < 0) {
            first = packet.pts;
        }
        last = packet.pts;
    }
    EXPECT_LE(firstVideo, 40);
    EXPECT_LE(firstAudio, 40);
    EXPECT_NEAR(static_cast<double>(lastVideo), 1960.0, 40.0);
    EXPECT_NEAR(static_cast<double>(lastAudio), 1975.0, 40.0);
    EXPECT_EQ(harness.endNotices(), 1);
    EXPECT_EQ(harness.button(), "Convert!");
}

TEST(Conversion, LogsEachFileInItsOwnWords) {
    EngineHarness harness;
    std::filesystem::create_directories(harness.dir() / "in");
    std::filesystem::copy_file(Clips::shortClip(), harness.dir() / "in/a.mkv");
    harness.convertFolder(harness.dir() / "in");
    ASSERT_TRUE(harness.convert());
    const std::string source = (harness.dir() / "in/a.mkv").string();
    const std::string output = (harness.outputFolder() / "a.mkv.flv").string();
    const std::string log = harness.logText();
    const std::string expectedStart =
        "Converting initialization: " + source +
        "...done.\nConverting process... done\nOutput filename: " + output + "\nReal bitrate: ";
    EXPECT_EQ(log.substr(0, expectedStart.size()), expectedStart);
    EXPECT_TRUE(log.ends_with(" KBps\n\n")) << log;

    // A second file says it differently.
    EngineHarness two;
    std::filesystem::create_directories(two.dir() / "in");
    std::filesystem::copy_file(Clips::shortClip(), two.dir() / "in/a.mkv");
    std::filesystem::copy_file(Clips::shortClip(), two.dir() / "in/b.mkv");
    two.convertFolder(two.dir() / "in");
    ASSERT_TRUE(two.convert());
    const std::string both = two.logText();
    EXPECT_NE(both.find("KBps\n\nConverting initialization: " + (two.dir() / "in").string()),
              std::string::npos)
        << both;
    EXPECT_NE(both.find(".mkv... done\nConverting process... done\nOutput filename: "),
              std::string::npos)
        << both;
}

TEST(Conversion, SizesTheOutputByTheSizeMode) {
    struct Case {
        int sizeMode;
        int width;
        int height;
        int expectedWidth;
        int expectedHeight;
    };
    for (const Case& c : {Case{1, 0, 0, 160, 120}, Case{4, 321, 240, 320, 240},
                          Case{2, 0, 0, 320, 240}, Case{0, 0, 0, 80, 60}}) {
        EngineHarness harness;
        harness.settings().setNumber(keys::kSizeMode, c.sizeMode);
        if (c.sizeMode == kCustomSizeMode) {
            harness.settings().setNumber(keys::kWidth, c.width);
            harness.settings().setNumber(keys::kHeight, c.height);
        }
        harness.convertFile(Clips::odd());
        ASSERT_TRUE(harness.convert());
        const test::ReadMedia media = readMedia(harness.outputFolder() / "odd.flv");
        EXPECT_EQ(media.width, c.expectedWidth) << "size mode " << c.sizeMode;
        EXPECT_EQ(media.height, c.expectedHeight) << "size mode " << c.sizeMode;
        EXPECT_EQ(media.decodeErrors, 0);
        EXPECT_EQ(media.decodedVideoFrames, 25);
    }
}

TEST(Conversion, TakesTheAudioFormatOfTheProfile) {
    struct Case {
        int profile;
        int customAudioMode;
        int sampleRate;
        int channels;
    };
    for (const Case& c : {Case{0, 0, 22050, 1}, Case{1, 0, 44100, 1}, Case{3, 0, 44100, 2},
                          Case{4, kAudioStereo, 22050, 2}, Case{4, kAudioDisabled, 0, 0}}) {
        EngineHarness harness;
        selectProfile(harness.settings(), c.profile);
        selectCustomAudioMode(harness.settings(), harness.profiles(), c.customAudioMode);
        harness.convertFile(Clips::shortClip());
        ASSERT_TRUE(harness.convert());
        const test::ReadMedia media = readMedia(harness.outputFolder() / "short.flv");
        ASSERT_TRUE(media.opened) << harness.logText();
        EXPECT_EQ(media.sampleRate, c.sampleRate) << "profile " << c.profile;
        EXPECT_EQ(media.channels, c.channels) << "profile " << c.profile;
        EXPECT_EQ(media.decodeErrors, 0);
        EXPECT_EQ(media.audioCodec != 0, c.channels != 0);
        if (c.channels == 0) {
            EXPECT_NE(harness.logText().find("\n*Selected audio mode is not accepted for this "
                                             "file\r\n... "),
                      std::string::npos);
        }
    }
}

TEST(Conversion, AFolderBatchConvertsTheVideosAndFailsTheRest) {
    EngineHarness harness;
    const auto in = harness.dir() / "in";
    std::filesystem::create_directories(in / "sub");
    std::filesystem::copy_file(Clips::shortClip(), in / "a.mkv");
    std::filesystem::copy_file(Clips::odd(), in / "b.AVI");
    test::writeFile(in / "notes.txt", "not a video\n");
    test::writeFile(in / "old.FLV", "skipped");
    harness.convertFolder(in);
    ASSERT_TRUE(harness.convert());
    EXPECT_TRUE(std::filesystem::exists(harness.outputFolder() / "a.mkv.flv"));
    EXPECT_TRUE(std::filesystem::exists(harness.outputFolder() / "b.avi.flv"));
    EXPECT_FALSE(std::filesystem::exists(harness.outputFolder() / "notes.txt.flv"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(harness.outputFolder()),
                            std::filesystem::directory_iterator()),
              2);
    const std::string log = harness.logText();
    EXPECT_NE(log.find("aborted.\nREASON: Could not connect source filter to video grabber\n"
                       "Deleting output file...done\n\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(harness.endNotices(), 1);

    EngineHarness empty;
    std::filesystem::create_directories(empty.dir() / "nothing/sub");
    empty.convertFolder(empty.dir() / "nothing");
    ASSERT_TRUE(empty.convert());
    EXPECT_EQ(empty.logText(), "No files found in " + (empty.dir() / "nothing").string() + ".\n\n");
    EXPECT_FALSE(empty.runner().isRunning());
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
            for (int waited = 0; waited < 6000 && !finished; ++waited) {
                std::this_thread::sleep_for(10ms);
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
    // Stop once the first file is being encoded.
    while (harness.logText().find("Converting process... ") == std::string::npos) {
        std::this_thread::sleep_for(2ms);
    }
    std::this_thread::sleep_for(50ms);
    const auto stopAsked = std::chrono::steady_clock::now();
    harness.runner().convertPressed();  // the button now reads "Stop"
    EXPECT_LT(std::chrono::steady_clock::now() - stopAsked, 1s);
    EXPECT_FALSE(harness.runner().isRunning());
    EXPECT_EQ(harness.button(), "Convert!");
    EXPECT_EQ(harness.sources().count(), 0U);
    EXPECT_EQ(harness.endNotices(), 0);
    EXPECT_TRUE(std::filesystem::is_empty(harness.outputFolder()));
    const std::string log = harness.logText();
    EXPECT_TRUE(log.ends_with("aborted\nDeleting output file...done\n\n")) << log;
}

TEST(Conversion, NeverDestroysAUsersFile) {
    EngineHarness harness;
    test::writeFile(harness.dir() / "notes.txt", "not a video\n");
    test::writeFile(harness.outputFolder() / "notes.flv", "precious");
    harness.convertFile(harness.dir() / "notes.txt");
    ASSERT_TRUE(harness.convert());
    EXPECT_EQ(test::readFile(harness.outputFolder() / "notes.flv"), "precious");
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
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(same.outputFolder()),
                            std::filesystem::directory_iterator()),
              1);

    // A source that is a folder, or that has gone: refused, and nothing is left behind.
    EngineHarness gone;
    gone.convertFile(gone.dir() / "vanished.avi");
    ASSERT_TRUE(gone.convert());
    EXPECT_TRUE(gone.logText().ends_with("failed\nDirectory is not a valid source\n\n"))
        << gone.logText();
    EXPECT_TRUE(std::filesystem::is_empty(gone.outputFolder()));
}

TEST(Conversion, KeepsMemoryBoundedOnLargeFrames) {
    // 2160p pictures of 12 MB: the encoder's look-ahead alone holds back more than the high
    // mark, so the graph must be paused, and no thread may produce far past the mark.
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
    EXPECT_GT(job.peakQueuedBytes, ConversionJob::kPauseAbove);
    EXPECT_LE(job.peakQueuedBytes, ConversionJob::kPauseAbove + 2 * picture);
    harness.runner().stopAndFinish();
    const test::ReadMedia media = readMedia(harness.outputFolder() / "big.flv");
    EXPECT_EQ(media.decodedVideoFrames, 50);
    EXPECT_EQ(media.decodeErrors, 0);
}

TEST(Conversion, SurvivesStopsAtAnyMoment) {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    constexpr int kRounds = 60;
#else
    constexpr int kRounds = 300;
#endif
    EngineHarness harness;
    harness.convertFile(Clips::shortClip());
    std::mt19937 random(42);
    std::uniform_int_distribution<int> delay(0, 60);
    for (int round = 0; round < kRounds; ++round) {
        harness.runner().convertPressed();
        std::this_thread::sleep_for(std::chrono::milliseconds(delay(random)));
        harness.runner().stopAndFinish();
        ASSERT_FALSE(harness.runner().isRunning());
        for (const auto& entry : std::filesystem::directory_iterator(harness.outputFolder())) {
            // Either the finished file, or nothing: never a half file.
            ASSERT_EQ(entry.path().filename(), "short.flv") << "round " << round;
        }
        // However early the stop, the file's line gets its end, unless the file was read
        // whole and stays, which is told by nothing.
        const bool stays = std::filesystem::remove(harness.outputFolder() / "short.flv");
        ASSERT_TRUE(stays || !harness.logText().ends_with("Converting process... "))
            << "round " << round;
    }
}

TEST(Conversion, TimeLeftCountsFromTheStartOfTheCurrentFile) {
    // Holds the session back after the first file, so that the second begins measurably later
    // than the batch, and notes when the second begins. Also the batch's owner.
    class Hook final : public LogWindow, public BatchListener, public BatchPanel {
    public:
        void appendText(std::string_view text) override {
            if (text == "done\n" && !held_.exchange(true)) {
                std::this_thread::sleep_for(20ms);
            }
            if (text == "Converting initialization: " && ++starts == 2) {
                secondStart = tickCount();
            }
        }
        void appendLink(std::string_view) override {}
        void batchEnded() override { ended.set(); }
        void lock(bool) override {}
        void setConvertButton(std::string_view, bool) override {}

        std::atomic<int> starts{0};
        std::atomic<uint32_t> secondStart{0};
        AutoResetEvent ended;

    private:
        std::atomic<bool> held_{false};
    };

    test::TempDir dir;
    std::filesystem::create_directories(dir / "in");
    std::filesystem::create_directories(dir / "out");
    std::filesystem::copy_file(Clips::shortClip(), dir / "in/a.mkv");
    std::filesystem::copy_file(Clips::shortClip(), dir / "in/b.mkv");
    SettingsStore settings(std::make_unique<FileSettingsBacking>(dir / "settings.reg"));
    resetToDefaults(settings);
    settings.setNumber(keys::kMode, kModeDirectory);
    settings.setText(keys::kSource, (dir / "in").string());
    settings.setText(keys::kDestinationPath, (dir / "out").string());
    ProfileTable profiles;
    SourceFileList sources;
    Hook hook;
    ConversionLog log;
    log.setWindow(&hook);
    EngineServices services{settings, profiles, sources, log, hook, {}};
    BatchRunner runner(services, hook);

    ASSERT_TRUE(runner.startBatch());
    ASSERT_TRUE(hook.ended.waitFor(120s)) << "the batch did not end within 120 s";
    const ConversionJob& job = *runner.currentJob();
    EXPECT_EQ(job.filesDone.load(), 2);
    ASSERT_EQ(hook.starts.load(), 2);
    EXPECT_GE(static_cast<int32_t>(ticksBetween(hook.secondStart.load(), job.startTick.load())), 0)
        << "the second file began at tick " << hook.secondStart.load()
        << ", the time left counts from " << job.startTick.load();
    runner.stopAndFinish();
}

}  // namespace
}  // namespace morvane
