#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace morvane {

// How far a batch has got and how long the rest will take, from the media durations of its
// files and the speed measured so far in this batch (media time converted per wall time), so
// that a folder of one long file and many short ones is not estimated by the file count.
class BatchEstimate {
public:
    // Each file's duration in batch order, in milliseconds; 0 where unknown, which counts at
    // the average of the known ones.
    explicit BatchEstimate(std::vector<int64_t> durationsMs = {});
    // The batch's files as known now: a walk of its folders adds files, and their durations
    // as it reads them.
    void setDurations(std::vector<int64_t> durationsMs);

    // The batch is at file `index` (from 0), with `positionMs` of its media converted, after
    // `elapsedMs` since the batch started; `filesDone` files were converted whole so far (a
    // file left before its end counts with what was converted of it).
    void update(size_t index, int64_t positionMs, int64_t elapsedMs, int filesDone);

    // The wall time the rest of the batch takes at the speed so far; -1 while nothing has been
    // converted.
    int64_t leftMs() const;
    // The share of the batch's media converted, 0 to 100.
    int percent() const;

private:
    int64_t durationOf(size_t index) const;
    int64_t convertedMs() const;
    int64_t remainingMs() const;

    std::vector<int64_t> durations_;
    std::vector<int64_t> converted_;  // of each file, as far as it got
    int64_t averageMs_ = 0;
    size_t index_ = 0;
    int filesDone_ = 0;
    int64_t elapsedMs_ = 0;
};

}  // namespace morvane
