#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "log/log_window.h"

namespace morvane::test {

// A log window that keeps what it is given: each text as an entry (links as "<path>"), and
// all of it run together in `text`.
class RecordingLogWindow final : public LogWindow {
public:
    void appendText(std::string_view text) override {
        std::lock_guard lock(mutex_);
        entries_.emplace_back(text);
        text_ += text;
    }
    void appendLink(std::string_view path) override {
        std::lock_guard lock(mutex_);
        std::string& entry = entries_.emplace_back("<");
        entry.append(path).append(">");
        text_ += path;
    }
    std::vector<std::string> entries() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    std::string text() const {
        std::lock_guard lock(mutex_);
        return text_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        entries_.clear();
        text_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
    std::string text_;
};

}  // namespace morvane::test
