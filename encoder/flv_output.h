#pragma once

#include <cstdint>
#include <vector>

#include "platform/ffmpeg_ptr.h"

namespace morvane {

// The muxer's output: a custom I/O context with a 131,072-byte buffer, writing to a file
// descriptor. While packets are muxed, what each packet produced is held until
// writePending() puts it into the file; the first bytes to reach the file carry the FLV
// header, whose flags byte (offset 4) is set to 5, audio and video. From writeDirectly() on,
// every write goes straight to the file, so that the muxer can seek back and re-read the file
// while it finishes it. A packet bigger than the buffer reaches the file whole and in order.
class FlvOutput {
public:
    static constexpr int kBufferSize = 131072;
    static constexpr uint8_t kAudioAndVideoFlags = 5;

    FlvOutput() = default;
    FlvOutput(const FlvOutput&) = delete;
    FlvOutput& operator=(const FlvOutput&) = delete;

    // Starts a file on `fd` (not owned), positioned at its start. False when out of memory.
    bool open(int fd);
    void close();
    AVIOContext* context() const { return context_.get(); }
    int fd() const { return fd_; }

    // Bytes the muxer produced that have not reached the file yet.
    size_t pendingBytes() const { return pending_.size(); }
    void writePending();
    void writeDirectly();
    // A write to the file failed (a full disk, say): the file is incomplete.
    bool failed() const { return failed_; }

private:
    static int writePacket(void* opaque, uint8_t* data, int size);
    static int64_t seek(void* opaque, int64_t offset, int whence);
    bool emit(uint8_t* data, size_t size);

    IoContextPtr context_;
    int fd_ = -1;
    std::vector<uint8_t> pending_;
    bool direct_ = false;
    bool headerPending_ = true;
    bool failed_ = false;
    int64_t position_ = 0;  // where the next bytes go in the file
    int64_t size_ = 0;      // bytes in the file
};

}  // namespace morvane
