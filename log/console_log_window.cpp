#include "log/console_log_window.h"

#include <unistd.h>

#include <string>

#include "log/terminal_text.h"

namespace morvane {

ConsoleLogWindow::ConsoleLogWindow(std::FILE* stream)
    : stream_(stream), terminal_(::isatty(::fileno(stream)) == 1) {}

void ConsoleLogWindow::appendText(std::string_view text) {
    const std::string shown = terminal_ ? terminalSafe(text) : std::string(text);
    std::fwrite(shown.data(), 1, shown.size(), stream_);
    std::fflush(stream_);
}

void ConsoleLogWindow::appendLink(std::string_view path) {
    appendText(path);
}

}  // namespace morvane
