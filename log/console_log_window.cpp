#include "log/console_log_window.h"

namespace morvane {

void ConsoleLogWindow::appendText(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream_);
    std::fflush(stream_);
}

void ConsoleLogWindow::appendLink(std::string_view path) {
    appendText(path);
}

}  // namespace morvane
