#pragma once

#include <cstdint>
#include <string>

namespace morvane {

class ConversionJob;

// The progress bar's percentage: the media time encoded over the duration; may pass 100.
// 0 while the duration is 0.
int32_t progressPercent(const ConversionJob& job);

// The time left, "hh:mm:ss", estimated from the time since the current file started (`nowTick`,
// the tick count now) and the share of that file encoded so far.
std::string timeLeftText(const ConversionJob& job, uint32_t nowTick);

// A span of `ms` milliseconds as "hh:mm:ss", the seconds cut off.
std::string clockText(int64_t ms);

// Logs the output file of the file just done and its real bit rate.
void reportRealBitrate(const ConversionJob& job);

// The bit rate figure of the report, in kilobits (of 1024) per second: `bytes` over `duration`
// (100 ns units) in whole seconds, or over the real duration when it is shorter than a second.
double realBitrate(int64_t bytes, int64_t duration);

}  // namespace morvane
