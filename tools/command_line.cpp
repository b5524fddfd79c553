#include "tools/command_line.h"

#include <getopt.h>

#include <array>
#include <charconv>
#include <optional>
#include <string_view>

#include "settings/profiles.h"
#include "settings/setting_keys.h"
#include "settings/settings_rules.h"

namespace morvane {
namespace {

enum LongOnly : int {
    kProfileOption = 256,
    kVideoKbpsOption,
    kAudioKbpsOption,
    kAudioOption,
    kSizeOption,
    kFormatOption,
    kThreadsOption,
    kWatermarkOption,
    kNoWatermarkOption,
    kLogOption,
    kVersionOption,
};

constexpr std::array<option, 17> kOptions{{
    {"output", required_argument, nullptr, 'o'},
    {"recursive", no_argument, nullptr, 'r'},
    {"profile", required_argument, nullptr, kProfileOption},
    {"video-kbps", required_argument, nullptr, kVideoKbpsOption},
    {"audio-kbps", required_argument, nullptr, kAudioKbpsOption},
    {"audio", required_argument, nullptr, kAudioOption},
    {"size", required_argument, nullptr, kSizeOption},
    {"format", required_argument, nullptr, kFormatOption},
    {"threads", required_argument, nullptr, kThreadsOption},
    {"watermark", required_argument, nullptr, kWatermarkOption},
    {"no-watermark", no_argument, nullptr, kNoWatermarkOption},
    {"overwrite", no_argument, nullptr, 'y'},
    {"quiet", no_argument, nullptr, 'q'},
    {"log", required_argument, nullptr, kLogOption},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersionOption},
    {nullptr, 0, nullptr, 0},
}};

constexpr std::array<std::string_view, 4> kProfileNames{"modem", "low", "medium", "high"};
constexpr std::array<std::string_view, 4> kSizeNames{"quarter", "half", "original", "double"};
constexpr std::array<std::string_view, 3> kAudioNames{"mono", "stereo", "off"};
// As FFmpeg names the video codecs; the positions are the values of "Codec".
constexpr std::array<std::string_view, 2> kFormatNames{"flv1", "h264"};

template <size_t N>
std::optional<int32_t> indexOf(const std::array<std::string_view, N>& names,
                               std::string_view name) {
    for (size_t i = 0; i < N; ++i) {
        if (names[i] == name) {
            return static_cast<int32_t>(i);
        }
    }
    return std::nullopt;
}

// A whole decimal number within the range; nothing else.
std::optional<int32_t> numberIn(std::string_view text, ValueRange range) {
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < range.minimum ||
        value > range.maximum) {
        return std::nullopt;
    }
    return value;
}

ParsedCommandLine usageError(std::string message) {
    ParsedCommandLine parsed;
    parsed.action = ParsedCommandLine::Action::UsageError;
    parsed.error = std::move(message);
    return parsed;
}

// How the user wrote the option that getopt_long refused: optopt names a known option that
// lacked its value, or an unknown short one; an unknown long one is the argument itself.
std::string refusedOption(char* const* argv) {
    if (optopt == 0) {
        const std::string_view argument = argv[optind - 1];
        return std::string(argument.substr(0, argument.find('=')));
    }
    if (optopt < kProfileOption) {
        return std::string("-") + static_cast<char>(optopt);
    }
    for (const option& known : kOptions) {
        if (known.name != nullptr && known.val == optopt) {
            return std::string("--") + known.name;
        }
    }
    return "?";
}

std::string rangeText(ValueRange range) {
    return "from " + std::to_string(range.minimum) + " to " + std::to_string(range.maximum);
}

}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    if (arguments.empty()) {
        return parsed;
    }
    std::vector<std::string> copies = arguments;
    copies.insert(copies.begin(), "morvane-batch");
    std::vector<char*> argv;
    for (std::string& argument : copies) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    CommandLineOptions& o = parsed.options;
    std::optional<int32_t> videoKbps;
    std::optional<int32_t> audioKbps;
    std::optional<int32_t> audioMode;
    bool help = false;
    bool version = false;

    optind = 0;  // a fresh scan, also when called again
    opterr = 0;
    const int argc = static_cast<int>(argv.size()) - 1;
    for (;;) {
        const int option = getopt_long(argc, argv.data(), ":o:ryqh", kOptions.data(), nullptr);
        if (option == -1) {
            break;
        }
        const std::string_view value = optarg != nullptr ? optarg : "";
        switch (option) {
            case 'o':
                o.outputFolder = value;
                break;
            case kProfileOption: {
                const auto row = indexOf(kProfileNames, value);
                if (!row) {
                    return usageError("unknown profile '" + std::string(value) +
                                      "' (modem, low, medium or high)");
                }
                o.profile = *row;
                break;
            }
            case kVideoKbpsOption:
            case kAudioKbpsOption: {
                const bool video = option == kVideoKbpsOption;
                const ValueRange range = video ? kCustomVideoRange : kCustomAudioRange;
                const std::optional<int32_t> kbps = numberIn(value, range);
                if (!kbps) {
                    return usageError(std::string(video ? "--video-kbps" : "--audio-kbps") +
                                      " takes a number " + rangeText(range) + ", not '" +
                                      std::string(value) + "'");
                }
                (video ? videoKbps : audioKbps) = kbps;
                break;
            }
            case kAudioOption:
                audioMode = indexOf(kAudioNames, value);
                if (!audioMode) {
                    return usageError("unknown audio '" + std::string(value) +
                                      "' (mono, stereo or off)");
                }
                break;
            case kFormatOption:
                if (const auto format = indexOf(kFormatNames, value)) {
                    o.codec = *format;
                    break;
                }
                return usageError("unknown format '" + std::string(value) + "' (flv1 or h264)");
            case kThreadsOption: {
                const auto threads = numberIn(value, {0, 64});
                if (!threads) {
                    return usageError("--threads takes a number from 0 to 64, not '" +
                                      std::string(value) + "'");
                }
                o.threads = *threads;
                break;
            }
            case kSizeOption: {
                if (const auto mode = indexOf(kSizeNames, value)) {
                    o.sizeMode = *mode;
                    break;
                }
                const size_t x = value.find('x');
                const auto width = x == std::string_view::npos
                                       ? std::nullopt
                                       : numberIn(value.substr(0, x), kFrameSizeRange);
                const auto height = x == std::string_view::npos
                                        ? std::nullopt
                                        : numberIn(value.substr(x + 1), kFrameSizeRange);
                if (!width || !height) {
                    return usageError(
                        "--size takes quarter, half, original, double or WxH with "
                        "W and H " +
                        rangeText(kFrameSizeRange) + ", not '" + std::string(value) + "'");
                }
                o.sizeMode = kCustomSizeMode;
                o.width = *width & ~1;  // the encoder takes even sizes
                o.height = *height & ~1;
                break;
            }
            case kWatermarkOption:
                o.watermark = WatermarkChoice::File;
                o.watermarkPath = value;
                break;
            case kNoWatermarkOption:
                o.watermark = WatermarkChoice::None;
                o.watermarkPath.clear();
                break;
            case 'r':
                o.recursive = true;
                break;
            case 'y':
                o.overwrite = true;
                break;
            case 'q':
                o.quiet = true;
                break;
            case kLogOption:
                o.logPath = value;
                break;
            case 'h':
                help = true;
                break;
            case kVersionOption:
                version = true;
                break;
            case ':':
                return usageError("option '" + refusedOption(argv.data()) + "' needs a value");
            default:
                return usageError("unknown option '" + refusedOption(argv.data()) + "'");
        }
    }
    if (help) {
        parsed.action = ParsedCommandLine::Action::Help;
        return parsed;
    }
    if (version) {
        parsed.action = ParsedCommandLine::Action::Version;
        return parsed;
    }
    for (int i = optind; i < argc; ++i) {
        o.sources.emplace_back(argv[i]);
    }
    if (o.sources.empty()) {
        return usageError("no source to convert");
    }
    // The rates and audio of the named profile, unless one is given: then it is the Custom row.
    const Profile& named = ProfileTable::presetRow(o.profile);
    o.videoKbps = videoKbps.value_or(named.videoKbps);
    o.audioKbps = audioKbps.value_or(named.audioKbps);
    o.audioMode = audioMode.value_or(named.audioMode);
    if (videoKbps || audioKbps || audioMode) {
        o.profile = ProfileTable::kCustomRow;
    }
    parsed.action = ParsedCommandLine::Action::Convert;
    return parsed;
}

void applyOptions(const CommandLineOptions& options, SettingsStore& store, ProfileTable& table) {
    resetToDefaults(store);
    store.setText(keys::kDestinationPath, options.outputFolder);
    editCustomVideoRate(store, options.videoKbps);
    editCustomAudioRate(store, options.audioKbps);
    store.setNumber(keys::kCustomAudioMode, options.audioMode);
    seedCustomRow(store, table);
    selectProfile(store, options.profile);
    store.setNumber(keys::kSizeMode, options.sizeMode);
    store.setNumber(keys::kCodec, options.codec);
    if (options.sizeMode == kCustomSizeMode) {
        editWidth(store, options.width);
        editHeight(store, options.height);
    }
}

std::string helpText() {
    return R"(Usage: morvane-batch [OPTION]... SOURCE...
  or:  morvane-batch
Convert video files into Flash Video (FLV) files.

Each SOURCE is a file, or a folder whose files are converted in turn (.flv files
are skipped, and so are sub-folders unless -r is given). Each output is named
after its source: clip.mp4 gives clip.flv. Without arguments, convert what the stored settings name, as
the window's Convert! does. The log goes to standard output and to a log file;
when standard error is a terminal, a progress line shows the file, the share
done, the time left and the speed.

  -o, --output=DIR        write the outputs into DIR, made if missing
                            (default: the current folder)
  -r, --recursive         convert the files of the folders' sub-folders too,
                            each output in the same sub-folder under DIR
                            (made when its first output is written); links
                            to folders are not followed, DIR is not walked
      --profile=NAME      modem, low, medium (default) or high
      --video-kbps=N      video bit rate, 40 to 2048 (Custom profile)
      --audio-kbps=N      audio bit rate, 16 to 1024 (Custom profile)
      --audio=MODE        mono, stereo or off (Custom profile)
      --size=SIZE         quarter, half, original (default), double, or WxH
                            with W and H from 50 to 1024, made even
      --format=FORMAT     flv1 (default): Sorenson Spark video and MP3 audio,
                            which every Flash player plays; or h264: H.264
                            video and AAC audio, for Flash 9 and later, web
                            players (flv.js, mpegts.js) and RTMP servers
      --threads=N         threads that encode flv1 video, 1 to 64, or 0 for one
                            per core (the default, unless MORVANE_THREADS says);
                            two at most, and the bytes do not change with them;
                            h264 always encodes on two threads
      --watermark=FILE    draw the image FILE over every frame
      --no-watermark      draw no watermark
  -y, --overwrite         replace outputs that exist already
  -q, --quiet             print no log text (the log file still gets it)
      --log=FILE          write the log to FILE (default: morvane.log)
  -h, --help              display this help and exit
      --version           output version information and exit

Any of --video-kbps, --audio-kbps and --audio selects the Custom profile, with
the other values of the named (or default) profile.

Exit status:
 0  every source was converted,
 1  a source failed or was skipped, or the run was stopped,
 2  the command line was wrong.

Examples:
  morvane-batch holiday.mp4
        Convert holiday.mp4 into holiday.flv in the current folder.
  morvane-batch -o ~/flv --size=half clips/
        Convert every file of clips/ at half size into ~/flv.
  morvane-batch -r -o ~/flv phone/
        Convert phone/ and all its sub-folders, phone/2026-05/a.mp4 into
        ~/flv/2026-05/a.flv.
  morvane-batch --profile=high --no-watermark -y talk.mkv
        Convert at the High profile without a watermark, replacing talk.flv.
  morvane-batch --format=h264 -o www/ talk.mkv
        Convert into H.264 and AAC, for a web page's FLV player.
)";
}

}  // namespace morvane
