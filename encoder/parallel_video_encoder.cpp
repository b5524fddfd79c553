#include "encoder/parallel_video_encoder.h"

#include <algorithm>


namespace morvane {

ParallelVideoEncoder::~ParallelVideoEncoder() {
    close();
}

CodecOpenResult ParallelVideoEncoder::open(const AVCodec* codec,
                                           const VideoEncoderSettings& settings, int lanes,
                                           int workers, size_t maxPictures) {
    close();
    keyFrameInterval_ = std::max(1, settings.keyFrameInterval);
    maxPictures_ = std::max<size_t>(1, maxPictures);
    nextFrame_ = 0;
    firstResult_ = 0;
    inFlight_ = 0;
    failed_ = false;
    quitting_ = false;
    for (int i = 0; i < std::max(lanes, 1); ++i) {
        auto lane = std::make_unique<VideoEncoder>();
        const CodecOpenResult opened =
            i == faults_.refuseOpen ? CodecOpenResult::Refused : lane->open(codec, settings);
        if (opened != CodecOpenResult::Opened) {
            close();
            return opened;
        }
        lanes_.push_back(std::move(lane));
    }
    for (int i = 0; i < std::clamp(workers, 1, static_cast<int>(lanes_.size())); ++i) {
        workers_.push_back(std::make_unique<Worker>());
    }
    for (const auto& worker : workers_) {
        worker->thread = std::thread([this, &worker = *worker] { work(worker); });
    }
    return CodecOpenResult::Opened;
}

bool ParallelVideoEncoder::submit(FramePtr picture) {
    if (workers_.empty()) {
        return false;
    }
    FramePtr frame = std::move(picture);
    if (frame) {
        lastPicture_.reset(av_frame_clone(frame.get()));
    } else if (lastPicture_) {
        frame.reset(av_frame_clone(lastPicture_.get()));
    }
    if (!frame) {
        return false;
    }
    const int64_t number = nextFrame_++;
    const auto lane =
        static_cast<size_t>((number / keyFrameInterval_) % static_cast<int64_t>(lanes_.size()));
    Worker& worker = *workers_[lane % workers_.size()];
    std::unique_lock lock(mutex_);
    progress_.wait(lock, [this] { return inFlight_ < maxPictures_; });
    results_.emplace_back();
    ++inFlight_;
    worker.jobs.push_back(
        {number, std::move(frame), lanes_[lane].get(), number % keyFrameInterval_ == 0});
    worker.wake.notify_one();
    return true;
}

void ParallelVideoEncoder::work(Worker& worker) {
    std::unique_lock lock(mutex_);
    for (;;) {
        worker.wake.wait(lock, [&] { return quitting_ || !worker.jobs.empty(); });
        if (worker.jobs.empty()) {
            return;  // quitting, and nothing left
        }
        Job job = std::move(worker.jobs.front());
        worker.jobs.pop_front();
        lock.unlock();
        std::vector<PacketPtr> packets;
        const bool encoded = job.frame != faults_.failFrame &&
                             job.codec->encodeFrame(*job.picture, job.key, [&](AVPacket& packet) {
                                 packets.emplace_back(av_packet_clone(&packet));
                             });
        job.picture.reset();
        lock.lock();
        --inFlight_;
        failed_ = failed_ || !encoded;
        if (job.frame >= firstResult_) {  // not abandoned meanwhile
            Result& result = results_[static_cast<size_t>(job.frame - firstResult_)];
            result.done = true;
            result.packets = std::move(packets);
        }
        progress_.notify_all();
    }
}

bool ParallelVideoEncoder::takeFrame(const PacketHandler& handler) {
    Result result;
    {
        std::lock_guard lock(mutex_);
        if (results_.empty() || !results_.front().done) {
            return false;
        }
        result = std::move(results_.front());
        results_.pop_front();
        ++firstResult_;
    }
    for (const PacketPtr& packet : result.packets) {
        if (packet) {
            handler(*packet);
        }
    }
    return true;
}

bool ParallelVideoEncoder::waitForFrame() {
    std::unique_lock lock(mutex_);
    progress_.wait(lock, [this] { return results_.empty() || results_.front().done; });
    return !results_.empty();
}

bool ParallelVideoEncoder::failed() const {
    std::lock_guard lock(mutex_);
    return failed_;
}

void ParallelVideoEncoder::abandon() {
    std::unique_lock lock(mutex_);
    for (const auto& worker : workers_) {
        inFlight_ -= worker->jobs.size();
        worker->jobs.clear();
    }
    firstResult_ += static_cast<int64_t>(results_.size());
    results_.clear();
    progress_.notify_all();
}

void ParallelVideoEncoder::close() {
    abandon();
    {
        std::lock_guard lock(mutex_);
        quitting_ = true;
        for (const auto& worker : workers_) {
            worker->wake.notify_one();
        }
    }
    for (const auto& worker : workers_) {
        if (worker->thread.joinable()) {
            worker->thread.join();
        }
    }
    workers_.clear();
    lanes_.clear();
    lastPicture_.reset();
}

}  // namespace morvane
