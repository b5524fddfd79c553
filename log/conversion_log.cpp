#include "log/conversion_log.h"

#include <fcntl.h>

namespace morvane {

bool ConversionLog::open(const std::filesystem::path& path) {
    UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    std::lock_guard lock(mutex_);
    flushLocked(true);
    file_ = std::move(file);
    return file_.valid();
}

void ConversionLog::close() {
    std::lock_guard lock(mutex_);
    flushLocked(true);
    file_.reset();
}

void ConversionLog::flushLocked(bool withUnfinishedLine) {
    const size_t lastBreak = pending_.rfind('\n');
    const size_t end = withUnfinishedLine               ? pending_.size()
                       : lastBreak == std::string::npos ? 0
                                                        : lastBreak + 1;
    if (end == 0) {
        return;
    }
    if (file_.valid()) {
        // A failed write leaves the log to the window; there is nowhere to report it.
        writeAll(file_.get(), pending_.data(), end);
    }
    pending_.erase(0, end);
}

void ConversionLog::setWindow(LogWindow* window) {
    std::lock_guard lock(mutex_);
    window_ = window;
}

void ConversionLog::writeLine(std::string_view text) {
    write(text, false);
}

void ConversionLog::writeLink(std::string_view text) {
    write(text, true);
}

void ConversionLog::write(std::string_view text, bool isLink) {
    text = text.substr(0, text.find('\0'));
    std::lock_guard lock(mutex_);
    if (file_.valid()) {
        pending_.append(text);
        flushLocked(false);
    }
    if (window_ != nullptr) {
        if (isLink) {
            window_->appendLink(text);
        } else {
            window_->appendText(text);
        }
    }
}

ConversionLog& processLog() {
    static ConversionLog log;
    return log;
}

}  // namespace morvane
