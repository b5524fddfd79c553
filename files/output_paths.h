#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace morvane {

// Where outputs go. The separator is always inserted after the destination folder.

// The output name that choosing a source suggests: its base name and ".flv".
std::string defaultDestinationFile(const std::string& sourcePath);

// FILE mode: the destination folder and the file name as the user typed it.
std::string fileModeOutputPath(const std::string& destinationPath,
                               const std::string& destinationFile);

// Each file of a DIRECTORY batch: base name, '.', the lower-cased extension, ".flv", so that
// a.avi and a.mpg do not collide. A file name without a '.' gets its name and ".flv".
std::string directoryBatchOutputPath(const std::string& destinationPath,
                                     const std::string& sourcePath);

// Whether a file name is that of an output being written: ".NAME.<12 hex digits>.part", as
// OutputFile names one where the file system refuses a file without a name.
bool isTemporaryOutputName(std::string_view name);

// The files that a running batch takes after its first, by the stored "Mode": FILE gives
// base name and ".flv", DIRECTORY as directoryBatchOutputPath, any other value the base name.
std::string furtherFileOutputPath(int32_t mode, const std::string& destinationPath,
                                  const std::string& sourcePath);

}  // namespace morvane
