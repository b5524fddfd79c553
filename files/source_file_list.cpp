#include "files/source_file_list.h"

#include <utility>

namespace morvane {

void SourceFileList::append(std::string path) {
    paths_.push_back(std::move(path));
}

std::string SourceFileList::takeFront() {
    if (paths_.empty()) {
        return {};
    }
    std::string front = std::move(paths_.front());
    paths_.pop_front();
    return front;
}

void SourceFileList::clear() {
    paths_.clear();
}

SourceFileList& processSourceFileList() {
    static SourceFileList list;
    return list;
}

}  // namespace morvane
