#include "tools/progress_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "batch/source_walk.h"
#include "engine/conversion_job.h"
#include "engine/progress.h"
#include "log/terminal_text.h"
#include "platform/tick_count.h"

namespace morvane {
namespace {

constexpr char kEraseLine[] = "\r\x1b[K";

// Below a second of work the speed says more about the start-up than about the encoding.
constexpr uint32_t kSpeedAfterMs = 1000;

std::string printableName(const std::string& path) {
    std::string name = terminalSafe(std::filesystem::path(path).filename().string());
    for (char& c : name) {
        if (c == '\n' || c == '\t') {
            c = '?';
        }
    }
    return name;
}

// The end of `name` within `room` bytes, starting at a character, behind "...".
std::string shortenedName(const std::string& name, size_t room) {
    if (name.size() <= room) {
        return name;
    }
    if (room <= 3) {
        return std::string(room, '.');
    }
    size_t from = name.size() - (room - 3);
    while (from < name.size() && (static_cast<unsigned char>(name[from]) & 0xc0) == 0x80) {
        ++from;  // not in the middle of a UTF-8 sequence
    }
    return "..." + name.substr(from);
}

}  // namespace

ProgressFigures progressFiguresOf(const ConversionJob& job, const SourceWalk& walk,
                                  uint32_t nowTick) {
    ProgressFigures figures;
    figures.fileCount = walk.fileCount();
    const auto ended = static_cast<size_t>(std::max(0, job.filesDone + job.filesNotDone));
    figures.fileNumber = std::min(ended + 1, figures.fileCount);
    if (figures.fileNumber > 0) {
        figures.name = walk.file(figures.fileNumber - 1);
    }
    figures.percent = std::clamp(progressPercent(job), 0, 100);
    figures.timeLeft = timeLeftText(job, nowTick);
    const uint32_t elapsedMs = elapsedSince(job.startTick, nowTick);
    const int64_t encoded = job.progressPosition;
    if (elapsedMs >= kSpeedAfterMs && encoded > 0) {
        figures.speed = static_cast<double>(encoded) / 10000.0 / elapsedMs;
    }
    return figures;
}

std::string progressLineText(const ProgressFigures& figures, size_t columns) {
    char counts[48];
    std::snprintf(counts, sizeof counts, "[%zu/%zu] ", figures.fileNumber, figures.fileCount);
    char rest[96];
    int length = std::snprintf(rest, sizeof rest, "  %3d%%  %s left", figures.percent,
                               figures.timeLeft.c_str());
    if (figures.speed > 0 && length > 0 && static_cast<size_t>(length) < sizeof rest) {
        std::snprintf(rest + length, sizeof rest - static_cast<size_t>(length), "  %.1fx",
                      figures.speed);
    }
    const size_t width = std::max<size_t>(columns, 1) - 1;
    const std::string fixed = std::string(counts) + rest;
    if (fixed.size() >= width) {
        return fixed.substr(0, width);
    }
    return counts + shortenedName(printableName(figures.name), width - fixed.size()) + rest;
}

TerminalProgress::TerminalProgress(std::FILE* logStream, std::FILE* terminal)
    : log_(logStream), terminal_(terminal) {}

void TerminalProgress::appendText(std::string_view text) {
    const std::lock_guard lock(mutex_);
    if (cleared_) {
        writeLocked(text);
        return;
    }
    heldBack_.append(text);
    const size_t lineEnd = heldBack_.rfind('\n');
    if (lineEnd != std::string::npos) {
        eraseLocked();
        writeLocked(std::string_view(heldBack_).substr(0, lineEnd + 1));
        heldBack_.erase(0, lineEnd + 1);
    }
}

void TerminalProgress::writeLocked(std::string_view text) {
    log_.appendText(text);
}

void TerminalProgress::appendLink(std::string_view path) {
    appendText(path);
}

void TerminalProgress::draw(const std::string& line) {
    const std::lock_guard lock(mutex_);
    if (cleared_ || !inForeground()) {
        return;
    }
    const std::string text = "\r" + line + "\x1b[K";
    std::fwrite(text.data(), 1, text.size(), terminal_);
    std::fflush(terminal_);
    drawn_ = true;
}

void TerminalProgress::clear() {
    const std::lock_guard lock(mutex_);
    eraseLocked();
    writeLocked(heldBack_);
    heldBack_.clear();
    cleared_ = true;
}

void TerminalProgress::eraseLocked() {
    // In the background the line stays: writing would stop the program (tostop).
    if (drawn_ && inForeground()) {
        std::fputs(kEraseLine, terminal_);
        std::fflush(terminal_);
    }
    drawn_ = false;
}

bool TerminalProgress::inForeground() const {
    const pid_t group = ::tcgetpgrp(::fileno(terminal_));
    // A terminal that is not the program's own never stops it for writing.
    return group == -1 || group == ::getpgrp();
}

size_t TerminalProgress::columns() const {
    winsize size{};
    if (::ioctl(::fileno(terminal_), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

}  // namespace morvane
