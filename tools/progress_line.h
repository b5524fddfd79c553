#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "log/console_log_window.h"
#include "log/log_window.h"

namespace morvane {

class ConversionJob;
class SourceWalk;

// What the progress line shows of a running batch.
struct ProgressFigures {
    size_t fileNumber = 0;  // from 1
    size_t fileCount = 0;
    std::string name;  // the current file's path
    int percent = 0;
    std::string timeLeft;  // "hh:mm:ss", as the window's label shows it
    double speed = 0;      // seconds of media encoded per second; 0 while not yet known
};

// The figures of `job`, whose batch converts the files `walk` finds in this order, at the tick
// `nowTick`.
ProgressFigures progressFiguresOf(const ConversionJob& job, const SourceWalk& walk,
                                  uint32_t nowTick);

// The line, for example "[2/5] clip.mp4   43%  00:01:12 left  1.8x": the name without its
// folder, shortened (it loses its beginning) so that the line has fewer than `columns`
// characters and never wraps. Control characters of a name are shown as '?'.
std::string progressLineText(const ProgressFigures& figures, size_t columns);

// Log text on a stream and the progress line on a terminal, which may be the same one: the
// line is erased before any log text is written, and comes back at the next draw(). Until
// clear(), log text is written in whole lines only, so that the progress line never takes the
// place of a line's beginning. Log text reaches its stream as ConsoleLogWindow writes it.
class TerminalProgress final : public LogWindow {
public:
    TerminalProgress(std::FILE* logStream, std::FILE* terminal);

    void appendText(std::string_view text) override;
    void appendLink(std::string_view path) override;

    // Replaces the line on the terminal with `line`; nothing while the program runs in the
    // background (where writing to the terminal could stop it) and after clear().
    void draw(const std::string& line);
    // Erases the line, if one is drawn, and writes the log text held back; from then on log
    // text is written as it comes, and no line is drawn again.
    void clear();
    // The terminal's width; 80 when it does not say.
    size_t columns() const;

private:
    void eraseLocked();
    void writeLocked(std::string_view text);
    bool inForeground() const;

    std::mutex mutex_;
    ConsoleLogWindow log_;  // the log text's stream
    std::FILE* terminal_;
    // Guarded by mutex_.
    bool drawn_ = false;
    bool cleared_ = false;
    std::string heldBack_;  // log text after the last line break, until clear()
};

}  // namespace morvane
