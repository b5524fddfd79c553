#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "files/source_file_list.h"

namespace morvane {

// What a batch converts: files, and the files of folders, with the outputs in `destination`.
struct BatchSources {
    std::vector<std::string> roots;  // files and folders, in this order
    // False: every root is taken as a file (FILE mode, where a folder is refused as a source).
    bool foldersGiveTheirFiles = true;
    // A folder's sub-folders too, each output in the same sub-folder under the destination.
    bool subFolders = false;
    std::string destination;
    // a.avi gives a.avi.flv, as a DIRECTORY batch names it; else a.flv.
    bool keepExtension = false;
    // An output that exists already is left alone, and its source skipped with a log line.
    bool skipExisting = false;
    // Reads each file's duration as it is found, for the batch's time left.
    bool readDurations = false;
    // The output of the first file, where the user named it (FILE mode); else named as above.
    std::string firstOutput;
};

// Walks a batch's sources on a thread of its own and hands each file, with its output, to the
// source list as soon as it is found, so that the first file starts at once however large the
// tree. What it leaves out with a reason (a sub-folder that cannot be read, an output that
// exists, two sources for one output) goes to the list as a log line, written when the batch
// reaches it.
class SourceWalk {
public:
    SourceWalk() = default;
    SourceWalk(const SourceWalk&) = delete;
    SourceWalk& operator=(const SourceWalk&) = delete;
    ~SourceWalk();

    void start(BatchSources sources, SourceFileList& list);
    // Ends the walk where it is and lets the list's reader go on without it.
    void stop();

    // The files handed to the list so far, whose count may grow while the walk goes on.
    size_t fileCount() const;
    std::string file(size_t index) const;
    // The durations read so far, in milliseconds (0: unknown), in the files' order.
    std::vector<int64_t> durations() const;
    bool ended() const;
    // Sub-folders not read and files left out so far.
    int leftOut() const;

private:
    void walk(const std::stop_token& stopping, const BatchSources& sources, SourceFileList& list);

    mutable std::mutex mutex_;
    std::vector<std::string> files_;  // guarded by mutex_
    std::vector<int64_t> durations_;  // guarded by mutex_
    bool ended_ = true;               // guarded by mutex_
    int leftOut_ = 0;                 // guarded by mutex_
    std::jthread thread_;
};

}  // namespace morvane
