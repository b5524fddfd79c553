#pragma once

#include <string_view>

namespace morvane {

// The window side of the conversion log. Called from any thread, one call at a time;
// an implementation must not wait for the thread that owns the window, which may itself be
// logging.
class LogWindow {
public:
    virtual ~LogWindow() = default;
    // Appends text as it is; it carries its own line breaks.
    virtual void appendText(std::string_view text) = 0;
    // Appends a path shown as a link that opens it.
    virtual void appendLink(std::string_view path) = 0;
};

}  // namespace morvane
