#include "encoder/packet_interleaver.h"

#include <algorithm>
#include <utility>

namespace morvane {
namespace {

// What a held packet costs beyond its payload: the packet and its buffer reference.
constexpr size_t kPacketOverhead = 256;

size_t costOf(const AVPacket& packet) {
    return static_cast<size_t>(std::max(packet.size, 0)) + kPacketOverhead;
}

}  // namespace

PacketInterleaver::PacketInterleaver(Sink sink, size_t heldBytesLimit)
    : sink_(std::move(sink)), heldBytesLimit_(heldBytesLimit) {}

void PacketInterleaver::start(bool audio, bool video) {
    for (auto& queue : held_) {
        queue.clear();
    }
    heldBytes_ = 0;
    ended_ = {!audio, !video};
}

void PacketInterleaver::push(Stream stream, AVPacket& packet) {
    PacketPtr held(av_packet_alloc());
    if (!held) {
        return;
    }
    av_packet_move_ref(held.get(), &packet);
    heldBytes_ += costOf(*held);
    held_[stream].push_back(std::move(held));
    writeReady();
}

void PacketInterleaver::end(Stream stream) {
    ended_[stream] = true;
    writeReady();
}

void PacketInterleaver::flush() {
    ended_ = {true, true};
    writeReady();
}

void PacketInterleaver::writeReady() {
    for (;;) {
        const bool audio = !held_[kAudio].empty();
        const bool video = !held_[kVideo].empty();
        if (audio && video) {
            writeHead(held_[kVideo].front()->dts < held_[kAudio].front()->dts ? kVideo : kAudio);
        } else if (audio && (ended_[kVideo] || heldBytes_ > heldBytesLimit_)) {
            writeHead(kAudio);
        } else if (video && (ended_[kAudio] || heldBytes_ > heldBytesLimit_)) {
            writeHead(kVideo);
        } else {
            return;
        }
    }
}

void PacketInterleaver::writeHead(Stream stream) {
    PacketPtr packet = std::move(held_[stream].front());
    held_[stream].pop_front();
    heldBytes_ -= costOf(*packet);
    sink_(*packet);
}

}  // namespace morvane
