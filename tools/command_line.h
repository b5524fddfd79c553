#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace morvane {

// Where a command-line run takes its watermark from: the usual search, a file, or none.
enum class WatermarkChoice { Searched, File, None };

// What a command-line run converts, and how. Starts from the built-in defaults.
struct CommandLineOptions {
    std::vector<std::string> sources;
    std::string outputFolder = ".";
    int32_t profile = 2;    // a row of the profile table; 4 is Custom
    int32_t videoKbps = 0;  // for the Custom row, from the named or default profile
    int32_t audioKbps = 0;
    int32_t audioMode = 0;
    int32_t sizeMode = 2;  // a row of the size-mode table; 4 is Custom
    int32_t width = 0;     // for the Custom size, even
    int32_t height = 0;
    int32_t codec = 0;     // as stored under "Codec": 0 Sorenson Spark + MP3, 1 H.264 + AAC
    int32_t threads = -1;  // video encoding threads (0: one per core); -1: MORVANE_THREADS
    WatermarkChoice watermark = WatermarkChoice::Searched;
    std::string watermarkPath;
    bool recursive = false;  // the folders' sub-folders too, mirrored under outputFolder
    bool overwrite = false;
    bool quiet = false;
    std::string logPath = "morvane.log";
};

struct ParsedCommandLine {
    enum class Action { ConvertStored, Convert, Help, Version, UsageError };
    Action action = Action::ConvertStored;
    CommandLineOptions options;
    std::string error;  // for UsageError: one line naming the problem
};

// The arguments after the program's name. No arguments: the stored settings, as the window's
// Convert! does.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments);

class SettingsStore;
class ProfileTable;
// Fills a store (and the Custom row) from the built-in defaults and the options, as the window
// would after the same choices.
void applyOptions(const CommandLineOptions& options, SettingsStore& store, ProfileTable& table);

// What --help prints.
std::string helpText();

}  // namespace morvane
