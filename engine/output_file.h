#pragma once

#include <string>

#include "platform/unique_fd.h"

namespace morvane {

// The file written for one source, which takes the output path only when the conversion is
// done, so that a failed, stopped or killed conversion never leaves a half file nor destroys
// an existing file of that name.
//
// Where the file system allows it, the file has no name at all while it is written (O_TMPFILE):
// whatever ends the process, power cuts included, the kernel frees it and nothing is left
// behind. When it is done its data reach the disk, it is linked under a hidden unique name and
// renamed over the output path, and the folder is flushed, so the name always holds a whole
// file. Where O_TMPFILE is refused (some network and FUSE file systems), the file is a hidden
// ".NAME.<random>.part" beside the output from the start.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Creates the file in the output path's folder; false when it cannot be.
    bool create(const std::string& outputPath);
    bool isOpen() const { return fd_.valid(); }
    int fd() const { return fd_.get(); }
    // A path that opens the same file while it is written (for the muxer's read-back).
    const std::string& temporaryPath() const { return temporaryPath_; }
    bool exists() const { return !temporaryPath_.empty(); }

    // Flushes the file's data to disk; false when they cannot all be written. A named file is
    // closed; an unnamed one stays open until keep() or discard(), as closing it would free it.
    bool close();
    // Gives the file the output path (replacing what was there at once) and flushes the folder.
    bool keep();
    // Removes the file; true when it is gone.
    bool discard();

    // Whether a file could be created in the output path's folder now.
    static bool canCreate(const std::string& outputPath);

private:
    bool keepUnnamed();

    UniqueFd fd_;
    std::string outputPath_;
    std::string temporaryPath_;
    bool unnamed_ = false;
    bool flushed_ = false;  // an unnamed file's data are on the disk
};

}  // namespace morvane
