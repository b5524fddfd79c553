#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "encoder/flv_encoder.h"
#include "engine/engine_services.h"
#include "engine/media_sample.h"
#include "engine/output_file.h"
#include "platform/auto_reset_event.h"
#include "platform/byte_buffer.h"
#include "platform/counting_semaphore.h"
#include "platform/thread.h"
#include "settings/profiles.h"
#include "source/picture_buffers.h"

namespace morvane {

class DecodingGraph;

// The object that all threads of one batch share: the session thread that converts the files
// one after another, the encoder thread, the audio re-chunker, and the decoding graph's
// streaming threads that feed the queues.
//
// Locks: the only nesting is audioQueueMutex, then memoryMutex (the session dropping raw audio
// that nobody will cut). The encoder thread holds mainQueueMutex only to take a sample, never
// while it encodes, so the producers are not held up by the encoder. jobMutex is taken only by
// start(), stop() and the destructor, never by the session. The flags are atomics polled at
// fixed periods.
class ConversionJob {
public:
    // Above this many queued bytes the graph is paused; below the low mark it runs again. A
    // third of the 100 MB that this once was: a codec slower than the decoding (x264 at HD
    // sizes) keeps the queue at the mark, and 32 MB is slack enough for either to run on.
    static constexpr int64_t kPauseAbove = 32000000;
    static constexpr int64_t kResumeBelow = 16000000;
    // Samples the encoder thread leaves queued so that late arrivals still sort in: kLookAhead,
    // or kLookAheadPictures pictures of kLargePicture bytes or more, which would otherwise hold
    // far more memory. However late the encoder thread comes, a picture that arrives up to that
    // many places late is still put in its place; the sound needs no more, as the encoder
    // writes the two streams' packets in time order whatever order they come in.
    static constexpr size_t kLookAhead = 50;
    static constexpr size_t kLookAheadPictures = 6;
    static constexpr int32_t kLargePicture = 1 << 20;
    // Whether the queue holds more than the look-ahead (under mainQueueMutex).
    bool pastLookAhead() const {
        return mainQueue.size() > kLookAhead || largePicturesQueued > kLookAheadPictures;
    }
    // Takes the earliest sample out of the queue (under mainQueueMutex; the queue is not empty).
    SamplePtr takeEarliest();

    ConversionJob(EngineServices& services, std::string sourcePath, std::string outputPath);
    ConversionJob(const ConversionJob&) = delete;
    ConversionJob& operator=(const ConversionJob&) = delete;
    // Waits for jobMutex, then lets go of everything; the threads have ended (stop()).
    ~ConversionJob();

    // Starts the batch (caller's thread): logs the start of the first file, makes the encoder
    // from the settings and starts the encoder thread, the re-chunker and the session.
    bool start();
    // Clears `running`, without waiting: the session begins no further file.
    void requestStop();
    // Ends the batch (caller's thread): clears `running` and waits for the session thread to
    // end, keeping the caller responsive meanwhile; then lets go of the encoder.
    bool stop();

    // Memory accounting of a sample just made, or about to be freed; may pause or resume the
    // graph through `paused` and flowEvent. The producer that passes the high mark also
    // closes the flowing graph's gate at once, so that no thread produces another sample
    // before the session has followed the flag.
    void addSample(const MediaSample& sample);
    void releaseSample(const MediaSample& sample);
    // The graph of the current file, while its threads may produce samples (session thread).
    void setFlowingGraph(DecodingGraph* graph);
    // Pauses or runs the flowing graph as `paused` says, under the same lock as addSample.
    void followFlow();
    // Inserts into mainQueue after the last sample that is not later (under mainQueueMutex),
    // and wakes the encoder thread when the queue holds more than the look-ahead.
    void enqueueSorted(SamplePtr sample);
    size_t mainQueueLength();
    size_t audioQueueLength();

    EngineServices& services;
    const Profile profile;  // the profile row of the batch, read once

    std::mutex jobMutex;
    std::mutex memoryMutex;
    int64_t queuedBytes = 0;      // guarded by memoryMutex
    int64_t peakQueuedBytes = 0;  // guarded by memoryMutex
    std::atomic<bool> paused{false};

    // The current file. Written by the batch runner before start() and by the session thread
    // afterwards; read by the session only.
    std::string sourcePath;
    std::string outputPath;
    // The destination under which the output's missing folders are made; empty: none are.
    std::string outputRoot;
    OutputFile output;

    std::atomic<bool> running{false};
    std::atomic<bool> draining{false};
    std::atomic<bool> ok{false};
    std::atomic<bool> audioEnabled{false};
    std::atomic<bool> encoderBusy{false};
    std::atomic<bool> quit{false};
    // True when the re-chunker holds no part of a frame back: set by the session at the start
    // of each file, and by the re-chunker after each record it cuts and each tail it flushes.
    std::atomic<bool> tailFlushed{false};
    // The re-chunker has taken a record (under audioQueueMutex) and not yet queued its frames.
    std::atomic<bool> rechunking{false};

    Thread sessionThread;
    Thread encoderThread;
    Thread rechunkThread;
    std::unique_ptr<CountingSemaphore> mainSemaphore;  // made by start()
    CountingSemaphore audioSemaphore{0, 10000};
    AutoResetEvent flowEvent;
    AutoResetEvent startFinished;

    // Made by start() before any thread exists, deleted by stop() after they have ended.
    std::unique_ptr<FlvEncoder> encoder;
    std::shared_ptr<BufferPool> framePool;
    std::shared_ptr<PictureBuffers> pictureBuffers = std::make_shared<PictureBuffers>();

    // 100 ns units.
    std::atomic<int64_t> finalPosition{0};
    std::atomic<int64_t> duration{100};
    std::atomic<int64_t> progressPosition{-1};
    std::atomic<int64_t> graphPosition{0};
    std::atomic<int64_t> lastAudioTime{-1};
    std::atomic<int64_t> lastVideoTime{-1};
    std::atomic<int> frameWidth{0};
    std::atomic<int> frameHeight{0};
    // When the current file began, so that its time left counts from there.
    std::atomic<uint32_t> startTick{0};

    std::mutex mainQueueMutex;
    SampleQueue mainQueue;           // guarded by mainQueueMutex, sorted by sortTime
    size_t largePicturesQueued = 0;  // guarded by mainQueueMutex: its pictures of 1 MB or more
    std::mutex audioQueueMutex;
    SampleQueue audioQueue;  // guarded by audioQueueMutex, in arrival order

    // How the files of the batch ended, for callers that report it.
    std::atomic<int> filesDone{0};
    std::atomic<int> filesNotDone{0};
    std::atomic<bool> stopRequested{false};
    // Set by the session just before it tells the owner that the batch has ended by itself.
    std::atomic<bool> endedByItself{false};

private:
    // Joins the threads, which have ended or are about to, then lets go of the encoder
    // (under jobMutex).
    void releaseThreadsAndEncoder();

    DecodingGraph* flowingGraph_ = nullptr;  // guarded by memoryMutex
};

}  // namespace morvane
