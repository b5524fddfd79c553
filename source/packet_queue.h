#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/ffmpeg_ptr.h"

namespace morvane {

// Compressed packets from the reader to one branch, in order, bounded in bytes and count.
// A null packet marks the end of the stream. Closing the queue wakes and releases everyone.
class PacketQueue {
public:
    PacketQueue(size_t maxBytes, size_t maxPackets)
        : maxBytes_(maxBytes), maxPackets_(maxPackets) {}

    // Waits while the queue is full; false (the packet dropped) once closed.
    bool push(PacketPtr packet);
    // Adds without waiting, whatever the bounds: for filling a queue before its consumer runs.
    void pushNow(PacketPtr packet);
    // Waits while the queue is empty; nullopt once closed.
    std::optional<PacketPtr> pop();
    bool empty() const;
    void close();

private:
    bool full() const;

    const size_t maxBytes_;
    const size_t maxPackets_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<PacketPtr> packets_;  // guarded by mutex_
    size_t bytes_ = 0;               // guarded by mutex_
    bool closed_ = false;            // guarded by mutex_
};

}  // namespace morvane
