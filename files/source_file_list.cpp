#include "files/source_file_list.h"

#include <utility>

namespace morvane {

void SourceFileList::append(SourceEntry entry) {
    {
        std::lock_guard lock(mutex_);
        entries_.push_back(std::move(entry));
    }
    added_.notify_all();
}

void SourceFileList::beginFilling() {
    std::lock_guard lock(mutex_);
    filling_ = true;
}

void SourceFileList::endFilling() {
    {
        std::lock_guard lock(mutex_);
        filling_ = false;
    }
    added_.notify_all();
}

std::optional<SourceEntry> SourceFileList::takeNext() {
    std::unique_lock lock(mutex_);
    added_.wait(lock, [this] { return !entries_.empty() || !filling_; });
    if (entries_.empty()) {
        return std::nullopt;
    }
    SourceEntry front = std::move(entries_.front());
    entries_.pop_front();
    return front;
}

void SourceFileList::clear() {
    {
        std::lock_guard lock(mutex_);
        entries_.clear();
    }
    added_.notify_all();
}

size_t SourceFileList::count() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

SourceFileList& processSourceFileList() {
    static SourceFileList list;
    return list;
}

}  // namespace morvane
