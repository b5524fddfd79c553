#include "engine/progress.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "engine/conversion_job.h"
#include "platform/tick_count.h"

namespace morvane {

int32_t progressPercent(const ConversionJob& job) {
    const int64_t duration = job.duration;
    if (duration == 0) {
        return 0;
    }
    const double share =
        static_cast<double>(job.progressPosition) / static_cast<double>(duration) * 100.0;
    return static_cast<int32_t>(std::clamp(share, 0.0, 100.0));
}

std::string timeLeftText(const ConversionJob& job, uint32_t nowTick) {
    std::string text = "00:00:00";
    if (job.graphPosition == 0) {
        return text;
    }
    const auto elapsed = static_cast<int64_t>(elapsedSince(job.startTick, nowTick));
    const auto duration = static_cast<double>(job.duration);
    double reached = static_cast<double>(job.progressPosition);
    if (!(reached > 0)) {
        reached = duration;
    }
    const double total = duration / reached * static_cast<double>(elapsed);
    if (!(total < 9.2e18)) {
        return text;  // nothing encoded yet of a file without duration
    }
    const int64_t left = static_cast<int64_t>(total) - elapsed;
    if (left <= 0) {
        return text;
    }
    return clockText(left);
}

std::string clockText(int64_t ms) {
    const int64_t seconds = ms / 1000;
    char text[64];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

double realBitrate(int64_t bytes, int64_t duration) {
    constexpr int64_t kSecond = 10000000;
    if (duration <= 0) {
        duration = kSecond;
    }
    if (duration < kSecond) {
        // Less than a second: over the real duration rather than a division by zero.
        return static_cast<double>(bytes) * 8 * kSecond / static_cast<double>(duration) *
               0.0009765625;
    }
    const int64_t seconds = duration / kSecond;
    const int64_t bytesPerSecond = bytes / seconds;
    return static_cast<double>(bytesPerSecond * 8) * 0.0009765625;
}

void reportRealBitrate(const ConversionJob& job) {
    ConversionLog& log = job.services.log;
    log.writeLine("Output filename: ");
    log.writeLink(job.outputPath);
    log.writeLine("\n");
    struct stat info {};
    if (::stat(job.outputPath.c_str(), &info) != 0) {
        return;
    }
    // A file of unknown duration is measured over the media time actually converted.
    const int64_t duration = job.duration != 0 ? job.duration.load() : job.finalPosition.load();
    char line[64];
    std::snprintf(line, sizeof line, "Real bitrate: %5.2f KBps\n\n",
                  realBitrate(info.st_size, duration));
    log.writeLine(line);
}

}  // namespace morvane
