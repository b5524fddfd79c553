#pragma once

#include <string_view>

namespace morvane {

// The debug channel: diagnostics that are not meant for the conversion log go to standard
// error, one text per write so that threads do not interleave within a text.
void debugOutput(std::string_view text);

}  // namespace morvane
