#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <functional>

#include "platform/ffmpeg_ptr.h"

namespace morvane {

// Puts the packets of an FLV's audio and video streams into one sequence in time order, so that
// the file's tags follow each other by time whatever order the two encoders hand them over in.
// Each stream's packets come in their own order, with decoding times (dts) that never go back;
// a packet is written once the other stream has one as late or later, or has ended. At equal
// times audio goes first. The order written is then a function of the two streams alone.
//
// A stream that falls silent for long (sound that stops before the picture does) would hold the
// other back without end: past `heldBytesLimit` of held packets the earliest is written anyway.
// The encoders' lag behind each other stays far below that limit, so it only ever applies where
// no earlier packet can still come.
//
// Not thread-safe: one thread (the encoder's) at a time.
class PacketInterleaver {
public:
    enum Stream { kAudio = 0, kVideo = 1 };
    using Sink = std::function<void(AVPacket&)>;

    static constexpr size_t kDefaultHeldBytes = size_t{16} << 20;

    explicit PacketInterleaver(Sink sink, size_t heldBytesLimit = kDefaultHeldBytes);

    // Forgets what is held and starts a file whose streams carry packets as told: a stream
    // that carries none holds nothing back.
    void start(bool audio, bool video);
    // Takes the packet over (its dts in the stream's time base) and writes what is ready.
    void push(Stream stream, AVPacket& packet);
    // The stream gives no further packet.
    void end(Stream stream);
    // Writes everything still held, in order (both streams end).
    void flush();
    size_t heldBytes() const { return heldBytes_; }

private:
    void writeReady();
    void writeHead(Stream stream);

    Sink sink_;
    const size_t heldBytesLimit_;
    std::array<std::deque<PacketPtr>, 2> held_;
    std::array<bool, 2> ended_{true, true};
    size_t heldBytes_ = 0;
};

}  // namespace morvane
