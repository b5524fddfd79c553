#include "source/packet_queue.h"

namespace morvane {

bool PacketQueue::full() const {
    return bytes_ >= maxBytes_ || packets_.size() >= maxPackets_;
}

bool PacketQueue::push(PacketPtr packet) {
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return closed_ || !full(); });
        if (closed_) {
            return false;
        }
        bytes_ += packet ? static_cast<size_t>(packet->size) : 0;
        packets_.push_back(std::move(packet));
    }
    changed_.notify_all();
    return true;
}

void PacketQueue::pushNow(PacketPtr packet) {
    {
        std::lock_guard lock(mutex_);
        bytes_ += packet ? static_cast<size_t>(packet->size) : 0;
        packets_.push_back(std::move(packet));
    }
    changed_.notify_all();
}

std::optional<PacketPtr> PacketQueue::pop() {
    std::optional<PacketPtr> front;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return closed_ || !packets_.empty(); });
        if (closed_) {
            return std::nullopt;
        }
        front = std::move(packets_.front());
        packets_.pop_front();
        bytes_ -= *front ? static_cast<size_t>((*front)->size) : 0;
    }
    changed_.notify_all();
    return front;
}

bool PacketQueue::empty() const {
    std::lock_guard lock(mutex_);
    return packets_.empty();
}

void PacketQueue::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        packets_.clear();
        bytes_ = 0;
    }
    changed_.notify_all();
}

}  // namespace morvane
