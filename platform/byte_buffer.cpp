#include "platform/byte_buffer.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>
#include <utility>

namespace morvane {
namespace {

constexpr size_t kHugePage = size_t{2} << 20;

}  // namespace

void BytesFree::operator()(uint8_t* bytes) const {
    std::free(bytes);
}

OwnedBytes allocateBytes(size_t size) {
    void* bytes = nullptr;
    if (size >= kHugePage) {
        const size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
        bytes = std::aligned_alloc(kHugePage, rounded);
        if (bytes != nullptr) {
            ::madvise(bytes, rounded, MADV_HUGEPAGE);
        }
    } else {
        bytes = std::malloc(size == 0 ? 1 : size);
    }
    if (bytes == nullptr) {
        throw std::bad_alloc();
    }
    return OwnedBytes(static_cast<uint8_t*>(bytes));
}

void BufferRelease::operator()(uint8_t* bytes) const {
    if (bytes == nullptr) {
        return;
    }
    OwnedBytes owned(bytes);
    if (const std::shared_ptr<BufferPool> owner = pool.lock()) {
        owner->giveBack(std::move(owned), size);
    }
}

ByteBuffer allocateBuffer(size_t size) {
    return ByteBuffer(allocateBytes(size).release(), BufferRelease{{}, size});
}

std::shared_ptr<BufferPool> BufferPool::create(size_t keepBytes) {
    return std::make_shared<BufferPool>(Private{}, keepBytes);
}

ByteBuffer BufferPool::take(size_t size) {
    OwnedBytes reused;
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
        reused = allocateBytes(size);
    }
    return ByteBuffer(reused.release(), BufferRelease{weak_from_this(), size});
}

void BufferPool::keepAtMost(size_t bytes) {
    std::lock_guard lock(mutex_);
    keepBytes_ = bytes;
}

void BufferPool::giveBack(OwnedBytes owned, size_t size) {
    std::lock_guard lock(mutex_);
    if (keptBytes_ + size <= keepBytes_) {
        kept_.emplace_back(std::move(owned), size);
        keptBytes_ += size;
    }
}

}  // namespace morvane
