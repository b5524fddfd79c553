#pragma once

#include <cstddef>
#include <deque>
#include <string>

namespace morvane {

// The source paths of the running batch, first in first out. No lock: the batch runner fills
// it and takes the first path before the conversion threads exist; from then until the
// session thread has ended only that thread uses it.
class SourceFileList {
public:
    void append(std::string path);
    // The first path, removed; the empty string when the list is empty.
    std::string takeFront();
    void clear();
    size_t count() const { return paths_.size(); }

private:
    std::deque<std::string> paths_;
};

// The process's list.
SourceFileList& processSourceFileList();

}  // namespace morvane
