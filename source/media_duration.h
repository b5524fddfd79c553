#pragma once

#include <cstdint>
#include <string>

namespace morvane {

// The duration a file's container tells, read from its header without decoding anything, in
// milliseconds; 0 when it tells none or the file cannot be read.
int64_t probeDurationMs(const std::string& path);

}  // namespace morvane
