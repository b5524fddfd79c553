#include "ui/batch_progress.h"

#include <algorithm>

#include "engine/progress.h"
#include "platform/tick_count.h"

namespace morvane::ui {

void BatchProgress::start(uint32_t startTick) {
    startTick_ = startTick;
    lastIndex_ = 0;
    durationsKnown_ = 0;
    estimate_ = BatchEstimate();
}

BatchProgress::Figures BatchProgress::tick(const ConversionJob& job, const SourceWalk& walk,
                                           uint32_t nowTick) {
    Figures figures;
    const int done = job.filesDone;
    const auto index = static_cast<size_t>(done + job.filesNotDone);
    const size_t fileCount = walk.fileCount();
    if (fileCount > 0) {
        figures.counter = "File " + std::to_string(std::min(index + 1, fileCount)) + " of " +
                          std::to_string(fileCount);
    }
    // Right after a file ends, the position may still be the one of the file before.
    const int64_t position = index == lastIndex_ ? job.progressPosition / 10000 : -1;
    lastIndex_ = index;
    std::vector<int64_t> durations = walk.durations();
    if (durations.empty()) {
        return figures;  // until the first is read, nothing is known of the time left
    }
    if (durations.size() != durationsKnown_ || fileCount > durations.size()) {
        durationsKnown_ = durations.size();
        durations.resize(std::max(fileCount, durations.size()), 0);
        estimate_.setDurations(std::move(durations));
    }
    estimate_.update(index, position, elapsedSince(startTick_, nowTick), done);
    const int64_t left = estimate_.leftMs();
    if (left >= 0) {
        figures.left = "Batch left " + clockText(left);
    }
    figures.percent = estimate_.percent();
    return figures;
}

}  // namespace morvane::ui
