#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace morvane {

// This machine's neighbours come and go: the least of several runs is the steadiest figure.
inline double least(const std::vector<double>& runs) {
    return *std::min_element(runs.begin(), runs.end());
}

// For ->Apply(): microseconds, seven runs, the least of them reported as "min".
inline void steadily(benchmark::internal::Benchmark* benchmark) {
    benchmark->Unit(benchmark::kMicrosecond)->Repetitions(7)->ComputeStatistics("min", least);
}

}  // namespace morvane
