#pragma once

#include <string>
#include <vector>

namespace morvane {

// The files of a DIRECTORY batch: every entry directly inside `folder`, in the order the file
// system gives them, except "." and "..", folders (there is no recursion), what is not a
// regular file (named pipes, sockets, devices) and files whose extension is "flv" in any case.
// Empty when the folder cannot be read.
std::vector<std::string> listSourceFolder(const std::string& folder);

}  // namespace morvane
