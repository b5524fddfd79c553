#include "encoder/flv_output.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace morvane {

bool FlvOutput::open(int fd) {
    close();
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (buffer == nullptr) {
        return false;
    }
    context_.reset(avio_alloc_context(buffer, kBufferSize, 1, this, nullptr, &writePacket, &seek));
    if (!context_) {
        av_free(buffer);
        return false;
    }
    fd_ = fd;
    pending_.clear();
    direct_ = false;
    headerPending_ = true;
    failed_ = false;
    position_ = 0;
    size_ = 0;
    return true;
}

void FlvOutput::close() {
    context_.reset();
    fd_ = -1;
    pending_.clear();
}

void FlvOutput::writePending() {
    if (!pending_.empty()) {
        emit(pending_.data(), pending_.size());
        pending_.clear();
    }
}

void FlvOutput::writeDirectly() {
    if (context_) {
        avio_flush(context_.get());
    }
    writePending();
    direct_ = true;
}

bool FlvOutput::emit(uint8_t* data, size_t size) {
    if (headerPending_ && position_ <= 4 && position_ + static_cast<int64_t>(size) > 4) {
        data[4 - position_] = kAudioAndVideoFlags;
        headerPending_ = false;
    }
    while (size > 0) {
        const ssize_t written = ::pwrite(fd_, data, size, position_);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            failed_ = true;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
        position_ += written;
    }
    size_ = std::max(size_, position_);
    return true;
}

int FlvOutput::writePacket(void* opaque, uint8_t* data, int size) {
    auto* self = static_cast<FlvOutput*>(opaque);
    if (size <= 0) {
        return 0;
    }
    if (!self->direct_) {
        self->pending_.insert(self->pending_.end(), data, data + size);
        return size;
    }
    return self->emit(data, static_cast<size_t>(size)) ? size : AVERROR(EIO);
}

int64_t FlvOutput::seek(void* opaque, int64_t offset, int whence) {
    auto* self = static_cast<FlvOutput*>(opaque);
    self->writePending();
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return self->size_;
        case SEEK_SET:
            break;
        case SEEK_CUR:
            offset += self->position_;
            break;
        case SEEK_END:
            offset += self->size_;
            break;
        default:
            return AVERROR(EINVAL);
    }
    if (offset < 0) {
        return AVERROR(EINVAL);
    }
    self->position_ = offset;
    return offset;
}

}  // namespace morvane
