#include "engine/conversion_job.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "engine/conversion_session.h"
#include "engine/encoder_thread.h"
#include "engine/sample_producers.h"
#include "platform/tick_count.h"
#include "settings/setting_keys.h"
#include "source/decoding_graph.h"

namespace morvane {
namespace {

Profile profileOf(const EngineServices& services) {
    const int32_t index = services.settings.getNumber(keys::kProfile);
    return services.profiles.row(ProfileTable::isValidIndex(index) ? index
                                                                   : ProfileTable::kDefaultRow);
}

// Frame buffers that the encoder has finished with wait here for the decoder.
constexpr size_t kKeptFrameBytes = 64 << 20;

bool isLarge(const MediaSample& sample) {
    return sample.isVideo && sample.size >= ConversionJob::kLargePicture;
}

}  // namespace

ConversionJob::ConversionJob(EngineServices& engineServices, std::string firstSource,
                             std::string firstOutput)
    : services(engineServices),
      profile(profileOf(engineServices)),
      sourcePath(std::move(firstSource)),
      outputPath(std::move(firstOutput)),
      framePool(BufferPool::create(kKeptFrameBytes)) {}

ConversionJob::~ConversionJob() {
    std::lock_guard lock(jobMutex);
    releaseThreadsAndEncoder();
}

void ConversionJob::releaseThreadsAndEncoder() {
    sessionThread.join();
    encoderThread.join();
    rechunkThread.join();
    mainSemaphore.reset();
    if (encoder) {
        encoder->close();
        encoder.reset();
    }
}

bool ConversionJob::start() {
    std::lock_guard lock(jobMutex);
    services.log.writeLine("Converting initialization: ");
    services.log.writeLink(sourcePath);
    services.log.writeLine("...");
    quit = false;
    running = true;
    mainSemaphore = std::make_unique<CountingSemaphore>(0, 10000);
    // The encoder exists before any thread that uses it.
    const SettingsStore& settings = services.settings;
    encoder = std::make_unique<FlvEncoder>(
        settings.getNumber(keys::kWidth), settings.getNumber(keys::kHeight),
        settings.getNumber(keys::kVideoQuality), settings.getNumber(keys::kAudioQuality),
        profile.sampleRate, profile.bitsPerSample, profile.channels, services.log);
    encoder->setWatermarkSearch(services.watermarkSearch);
    encoder->setThreads(services.encoderThreads);
    encoder->setFormat(settings.getNumber(keys::kCodec) == kCodecH264Aac ? FlvFormat::H264Aac
                                                                         : FlvFormat::SorensonMp3);
    encoderThread = Thread([this] { return runEncoderThread(*this); });
    rechunkThread = Thread([this] { return runAudioRechunker(*this); });
    sessionThread = Thread([this] { return runConversionSession(*this); });
    startTick = tickCount();
    services.log.writeLine("done.\nConverting process... ");
    // The session begins its work only now, so that these lines precede its own.
    startFinished.set();
    return true;
}

void ConversionJob::requestStop() {
    stopRequested = true;
    running = false;
    flowEvent.set();  // the session notices at once rather than at its next poll
}

bool ConversionJob::stop() {
    std::lock_guard lock(jobMutex);
    requestStop();
    while (!sessionThread.waitForEnd(std::chrono::milliseconds(10))) {
        services.listener.keepResponsive();
    }
    releaseThreadsAndEncoder();
    return true;
}

void ConversionJob::addSample(const MediaSample& sample) {
    std::lock_guard lock(memoryMutex);
    queuedBytes += 4 + int64_t{sample.size};
    peakQueuedBytes = std::max(peakQueuedBytes, queuedBytes);
    if (queuedBytes > kPauseAbove && !paused) {
        paused = true;
        if (flowingGraph_ != nullptr) {
            flowingGraph_->pause();
        }
        flowEvent.set();
    }
}

void ConversionJob::releaseSample(const MediaSample& sample) {
    std::lock_guard lock(memoryMutex);
    queuedBytes -= 4 + int64_t{sample.size};
    if (queuedBytes < kResumeBelow && paused) {
        paused = false;
        flowEvent.set();
    }
}

void ConversionJob::setFlowingGraph(DecodingGraph* graph) {
    std::lock_guard lock(memoryMutex);
    flowingGraph_ = graph;
}

void ConversionJob::followFlow() {
    {
        std::lock_guard lock(memoryMutex);
        if (flowingGraph_ == nullptr) {
            return;
        }
        if (!paused) {
            flowingGraph_->run();
            return;
        }
        flowingGraph_->pause();
    }
    // The encoder takes what the look-ahead would hold back, so that the queues shrink.
    mainSemaphore->release(50);
}

SamplePtr ConversionJob::takeEarliest() {
    SamplePtr sample = std::move(mainQueue.front());
    mainQueue.pop_front();
    largePicturesQueued -= isLarge(*sample) ? 1 : 0;
    return sample;
}

void ConversionJob::enqueueSorted(SamplePtr sample) {
    bool pastMark = false;
    {
        std::lock_guard lock(mainQueueMutex);
        auto after = mainQueue.end();
        while (after != mainQueue.begin()) {
            auto previous = std::prev(after);
            if ((*previous)->sortTime <= sample->sortTime) {
                break;
            }
            after = previous;
        }
        largePicturesQueued += isLarge(*sample) ? 1 : 0;
        mainQueue.insert(after, std::move(sample));
        pastMark = pastLookAhead();
    }
    // A queue past the look-ahead has work for the encoder thread: wake it, so that encoding
    // keeps pace with decoding instead of waiting for the flow control.
    if (pastMark && mainSemaphore) {
        mainSemaphore->release(1);
    }
}

size_t ConversionJob::mainQueueLength() {
    std::lock_guard lock(mainQueueMutex);
    return mainQueue.size();
}

size_t ConversionJob::audioQueueLength() {
    std::lock_guard lock(audioQueueMutex);
    return audioQueue.size();
}

}  // namespace morvane
