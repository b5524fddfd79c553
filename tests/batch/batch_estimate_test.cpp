// The whole batch's time left, on batches simulated with a fake clock: each file converts at a
// steady speed after a second of opening it, and the estimate is read at a quarter, half and
// three quarters of the batch's wall time.
#include "batch/batch_estimate.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
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
        // What the window's 500 ms tick sees, at 500 ms, 1000 ms and so on to the end of the
        // batch: the file being converted, the position in it, and the files done.
        std::vector<std::tuple<size_t, int64_t, int>> ticks;
        int64_t fileStart = 0;
        int filesDone = 0;
        for (size_t i = 0; i < batch.files.size(); ++i) {
            const File& file = batch.files[i];
            durations.push_back(file.durationKnown ? file.durationMs : 0);
            const int64_t media = file.failsAtMs >= 0 ? file.failsAtMs : file.durationMs;
            const int64_t fileEnd = fileStart + kOpeningMs +
                                    static_cast<int64_t>(static_cast<double>(media) / batch.speed);
            for (auto now = static_cast<int64_t>(500 * (ticks.size() + 1)); now < fileEnd;
                 now += 500) {
                const int64_t converting = std::max<int64_t>(0, now - fileStart - kOpeningMs);
                ticks.emplace_back(
                    i, static_cast<int64_t>(static_cast<double>(converting) * batch.speed),
                    filesDone);
            }
            fileStart = fileEnd;
            filesDone += file.failsAtMs < 0 ? 1 : 0;
        }
        const int64_t total = fileStart;
        BatchEstimate estimate(durations);
        int checked = 0;
        int lastPercent = 0;
        for (size_t tick = 0; tick < ticks.size(); ++tick) {
            const auto now = static_cast<int64_t>(500 * (tick + 1));
            const auto& [index, positionMs, done] = ticks[tick];
            estimate.update(index, positionMs, now, done);
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
