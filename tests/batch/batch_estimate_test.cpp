// The whole batch's time left, on batches simulated with a fake clock: each file converts at a
// steady speed after a second of opening it, and the estimate is read at a quarter, half and
// three quarters of the batch's wall time.
#include "batch/batch_estimate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvane {
namespace {

struct File {
    int64_t durationMs;  // what it is
    bool durationKnown;  // what the probe could tell
    int64_t failsAtMs;   // media time at which it fails; -1: converted whole
};

struct Batch {
    std::string name;
    std::vector<File> files;
    double speed;  // media milliseconds converted per wall millisecond
};

constexpr int64_t kOpeningMs = 1000;

// Where the simulated batch is at wall time `now`: file index, position in it, files done.
struct State {
    size_t index = 0;
    int64_t positionMs = 0;
    int filesDone = 0;
    bool ended = false;
};

State stateAt(const Batch& batch, int64_t now) {
    State state;
    int64_t fileStart = 0;
    for (size_t i = 0; i < batch.files.size(); ++i) {
        const File& file = batch.files[i];
        const int64_t media = file.failsAtMs >= 0 ? file.failsAtMs : file.durationMs;
        const int64_t wall =
            kOpeningMs + static_cast<int64_t>(static_cast<double>(media) / batch.speed);
        if (now < fileStart + wall) {
            state.index = i;
            const int64_t converting = std::max<int64_t>(0, now - fileStart - kOpeningMs);
            state.positionMs = static_cast<int64_t>(static_cast<double>(converting) * batch.speed);
            return state;
        }
        fileStart += wall;
        state.filesDone += file.failsAtMs < 0 ? 1 : 0;
    }
    state.index = batch.files.size() - 1;
    state.ended = true;
    return state;
}

int64_t wallTimeOf(const Batch& batch) {
    int64_t lo = 0;
    while (!stateAt(batch, lo).ended) {
        lo += 100;
    }
    return lo;
}

TEST(BatchEstimate, TellsTheBatchsTimeLeftFromTheDurationsAndTheSpeedSoFar) {
    const std::vector<File> tenShort(10, File{30000, true, -1});
    std::vector<File> longAndShort{{600000, true, -1}};
    longAndShort.insert(longAndShort.end(), tenShort.begin(), tenShort.end());
    std::vector<File> shortThenLong = tenShort;
    shortThenLong.push_back({600000, true, -1});
    for (const Batch& batch : {
             Batch{"equal files", std::vector<File>(6, File{60000, true, -1}), 2.0},
             Batch{"one long and many short", longAndShort, 1.5},
             Batch{"many short and one long", shortThenLong, 1.5},
             Batch{"a file of unknown duration",
                   {{60000, true, -1}, {70000, false, -1}, {50000, true, -1}, {60000, true, -1}},
                   3.0},
             // Only what it converted counts, so its failure does not make the rest look quicker.
             Batch{"a failed file",
                   {{90000, true, 5000}, {60000, true, -1}, {60000, true, -1}, {60000, true, -1}},
                   2.0},
         }) {
        SCOPED_TRACE(batch.name);
        std::vector<int64_t> durations;
        for (const File& file : batch.files) {
            durations.push_back(file.durationKnown ? file.durationMs : 0);
        }
        BatchEstimate estimate(durations);
        const int64_t total = wallTimeOf(batch);
        int checked = 0;
        int lastPercent = 0;
        // The 500 ms tick of the window.
        for (int64_t now = 500; now < total; now += 500) {
            const State state = stateAt(batch, now);
            estimate.update(state.index, state.positionMs, now, state.filesDone);
            EXPECT_GE(estimate.percent(), lastPercent) << "at " << now << " ms";
            lastPercent = estimate.percent();
            for (const double share : {0.25, 0.5, 0.75}) {
                const auto at = static_cast<int64_t>(share * static_cast<double>(total));
                if (now < at || now >= at + 500) {
                    continue;
                }
                ++checked;
                const auto real = static_cast<double>(total - now);
                EXPECT_NEAR(static_cast<double>(estimate.leftMs()), real, 0.15 * real)
                    << "at " << share * 100 << "% of the batch";
            }
        }
        EXPECT_EQ(checked, 3);
    }
}

}  // namespace
}  // namespace morvane
