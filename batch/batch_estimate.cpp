#include "batch/batch_estimate.h"

#include <algorithm>
#include <numeric>

namespace morvane {

BatchEstimate::BatchEstimate(std::vector<int64_t> durationsMs) {
    setDurations(std::move(durationsMs));
}

void BatchEstimate::setDurations(std::vector<int64_t> durationsMs) {
    durations_ = std::move(durationsMs);
    converted_.resize(std::max(converted_.size(), durations_.size()), 0);
    durations_.resize(converted_.size(), 0);
    int64_t known = 0;
    int64_t count = 0;
    for (const int64_t duration : durations_) {
        if (duration > 0) {
            known += duration;
            ++count;
        }
    }
    averageMs_ = count > 0 ? known / count : 0;
}

int64_t BatchEstimate::durationOf(size_t index) const {
    return durations_[index] > 0 ? durations_[index] : averageMs_;
}

void BatchEstimate::update(size_t index, int64_t positionMs, int64_t elapsedMs, int filesDone) {
    if (durations_.empty()) {
        return;
    }
    index = std::min(index, durations_.size() - 1);
    // A file converted whole counts whole; one left before its end, with what it reached.
    for (; index_ < index; ++index_) {
        if (filesDone > filesDone_) {
            converted_[index_] = std::max(converted_[index_], durationOf(index_));
            ++filesDone_;
        }
    }
    // The first tick of a file may still see the position of the one before.
    if (index == index_ && positionMs >= 0) {
        converted_[index] = std::max(converted_[index], positionMs);
    }
    filesDone_ = std::max(filesDone_, filesDone);
    elapsedMs_ = elapsedMs;
}

int64_t BatchEstimate::convertedMs() const {
    return std::accumulate(converted_.begin(), converted_.end(), int64_t{0});
}

int64_t BatchEstimate::remainingMs() const {
    if (durations_.empty()) {
        return 0;
    }
    int64_t remaining = std::max<int64_t>(0, durationOf(index_) - converted_[index_]);
    for (size_t later = index_ + 1; later < durations_.size(); ++later) {
        remaining += durationOf(later);
    }
    return remaining;
}

int64_t BatchEstimate::leftMs() const {
    const int64_t converted = convertedMs();
    if (converted <= 0 || elapsedMs_ <= 0) {
        return -1;
    }
    return static_cast<int64_t>(static_cast<double>(remainingMs()) *
                                static_cast<double>(elapsedMs_) / static_cast<double>(converted));
}

int BatchEstimate::percent() const {
    const int64_t converted = convertedMs();
    const int64_t total = converted + remainingMs();
    return total <= 0 ? 0 : static_cast<int>(std::clamp<int64_t>(converted * 100 / total, 0, 100));
}

}  // namespace morvane
