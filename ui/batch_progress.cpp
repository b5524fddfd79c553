#include "ui/batch_progress.h"

#include "engine/progress.h"
#include "platform/tick_count.h"

namespace morvane::ui {

BatchProgress::BatchProgress(DurationProbe probe) : probe_(std::move(probe)) {}

BatchProgress::~BatchProgress() {
    stop();
}

void BatchProgress::start(const std::vector<std::string>& files, uint32_t startTick) {
    stop();
    fileCount_ = files.size();
    startTick_ = startTick;
    lastIndex_ = 0;
    prober_ = std::jthread([this, files](const std::stop_token& stopping) {
        std::vector<int64_t> durations;
        for (const std::string& file : files) {
            if (stopping.stop_requested()) {
                return;
            }
            durations.push_back(probe_(file));
        }
        std::lock_guard lock(mutex_);
        estimate_.emplace(std::move(durations));
    });
}

void BatchProgress::stop() {
    if (prober_.joinable()) {
        prober_.request_stop();
        prober_.join();
    }
    std::lock_guard lock(mutex_);
    estimate_.reset();
    fileCount_ = 0;
}

BatchProgress::Figures BatchProgress::tick(const ConversionJob& job, uint32_t nowTick) {
    Figures figures;
    const int done = job.filesDone;
    const auto index = static_cast<size_t>(done + job.filesNotDone);
    if (fileCount_ > 0) {
        figures.counter = "File " + std::to_string(std::min(index + 1, fileCount_)) + " of " +
                          std::to_string(fileCount_);
    }
    // Right after a file ends, the position may still be the one of the file before.
    const int64_t position = index == lastIndex_ ? job.progressPosition / 10000 : -1;
    lastIndex_ = index;
    std::lock_guard lock(mutex_);
    if (estimate_) {
        estimate_->update(index, position, elapsedSince(startTick_, nowTick), done);
        const int64_t left = estimate_->leftMs();
        if (left >= 0) {
            figures.left = "Batch left " + clockText(left);
        }
        figures.percent = estimate_->percent();
    }
    return figures;
}

}  // namespace morvane::ui
