#include "source/decoding_branch.h"

#include <algorithm>
#include <chrono>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace morvane {
namespace {

constexpr AVRational kSampleTimeBase{1, 10000000};

}  // namespace

DecodingBranch::DecodingBranch(SampleGrabber& grabber, int64_t fileStartTime)
    : grabber_(grabber), fileStartTime_(fileStartTime) {}

bool DecodingBranch::openDecoder(const AVStream& stream, int threads, PictureBuffers* buffers) {
    const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
    if (codec == nullptr) {
        return false;
    }
    decoder_.reset(avcodec_alloc_context3(codec));
    frame_.reset(av_frame_alloc());
    if (!decoder_ || !frame_ ||
        avcodec_parameters_to_context(decoder_.get(), stream.codecpar) < 0) {
        return false;
    }
    decoder_->pkt_timebase = stream.time_base;
    decoder_->thread_count = threads;
    // A stream that claims a bigger picture is refused before anything is allocated for it.
    decoder_->max_pixels = 8192 * 8192;
    timeBase_ = stream.time_base;
    if (buffers != nullptr) {
        buffers->serve(*decoder_);
    }
    return avcodec_open2(decoder_.get(), codec, nullptr) >= 0;
}

bool DecodingBranch::decodeAhead(const AVPacket* packet) {
    if (drainedAhead_) {
        return hasFramesAhead();
    }
    drainedAhead_ = packet == nullptr;
    if (avcodec_send_packet(decoder_.get(), packet) < 0 && packet != nullptr) {
        return hasFramesAhead();
    }
    while (avcodec_receive_frame(decoder_.get(), frame_.get()) >= 0) {
        FramePtr kept(av_frame_alloc());
        if (kept) {
            av_frame_move_ref(kept.get(), frame_.get());
            framesAhead_.push_back(std::move(kept));
        }
        av_frame_unref(frame_.get());
    }
    return hasFramesAhead();
}

void DecodingBranch::stream(PacketQueue& queue, RunGate& gate) {
    bool going = true;
    while (going && !framesAhead_.empty()) {
        going = deliverFrame(*framesAhead_.front(), gate);
        framesAhead_.pop_front();
    }
    framesAhead_.clear();
    while (going && !drainedAhead_) {
        std::optional<PacketPtr> packet = queue.pop();
        if (!packet) {
            return;  // stopped
        }
        wakeFollowers();
        going = sendAndDeliver(packet->get(), gate);
        if (*packet == nullptr) {
            break;
        }
    }
    if (going) {
        deliverEnd(gate);
    }
    if (!gate.stopped()) {
        finished_.store(true, std::memory_order_release);
    }
    // Nothing more is taken: the reader must not wait for this branch.
    queue.close();
    wakeFollowers();
}

bool DecodingBranch::sendAndDeliver(const AVPacket* packet, RunGate& gate) {
    for (;;) {
        const int sent = avcodec_send_packet(decoder_.get(), packet);
        // A full decoder gives its frames first, then takes the packet again.
        const bool retry = sent == AVERROR(EAGAIN);
        for (;;) {
            const int received = avcodec_receive_frame(decoder_.get(), frame_.get());
            if (received < 0) {
                break;  // nothing more for now; a frame that did not decode is skipped
            }
            const bool going = deliverFrame(*frame_, gate);
            dropPicture(frame_.get());
            if (!going) {
                return false;
            }
        }
        if (!retry) {
            return true;
        }
    }
}

void DecodingBranch::followLeader(const DecodingBranch& leader, const PacketQueue& leaderQueue,
                                  int64_t maxLead) {
    leader_ = &leader;
    leaderQueue_ = &leaderQueue;
    maxLead_ = maxLead;
}

bool DecodingBranch::waitForLeader(int64_t startTime, const RunGate& gate) const {
    if (leader_ == nullptr) {
        return true;
    }
    std::unique_lock lock(leader_->followersMutex_);
    // Written as a difference: the leader's INT64_MIN (nothing delivered yet) cannot overflow.
    while (startTime - maxLead_ > leader_->deliveredUntil() && !leader_->finished() &&
           !leaderQueue_->empty()) {
        if (gate.stopped()) {
            return false;
        }
        // The leader wakes us on every change; the timeout only bounds how late a stop is seen.
        leader_->followersWake_.wait_for(lock, std::chrono::milliseconds(10));
    }
    return true;
}

void DecodingBranch::wakeFollowers() const {
    // Taking the lock orders the change before a follower's test, so no wake is lost.
    { std::lock_guard lock(followersMutex_); }
    followersWake_.notify_all();
}

bool DecodingBranch::handOver(GrabbedSample& sample, RunGate& gate) {
    if (!waitForLeader(sample.startTime(), gate) || !gate.pass()) {
        return false;
    }
    const int32_t result = grabber_.receive(sample);
    if (result < 0) {
        return false;
    }
    int64_t until = deliveredUntil_.load(std::memory_order_relaxed);
    while (sample.stopTime() > until && !deliveredUntil_.compare_exchange_weak(
                                            until, sample.stopTime(), std::memory_order_acq_rel)) {
    }
    wakeFollowers();
    return true;
}

int64_t DecodingBranch::toSampleTime(int64_t timestamp) const {
    return av_rescale_q(timestamp, timeBase_, kSampleTimeBase) - fileStartTime_;
}

}  // namespace morvane
