#include "tools/command_line.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

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
    // 321x241 made even.
    EXPECT_EQ(
        std::tie(o.outputFolder, o.profile, o.videoKbps, o.sizeMode, o.width, o.height, o.quiet,
                 o.overwrite, o.logPath, o.watermark, o.watermarkPath, o.codec, o.threads),
        std::tuple("out", 3, 700, kCustomSizeMode, 320, 240, true, true, "x.log",
                   WatermarkChoice::File, "mark.png", kCodecH264Aac, 7));

    // The defaults: Medium, original size, the watermark searched for, this folder; the
    // threads as MORVANE_THREADS says.
    const CommandLineOptions d = parseCommandLine({"clip.mp4"}).options;
    EXPECT_EQ(std::tie(d.profile, d.sizeMode, d.outputFolder, d.watermark, d.overwrite, d.codec,
                       d.threads),
              std::tuple(2, 2, ".", WatermarkChoice::Searched, false, kCodecSparkMp3, -1));

    EXPECT_EQ(parseCommandLine({}).action, Action::ConvertStored);
    EXPECT_EQ(parseCommandLine({"--help"}).action, Action::Help);
    EXPECT_EQ(parseCommandLine({"x", "--version"}).action, Action::Version);
}

TEST(CommandLine, RateOrAudioChoicesSelectTheCustomProfileFromTheNamedOne) {
    const CommandLineOptions o =
        parseCommandLine({"--profile", "low", "--audio=stereo", "c.avi"}).options;
    EXPECT_EQ(std::tie(o.profile, o.videoKbps, o.audioKbps, o.audioMode),
              std::tuple(ProfileTable::kCustomRow, 150, 32, kAudioStereo));
    const CommandLineOptions off =
        parseCommandLine({"--video-kbps=2048", "--audio", "off", "c"}).options;
    EXPECT_EQ(std::tie(off.profile, off.videoKbps, off.audioKbps, off.audioMode),
              std::tuple(ProfileTable::kCustomRow, 2048, 96, kAudioDisabled));
}

TEST(CommandLine, RefusesWhatItCannotTakeWithOneLine) {
    const std::string sizes =
        "--size takes quarter, half, original, double or WxH with W and H from 50 to 1024, not ";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
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
        {{"--size=49x100", "a"}, sizes + "'49x100'"},
        {{"--size=big", "a"}, sizes + "'big'"},
        {{"-q"}, "no source to convert"},
    };
    for (const auto& [arguments, error] : cases) {
        const ParsedCommandLine parsed = parseCommandLine(arguments);
        EXPECT_EQ(std::pair(parsed.action, parsed.error), std::pair(Action::UsageError, error));
    }
}

}  // namespace
}  // namespace morvane
