#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace morvane {

// One step of a batch: a source to convert, a log line to write when the batch reaches it
// (a sub-folder that could not be read, a file left out), or both.
struct SourceEntry {
    std::string path;    // empty for a log line alone
    std::string output;  // where it goes
    // The missing folders between this one and the output's own are made when the output is
    // written; empty: the output's folder must exist.
    std::string outputRoot;
    std::string notice;

    bool isNoticeOnly() const { return path.empty() && output.empty(); }
};

// The sources of the running batch, first in first out. A walk of the source folders may
// still be adding to it while the session takes from it: until the walk ends, takeNext()
// waits for its next entry.
class SourceFileList {
public:
    void append(SourceEntry entry);
    // A walk adds to the list from now until endFilling().
    void beginFilling();
    void endFilling();
    // The first entry, removed; nothing when the list is empty and no walk adds to it.
    std::optional<SourceEntry> takeNext();
    // Empties the list and wakes a waiting takeNext(); a walk still running goes on adding.
    void clear();
    size_t count() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable added_;
    std::deque<SourceEntry> entries_;  // guarded by mutex_
    bool filling_ = false;             // guarded by mutex_
};

// The process's list.
SourceFileList& processSourceFileList();

}  // namespace morvane
