#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "batch/batch_estimate.h"
#include "engine/conversion_job.h"

namespace morvane::ui {

// What the window shows of a whole batch: which file of how many, the batch's time left, and
// its share for the title. The files' durations are read on a thread of its own when the batch
// starts, so that neither the window nor the conversion waits for them; until they are known
// the time left stays empty.
class BatchProgress {
public:
    // Tells a file's duration in milliseconds (0: unknown).
    using DurationProbe = std::function<int64_t(const std::string& path)>;

    explicit BatchProgress(DurationProbe probe);
    BatchProgress(const BatchProgress&) = delete;
    BatchProgress& operator=(const BatchProgress&) = delete;
    ~BatchProgress();

    void start(const std::vector<std::string>& files, uint32_t startTick);
    // Forgets the batch; the prober stops after the file it reads.
    void stop();

    struct Figures {
        std::string counter;  // "File 3 of 12"
        std::string left;     // "Batch left 00:12:40", or empty while unknown
        int percent = 0;      // of the batch's media converted
    };
    // At each tick of a running batch.
    Figures tick(const ConversionJob& job, uint32_t nowTick);

private:
    DurationProbe probe_;
    size_t fileCount_ = 0;
    uint32_t startTick_ = 0;
    size_t lastIndex_ = 0;
    mutable std::mutex mutex_;
    std::optional<BatchEstimate> estimate_;  // guarded by mutex_, once the durations are read
    std::jthread prober_;
};

}  // namespace morvane::ui
