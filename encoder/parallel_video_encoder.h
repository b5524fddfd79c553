#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "encoder/video_encoder.h"

namespace morvane {

// A video codec that has no threads of its own, run on several cores: the pictures of one file
// fall into groups of `keyFrameInterval` frames, each starting with a key frame and depending on
// nothing before it. `lanes` codecs, opened with the same settings, are kept for the whole file;
// group k goes to codec k mod lanes, whose rate control runs over all its groups. Worker w runs
// the codecs w, w + workers, ..., so that what each group is encoded by depends on the file
// alone, never on the number of workers or their timing: the same pictures give the same
// bytes. The packets come back in frame order.
//
// For codecs that give each frame's packet at once (no delay, no reordering), such as FLV1.
//
// Threads: submit(), takeFrame(), waitForFrame() and abandon() are called from one thread at a
// time (the encoder's); the workers are this object's own.
class ParallelVideoEncoder {
public:
    ParallelVideoEncoder() = default;
    ParallelVideoEncoder(const ParallelVideoEncoder&) = delete;
    ParallelVideoEncoder& operator=(const ParallelVideoEncoder&) = delete;
    ~ParallelVideoEncoder();

    // Opens the codecs and starts `workers` threads (at most one a codec); at most
    // `maxPictures` pictures are handed over and not yet encoded at any time.
    CodecOpenResult open(const AVCodec* codec, const VideoEncoderSettings& settings, int lanes,
                         int workers, size_t maxPictures);
    // The first codec (all are alike).
    const AVCodecContext* context() const {
        return lanes_.empty() ? nullptr : lanes_.front()->context();
    }

    // Hands the next picture over (empty: the previous picture again), waiting while
    // maxPictures are in flight. False when there is no picture at all.
    bool submit(FramePtr picture);
    // Hands over the packets of the oldest frame not taken yet, if it is encoded: true then.
    // False when it is not encoded yet or none is waiting.
    bool takeFrame(const PacketHandler& handler);
    // Waits until the oldest frame not taken is encoded; false when none is waiting.
    bool waitForFrame();
    // A codec failed since open(): the file is incomplete.
    bool failed() const;
    // Drops every picture not encoded yet, and what was encoded but not taken.
    void abandon();
    // Ends the workers and closes the codecs.
    void close();

    // Failures to make on purpose, for tests: codec `refuseOpen` refuses to open, and frame
    // `failFrame` fails to encode (-1: none).
    struct Faults {
        int refuseOpen = -1;
        int64_t failFrame = -1;
    };
    void setFaults(Faults faults) { faults_ = faults; }

private:
    struct Job {
        int64_t frame;
        FramePtr picture;
        VideoEncoder* codec;
        bool key;
    };
    struct Result {
        bool done = false;
        std::vector<PacketPtr> packets;
    };
    struct Worker {
        std::deque<Job> jobs;  // guarded by mutex_
        std::condition_variable wake;
        std::thread thread;
    };

    void work(Worker& worker);

    Faults faults_;
    int keyFrameInterval_ = 1;
    size_t maxPictures_ = 1;
    int64_t nextFrame_ = 0;
    FramePtr lastPicture_;  // shared with the worker that encodes it

    mutable std::mutex mutex_;
    std::condition_variable progress_;                  // a frame was encoded
    std::vector<std::unique_ptr<VideoEncoder>> lanes_;  // each used by one worker alone
    std::vector<std::unique_ptr<Worker>> workers_;
    std::deque<Result> results_;  // from frame firstResult_ on; guarded by mutex_
    int64_t firstResult_ = 0;
    size_t inFlight_ = 0;  // guarded by mutex_
    bool failed_ = false;  // guarded by mutex_
    bool quitting_ = false;
};

}  // namespace morvane
