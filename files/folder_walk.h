#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

// The files of a folder for a batch, one at a time and in the order the file system gives
// them, with its sub-folders' files after its own when `recursive`; only the folders on the
// way down are held, never the whole tree. Left out: ".flv" files (in any case), outputs being
// written (when the destination is the folder itself), what is not a regular file, symbolic links
// to folders (which could lead round in a loop), and the folder `excluded` (the destination, when
// it lies inside), which is never walked.
class FolderWalk {
public:
    struct Found {
        enum class Kind { File, UnreadableFolder };
        Kind kind;
        std::string path;
        // The folder the file lies in, relative to the walk's root ("" for the root itself,
        // else "a/b").
        std::string relativeFolder;
    };

    FolderWalk(std::string root, bool recursive, std::string excluded = {});
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;
    ~FolderWalk();

    // The next file, or a sub-folder that could not be read; nothing at the end. A root that
    // cannot be read ends the walk at once.
    std::optional<Found> next();

private:
    struct Level;
    bool isExcluded(const std::string& path);

    std::vector<std::unique_ptr<Level>> levels_;  // the root first
    std::string excluded_;
    std::optional<std::pair<dev_t, ino_t>> excludedId_;
    bool recursive_;
};

}  // namespace morvane
