#pragma once

#include <cstdio>

#include "log/log_window.h"

namespace morvane {

// A log window for headless use: text and links, as plain text, on a C stream. On a terminal
// the text is made safe for it first (terminalSafe).
class ConsoleLogWindow final : public LogWindow {
public:
    explicit ConsoleLogWindow(std::FILE* stream = stdout);

    void appendText(std::string_view text) override;
    void appendLink(std::string_view path) override;

private:
    std::FILE* stream_;
    bool terminal_;
};

}  // namespace morvane
