#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace morvane {

class BufferPool;

// Frees a buffer, or gives it back to the pool it came from while that pool still exists.
struct BufferRelease {
    std::weak_ptr<BufferPool> pool;
    size_t size = 0;
    void operator()(uint8_t* bytes) const;
};

// Frees what allocateBytes() gave.
struct BytesFree {
    void operator()(uint8_t* bytes) const;
};
using OwnedBytes = std::unique_ptr<uint8_t, BytesFree>;

// Uninitialised memory of `size` bytes. Big blocks (frames) are laid on transparent huge pages
// where the system allows it: a frame then costs a couple of page faults instead of hundreds.
OwnedBytes allocateBytes(size_t size);

// An owned byte array, perhaps from a pool; its size is kept by whoever holds it.
using ByteBuffer = std::unique_ptr<uint8_t[], BufferRelease>;

// A buffer of its own, not pooled, not initialised.
ByteBuffer allocateBuffer(size_t size);

// Keeps released buffers for reuse, so that big per-frame buffers do not go back to the
// system (and fault their pages in again) for every frame. It keeps at most `keepBytes` in
// all. Thread-safe. Buffers of any size may be asked for; a kept buffer of another size is
// dropped when it would be handed out.
class BufferPool : public std::enable_shared_from_this<BufferPool> {
    struct Private {};

public:
    static std::shared_ptr<BufferPool> create(size_t keepBytes);
    BufferPool(Private, size_t keepBytes) : keepBytes_(keepBytes) {}

    // A buffer of `size` bytes, not initialised.
    ByteBuffer take(size_t size);
    // Keeps at most `bytes` from now on (what is kept already stays until it is taken).
    void keepAtMost(size_t bytes);

private:
    friend struct BufferRelease;
    void giveBack(OwnedBytes bytes, size_t size);

    std::mutex mutex_;
    size_t keepBytes_;                                 // guarded by mutex_
    std::vector<std::pair<OwnedBytes, size_t>> kept_;  // guarded by mutex_
    size_t keptBytes_ = 0;                             // guarded by mutex_
};

}  // namespace morvane
