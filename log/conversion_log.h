#pragma once

#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

#include "log/log_window.h"
#include "platform/unique_fd.h"

namespace morvane {

// The record of what conversions do, in two sinks: the log file and a log window. Callers pass
// finished UTF-8 text that holds its own line breaks; the log adds nothing.
//
// Any thread may write. The file receives whole lines only, all the lines a text completes as
// one write at its end (the file is opened for appending), so that neither the lines of other
// threads nor those of other processes logging into the same file ever split them; the
// unfinished end of a line waits for its break, or for close(). The window gets each text at
// once, and the two sinks see the texts in the same order.
class ConversionLog {
public:
    static constexpr std::string_view kFileName = "morvane.log";

    ConversionLog() = default;
    ConversionLog(const ConversionLog&) = delete;
    ConversionLog& operator=(const ConversionLog&) = delete;

    // Opens (creating if needed) the log file for appending; an existing file is never
    // truncated. When it cannot be opened the log goes on to the window only.
    bool open(const std::filesystem::path& path = kFileName);
    void close();

    // The window that receives the texts from now on; null for none. The window must outlive
    // its registration.
    void setWindow(LogWindow* window);

    void writeLine(std::string_view text);
    // The file receives the plain text; the window shows it as a link.
    void writeLink(std::string_view text);

private:
    void write(std::string_view text, bool isLink);
    // Writes what is pending to the file: its whole lines, or also an unfinished end.
    void flushLocked(bool withUnfinishedLine);

    mutable std::mutex mutex_;
    UniqueFd file_;                // guarded by mutex_
    std::string pending_;          // guarded by mutex_: text for the file not yet written
    LogWindow* window_ = nullptr;  // guarded by mutex_
};

// The process's log, opened by start-up.
ConversionLog& processLog();

}  // namespace morvane
