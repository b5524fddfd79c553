#pragma once

#include <cstdint>
#include <string>

#include "batch/batch_estimate.h"
#include "batch/source_walk.h"
#include "engine/conversion_job.h"

namespace morvane::ui {

// What the window shows of a whole batch: which file of how many, the batch's time left, and
// its share for the title. The count and the durations are those the walk of the batch's
// sources has found so far: both may grow while it goes on.
class BatchProgress {
public:
    void start(uint32_t startTick);

    struct Figures {
        std::string counter;  // "File 3 of 12"
        std::string left;     // "Batch left 00:12:40", or empty while unknown
        int percent = 0;      // of the batch's media converted
    };
    // At each tick of a running batch.
    Figures tick(const ConversionJob& job, const SourceWalk& walk, uint32_t nowTick);

private:
    uint32_t startTick_ = 0;
    size_t lastIndex_ = 0;
    size_t durationsKnown_ = 0;
    BatchEstimate estimate_;
};

}  // namespace morvane::ui
