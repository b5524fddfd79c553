#include "engine/sample_producers.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

#include "engine/conversion_job.h"

namespace morvane {
namespace {

SamplePtr recordOf(GrabbedSample& sample, bool isVideo) {
    auto record = std::make_unique<MediaSample>();
    record->isVideo = isVideo;
    record->startTime = sample.startTime();
    record->sortTime = sample.startTime();
    record->stopTime = sample.stopTime();
    record->size = static_cast<int32_t>(sample.size());
    return record;
}

// The encoder's picture of a video sample: a decoded YUV picture goes into it as YUV (as
// itself where nothing changes it); only a frame that came as blue-green-red pixels is
// converted from them.
FramePtr pictureOf(GrabbedSample& sample, ConversionJob& job) {
    if (const DecodedPicture* decoded = sample.decodedPicture()) {
        return job.encoder->prepareFrame(*decoded, sample.decodedFrame());
    }
    return job.encoder->prepareFrame(
        makeFrameBitmap(sample.take(), sample.size(), job.frameWidth, job.frameHeight));
}

// The bytes a picture holds: a decoder's frame may hold more than the picture's own.
int32_t bytesOf(const AVFrame& picture) {
    size_t bytes = 0;
    for (const AVBufferRef* buffer : picture.buf) {
        bytes += buffer != nullptr ? buffer->size : 0;
    }
    return static_cast<int32_t>(std::min<size_t>(bytes, INT32_MAX));
}

// Sleeps `pause` and tells whether the re-chunker should go on waiting.
bool waitAWhile(const ConversionJob& job, std::chrono::milliseconds pause) {
    std::this_thread::sleep_for(pause);
    return job.running && !job.quit;
}

}  // namespace

int32_t videoSampleCallback(GrabbedSample& sample, void* context) {
    if (context == nullptr) {
        return kOk;
    }
    auto& job = *static_cast<ConversionJob*>(context);
    SamplePtr record = recordOf(sample, true);
    // The frame path runs here, on the decoder's side, while the encoder thread encodes: the
    // queue then holds the encoder's pictures, half the size of the frames.
    record->picture = pictureOf(sample, job);
    record->size = record->picture ? bytesOf(*record->picture) : 0;
    job.addSample(*record);
    job.enqueueSorted(std::move(record));
    return kOk;
}

int32_t audioSampleCallback(GrabbedSample& sample, void* context) {
    if (context == nullptr) {
        return kOk;
    }
    auto& job = *static_cast<ConversionJob*>(context);
    if (job.profile.audioMode == kAudioDisabled) {
        job.draining = true;
        return kOk;
    }
    SamplePtr record = recordOf(sample, false);
    record->data = sample.take();
    job.addSample(*record);
    {
        std::lock_guard lock(job.audioQueueMutex);
        job.audioQueue.push_back(std::move(record));
    }
    job.audioSemaphore.release(10);
    return kOk;
}

AudioRechunker::AudioRechunker(int frameBytes)
    : frameBytes_(frameBytes), frame_(allocateBuffer(static_cast<size_t>(frameBytes))) {}

void AudioRechunker::emit(ConversionJob& job, int64_t start, int64_t stop) {
    auto sample = std::make_unique<MediaSample>();
    sample->isVideo = false;
    sample->size = frameBytes_;
    sample->data = allocateBuffer(static_cast<size_t>(frameBytes_));
    std::memcpy(sample->data.get(), frame_.get(), static_cast<size_t>(frameBytes_));
    sample->startTime = start;
    sample->sortTime = start;
    sample->stopTime = stop;
    job.addSample(*sample);
    job.enqueueSorted(std::move(sample));
}

void AudioRechunker::cut(ConversionJob& job, const MediaSample& record) {
    int32_t offset = 0;
    if (filled_ == 0) {
        frameStart_ = record.sortTime;
    }
    while (offset < record.size) {
        const int32_t count = std::min(record.size - offset, frameBytes_ - filled_);
        std::memcpy(frame_.get() + filled_, record.data.get() + offset, static_cast<size_t>(count));
        filled_ += count;
        if (filled_ == frameBytes_) {
            // The time of the position just past the frame within the record, from the
            // record's own times: a frame begun in an earlier record ends where its last byte
            // plays, so that every frame is stamped with the time of its sound.
            const int64_t stop =
                record.sortTime + (int64_t{offset + count} * (record.stopTime - record.sortTime)) /
                                      static_cast<int64_t>(static_cast<uint32_t>(record.size));
            emit(job, frameStart_, stop);
            filled_ = 0;
            frameStart_ = stop;
        }
        offset += count;
    }
}

void AudioRechunker::flushTail(ConversionJob& job) {
    std::memset(frame_.get() + filled_, 0, static_cast<size_t>(frameBytes_ - filled_));
    emit(job, frameStart_, frameStart_);
    job.tailFlushed = true;
    filled_ = 0;
}

int runAudioRechunker(ConversionJob& job) {
    using std::chrono::milliseconds;
    // A profile without audio channels makes no audio stream: nothing to wait for.
    if (job.profile.channels == 0) {
        return 0;
    }
    while (!job.encoder->hasAudioStream()) {
        if (!waitAWhile(job, milliseconds(50))) {
            return 0;
        }
    }
    int frameBytes = 0;
    while ((frameBytes = job.encoder->audioFrameBytes()) == 0) {
        if (!waitAWhile(job, milliseconds(5))) {
            return 0;
        }
    }
    AudioRechunker rechunker(frameBytes);
    for (;;) {
        job.audioSemaphore.acquire();
        std::unique_lock lock(job.audioQueueMutex);
        if (!job.audioQueue.empty()) {
            SamplePtr record = std::move(job.audioQueue.front());
            job.audioQueue.pop_front();
            job.rechunking = true;
            lock.unlock();
            rechunker.cut(job, *record);
            job.releaseSample(*record);
            job.tailFlushed = rechunker.filled() == 0;
            job.rechunking = false;
            continue;
        }
        lock.unlock();
        if (!job.draining) {
            continue;
        }
        if (rechunker.filled() != 0) {
            rechunker.flushTail(job);
        }
        if (job.quit) {
            return 0;
        }
    }
}

}  // namespace morvane
