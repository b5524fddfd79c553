// libFuzzer target: the fuzzed bytes as morvane-batch's arguments, split at NUL bytes. Any
// crash or sanitizer report is a finding, and so is a run it takes whose values break their
// ranges.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "settings/profiles.h"
#include "tools/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> arguments(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.emplace_back();
        } else {
            arguments.back() += static_cast<char>(data[i]);
        }
    }
    const morvane::ParsedCommandLine parsed = morvane::parseCommandLine(arguments);
    if (parsed.action == morvane::ParsedCommandLine::Action::Convert) {
        const morvane::CommandLineOptions& o = parsed.options;
        const bool inRange =
            !o.sources.empty() && morvane::ProfileTable::isValidIndex(o.profile) &&
            morvane::isValidSizeMode(o.sizeMode) && o.codec >= 0 &&
            o.codec < morvane::kCodecCount && o.threads >= -1 && o.threads <= 64 &&
            o.videoKbps >= 40 && o.videoKbps <= 2048 && o.audioKbps >= 16 && o.audioKbps <= 1024 &&
            (o.sizeMode != morvane::kCustomSizeMode ||
             (o.width >= 50 && o.width <= 1024 && o.height >= 50 && o.height <= 1024));
        if (!inRange) {
            std::abort();
        }
    }
    if (parsed.action == morvane::ParsedCommandLine::Action::UsageError && parsed.error.empty()) {
        std::abort();
    }
    return 0;
}
