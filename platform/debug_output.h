#pragma once

#include <string_view>

namespace morvane {

// The debug channel: diagnostics that are not meant for the conversion log. They go to
// standard error, one text per write so that threads do not interleave within a text, when
// the channel is enabled: by default when the environment variable MORVANE_DEBUG is set to
// anything but "0" (a per-frame trace would otherwise flood the terminal).
void debugOutput(std::string_view text);

void setDebugOutputEnabled(bool enabled);
bool isDebugOutputEnabled();

}  // namespace morvane
