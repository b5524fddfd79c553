#pragma once

#include <string>
#include <string_view>

namespace morvane {

// `text` as a terminal may be given it: control characters other than line feed and tab (C0,
// DEL, and C1, which terminals take as the start of a command) and bytes that are not UTF-8
// each become '?'. A file name cannot then retitle, clear or reprogram the user's terminal.
std::string terminalSafe(std::string_view text);

}  // namespace morvane
