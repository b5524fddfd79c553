#include "platform/byte_buffer.h"

#include <utility>

namespace morvane {

void BufferRelease::operator()(uint8_t* bytes) const {
    if (bytes == nullptr) {
        return;
    }
    std::unique_ptr<uint8_t[]> owned(bytes);
    if (const std::shared_ptr<BufferPool> owner = pool.lock()) {
        owner->giveBack(std::move(owned), size);
    }
}

ByteBuffer allocateBuffer(size_t size) {
    return ByteBuffer(std::make_unique_for_overwrite<uint8_t[]>(size).release(),
                      BufferRelease{{}, size});
}

std::shared_ptr<BufferPool> BufferPool::create(size_t keepBytes) {
    return std::make_shared<BufferPool>(Private{}, keepBytes);
}

ByteBuffer BufferPool::take(size_t size) {
    std::unique_ptr<uint8_t[]> reused;
    {
        std::lock_guard lock(mutex_);
        while (!kept_.empty() && !reused) {
            auto [bytes, keptSize] = std::move(kept_.back());
            kept_.pop_back();
            keptBytes_ -= keptSize;
            if (keptSize == size) {
                reused = std::move(bytes);
            }
        }
    }
    if (!reused) {
        reused = std::make_unique_for_overwrite<uint8_t[]>(size);
    }
    return ByteBuffer(reused.release(), BufferRelease{weak_from_this(), size});
}

void BufferPool::giveBack(std::unique_ptr<uint8_t[]> owned, size_t size) {
    std::lock_guard lock(mutex_);
    if (keptBytes_ + size <= keepBytes_) {
        kept_.emplace_back(std::move(owned), size);
        keptBytes_ += size;
    }
}

}  // namespace morvane
