#pragma once

#include <filesystem>
#include <functional>
#include <vector>

#include "encoder/watermark_location.h"
#include "engine/batch_listener.h"
#include "files/source_file_list.h"
#include "log/conversion_log.h"
#include "settings/profiles.h"
#include "settings/settings_store.h"

namespace morvane {

// MORVANE_THREADS as a number from 0 to 64; 0 when it is unset or not such a number.
int threadsFromEnvironment();

// What a conversion uses from the rest of the program.
struct EngineServices {
    SettingsStore& settings;
    const ProfileTable& profiles;
    SourceFileList& sources;
    ConversionLog& log;
    BatchListener& listener;
    // Ends the program after a failure that leaves nothing to go on with (an encoder that
    // cannot be set up), once its message is logged and the half-written output is gone.
    // By default the settings are written and the process exits with this status.
    std::function<void(int status)> fatal;
    // Where the image drawn over every frame is looked for, again for each file: the first
    // path that exists is drawn; none when no path exists or the list is empty.
    std::vector<std::filesystem::path> watermarkSearch = defaultWatermarkSearchPaths();
    // Threads that encode the video (0: one per core); by default MORVANE_THREADS, else 0.
    int encoderThreads = threadsFromEnvironment();
};

// The default `fatal`: writes the settings, then ends the process at once with `status`
// (the other threads are not waited for; nothing of theirs must run on).
void endProcess(SettingsStore& settings, int status);

}  // namespace morvane
