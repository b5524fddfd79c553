#pragma once

#include <string>

#include "platform/unique_fd.h"

namespace morvane {

// The file written for one source: a temporary file beside the output path, which replaces the
// output path only when the conversion is done, so that a failed or stopped conversion never
// leaves a half file nor destroys an existing file of that name.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Creates the temporary file in the output path's folder; false when it cannot be.
    bool create(const std::string& outputPath);
    bool isOpen() const { return fd_.valid(); }
    int fd() const { return fd_.get(); }
    const std::string& temporaryPath() const { return temporaryPath_; }
    bool exists() const { return !temporaryPath_.empty(); }

    // Flushes the file to disk and closes it.
    bool close();
    // Renames the temporary file over the output path.
    bool keep();
    // Removes the temporary file; true when it is gone.
    bool discard();

    // Whether a file could be created in the output path's folder now.
    static bool canCreate(const std::string& outputPath);

private:
    UniqueFd fd_;
    std::string outputPath_;
    std::string temporaryPath_;
};

}  // namespace morvane
