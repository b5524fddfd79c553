#include "engine/encoder_thread.h"

#include <algorithm>
#include <mutex>

#include "engine/conversion_job.h"

namespace morvane {
namespace {

// 100 ns units to milliseconds, rounded toward zero.
int64_t toMilliseconds(int64_t time) {
    return time / 10000;
}

void encodeSample(ConversionJob& job, MediaSample& sample) {
    FlvEncoder& encoder = *job.encoder;
    std::lock_guard encoderLock(encoder);
    bool encoded = false;
    if (sample.isVideo) {
        // The picture passes to the codec as it is: no copy.
        encoded = encoder.encodeVideo(std::move(sample.picture), toMilliseconds(sample.startTime));
        // Progress follows the pictures encoded: with video workers, the last one written.
        job.lastVideoTime = encoder.videoInWorkers()
                                ? std::max<int64_t>(encoder.videoWrittenMs(), 0) * 10000
                                : sample.sortTime;
    } else {
        encoded = encoder.encodeAudio(sample.data.get(), toMilliseconds(sample.startTime));
        job.lastAudioTime = sample.sortTime;
    }
    if (!job.audioEnabled) {
        job.lastAudioTime = job.lastVideoTime.load();
    }
    job.progressPosition = (job.lastAudioTime + job.lastVideoTime) / 2;
    if (encoded && encoder.lastOutputBytes() > 0) {
        encoder.writeOutput();
    }
}

}  // namespace

int runEncoderThread(ConversionJob& job) {
    job.paused = false;
    for (;;) {
        job.mainSemaphore->acquire();
        std::unique_lock queueLock(job.mainQueueMutex);
        for (;;) {
            const bool take =
                job.pastLookAhead() || (!job.mainQueue.empty() && (job.draining || job.paused));
            if (!take) {
                break;
            }
            // Busy is raised under the queue lock before the queue shrinks, so whoever sees the
            // queue empty and the encoder idle knows every sample is in the file.
            job.encoderBusy = true;
            SamplePtr sample = job.takeEarliest();
            // The queue stays open to the producers while the sample is encoded.
            queueLock.unlock();
            encodeSample(job, *sample);
            job.releaseSample(*sample);
            job.encoderBusy = false;
            queueLock.lock();
        }
        if (job.mainQueue.empty() && job.quit) {
            return 0;
        }
    }
}

}  // namespace morvane
