#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/ffmpeg_ptr.h"
#include "source/grabbed_sample.h"
#include "source/packet_queue.h"
#include "source/picture_buffers.h"
#include "source/run_gate.h"
#include "source/sample_grabber.h"

namespace morvane {

// One branch of a decoding graph: the decoder of one stream, the conversion of its frames
// into the type its grabber accepted, and the grabber. The branch's streaming thread runs
// stream(); everything else happens before that thread starts.
class DecodingBranch {
public:
    DecodingBranch(SampleGrabber& grabber, int64_t fileStartTime);
    DecodingBranch(const DecodingBranch&) = delete;
    DecodingBranch& operator=(const DecodingBranch&) = delete;
    virtual ~DecodingBranch() = default;

    // Opens the decoder for the stream; `threads` decoding threads (0: the library's choice).
    bool openDecoder(const AVStream& stream, int threads, PictureBuffers* buffers = nullptr);
    const AVCodecContext* decoder() const { return decoder_.get(); }

    // Decodes one packet (null: the end of the stream) before the branch streams, keeping
    // the frames it gives for the streaming thread. Used to find out whether the stream
    // decodes at all. True when a frame is waiting.
    bool decodeAhead(const AVPacket* packet);
    bool hasFramesAhead() const { return !framesAhead_.empty(); }
    // The first frame decoded ahead; null when none is.
    const AVFrame* firstFrameAhead() const {
        return framesAhead_.empty() ? nullptr : framesAhead_.front().get();
    }

    // The streaming thread: delivers the frames decoded ahead, then decodes the queue's packets
    // until the end of the stream, a stop, or a handler's failure. Packets that do not decode
    // are skipped.
    void stream(PacketQueue& queue, RunGate& gate);

    // Holds this branch's samples back while they lie more than `maxLead` (100 ns units) ahead
    // of what `leader` has delivered, as long as the leader has packets to decode: the samples
    // of both branches then reach the handlers roughly in time order, whichever decodes
    // faster. A leader starved by the file's layout holds nothing back, so no branch waits on
    // one that waits for the reader.
    void followLeader(const DecodingBranch& leader, const PacketQueue& leaderQueue,
                      int64_t maxLead);

    // The end of the stream has been delivered (or the handler ended the stream).
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    // The stop time of the last sample handed to the grabber; INT64_MIN before the first.
    int64_t deliveredUntil() const { return deliveredUntil_.load(std::memory_order_acquire); }

protected:
    // Converts one decoded frame and hands it over; false ends the branch.
    virtual bool deliverFrame(AVFrame& frame, RunGate& gate) = 0;
    // What the conversion still holds at the end of the stream.
    virtual bool deliverEnd(RunGate& /*gate*/) { return true; }

    // Waits while the graph is paused, then passes the sample through the grabber. False when
    // the graph has stopped or the handler failed.
    bool handOver(GrabbedSample& sample, RunGate& gate);
    // A timestamp of the stream, in 100 ns units from the start of the file.
    int64_t toSampleTime(int64_t timestamp) const;

private:
    bool sendAndDeliver(const AVPacket* packet, RunGate& gate);
    // False once the graph has stopped.
    bool waitForLeader(int64_t startTime, const RunGate& gate) const;
    // Wakes the branches that follow this one after its delivery, its queue or its end changed.
    void wakeFollowers() const;

    SampleGrabber& grabber_;
    const int64_t fileStartTime_;  // 100 ns units
    AVRational timeBase_{1, 1};
    CodecContextPtr decoder_;
    FramePtr frame_;
    std::deque<FramePtr> framesAhead_;
    bool drainedAhead_ = false;  // the end of the stream was decoded ahead
    std::atomic<bool> finished_{false};
    std::atomic<int64_t> deliveredUntil_{INT64_MIN};
    const DecodingBranch* leader_ = nullptr;
    const PacketQueue* leaderQueue_ = nullptr;
    int64_t maxLead_ = 0;
    mutable std::mutex followersMutex_;
    mutable std::condition_variable followersWake_;
};

}  // namespace morvane
