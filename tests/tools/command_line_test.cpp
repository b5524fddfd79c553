#include "tools/command_line.h"

#include <gtest/gtest.h>

#include "settings/profiles.h"

namespace morvane {
namespace {

using Action = ParsedCommandLine::Action;

TEST(CommandLine, TakesSourcesAndOptionsInAnyOrder) {
    const ParsedCommandLine parsed = parseCommandLine(
        {"a.mp4", "-o", "out", "--profile=high", "dir", "--size", "321x241", "-qy", "--log=x.log",
         "--watermark", "mark.png", "--format=h264", "--threads=7", "--", "-strange.avi"});
    ASSERT_EQ(parsed.action, Action::Convert) << parsed.error;
    const CommandLineOptions& o = parsed.options;
    EXPECT_EQ(o.sources, (std::vector<std::string>{"a.mp4", "dir", "-strange.avi"}));
    EXPECT_EQ(o.outputFolder, "out");
    EXPECT_EQ(o.profile, 3);
    EXPECT_EQ(o.videoKbps, 700);
    EXPECT_EQ(o.sizeMode, kCustomSizeMode);
    EXPECT_EQ(o.width, 320);  // made even
    EXPECT_EQ(o.height, 240);
    EXPECT_TRUE(o.quiet);
    EXPECT_TRUE(o.overwrite);
    EXPECT_EQ(o.logPath, "x.log");
    EXPECT_EQ(o.watermark, WatermarkChoice::File);
    EXPECT_EQ(o.watermarkPath, "mark.png");
    EXPECT_EQ(o.codec, kCodecH264Aac);
    EXPECT_EQ(o.threads, 7);

    // The defaults: Medium, original size, the watermark searched for, this folder.
    const CommandLineOptions d = parseCommandLine({"clip.mp4"}).options;
    EXPECT_EQ(d.profile, 2);
    EXPECT_EQ(d.sizeMode, 2);
    EXPECT_EQ(d.outputFolder, ".");
    EXPECT_EQ(d.watermark, WatermarkChoice::Searched);
    EXPECT_FALSE(d.overwrite);
    EXPECT_EQ(d.codec, kCodecSparkMp3);
    EXPECT_EQ(d.threads, -1);  // as MORVANE_THREADS says

    EXPECT_EQ(parseCommandLine({}).action, Action::ConvertStored);
    EXPECT_EQ(parseCommandLine({"--help"}).action, Action::Help);
    EXPECT_EQ(parseCommandLine({"x", "--version"}).action, Action::Version);
}

TEST(CommandLine, RateOrAudioChoicesSelectTheCustomProfileFromTheNamedOne) {
    const CommandLineOptions o =
        parseCommandLine({"--profile", "low", "--audio=stereo", "c.avi"}).options;
    EXPECT_EQ(o.profile, ProfileTable::kCustomRow);
    EXPECT_EQ(o.videoKbps, 150);
    EXPECT_EQ(o.audioKbps, 32);
    EXPECT_EQ(o.audioMode, kAudioStereo);
    const CommandLineOptions off =
        parseCommandLine({"--video-kbps=2048", "--audio", "off", "c"}).options;
    EXPECT_EQ(off.videoKbps, 2048);
    EXPECT_EQ(off.audioKbps, 96);
    EXPECT_EQ(off.audioMode, kAudioDisabled);
}

TEST(CommandLine, RefusesWhatItCannotTakeWithOneLine) {
    struct Case {
        std::vector<std::string> arguments;
        const char* error;
    };
    const Case cases[] = {
        {{"--frob", "a"}, "unknown option '--frob'"},
        {{"-z", "a"}, "unknown option '-z'"},
        {{"a", "-o"}, "option '-o' needs a value"},
        {{"--profile=ultra", "a"}, "unknown profile 'ultra' (modem, low, medium or high)"},
        {{"--video-kbps=39", "a"}, "--video-kbps takes a number from 40 to 2048, not '39'"},
        {{"--video-kbps=4e2", "a"}, "--video-kbps takes a number from 40 to 2048, not '4e2'"},
        {{"--audio-kbps=1025", "a"}, "--audio-kbps takes a number from 16 to 1024, not '1025'"},
        {{"--audio=surround", "a"}, "unknown audio 'surround' (mono, stereo or off)"},
        {{"--format=vp6", "a"}, "unknown format 'vp6' (flv1 or h264)"},
        {{"--threads=65", "a"}, "--threads takes a number from 0 to 64, not '65'"},
        {{"--size=49x100", "a"},
         "--size takes quarter, half, original, double or WxH with W and H from 50 to 1024, not "
         "'49x100'"},
        {{"--size=big", "a"},
         "--size takes quarter, half, original, double or WxH with W and H from 50 to 1024, not "
         "'big'"},
        {{"-q"}, "no source to convert"},
    };
    for (const Case& c : cases) {
        const ParsedCommandLine parsed = parseCommandLine(c.arguments);
        EXPECT_EQ(parsed.action, Action::UsageError) << c.error;
        EXPECT_EQ(parsed.error, c.error);
    }
}

}  // namespace
}  // namespace morvane
