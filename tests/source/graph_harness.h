#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "log/conversion_log.h"
#include "source/decoding_graph.h"
#include "tests/support/recording_log_window.h"

namespace morvane::test {

// Runs a decoding graph over a file and keeps what its handlers receive.
class GraphHarness {
public:
    struct Sample {
        int64_t start;
        int64_t stop;
        size_t size;
        bool picture;  // the decoded picture came with the frame
    };

    GraphHarness() { log_.setWindow(&window_); }
    ~GraphHarness() {
        graph_.reset();  // its threads call into this object
        log_.setWindow(nullptr);
    }

    bool build(const std::filesystem::path& path, PcmFormat audio = {44100, 2, 16}) {
        graph_ = std::make_unique<DecodingGraph>(log_);
        GraphSetup setup;
        setup.sourcePath = path.string();
        setup.audio = audio;
        setup.videoHandler = &GraphHarness::onVideo;
        setup.audioHandler = &GraphHarness::onAudio;
        setup.context = this;
        return graph_->build(setup);
    }

    // Runs the graph to its end; false, and a failure, when it does not end in time.
    bool runToEnd(std::chrono::milliseconds bound = std::chrono::seconds(60)) {
        graph_->run();
        const bool ended = graph_->waitForCompletion(bound);
        EXPECT_TRUE(ended) << "the graph did not come to its end within " << bound.count() << " ms";
        return ended;
    }

    DecodingGraph& graph() { return *graph_; }
    std::string logText() const { return window_.text(); }

    std::vector<Sample> video() const { return locked(video_); }
    std::vector<Sample> audio() const { return locked(audio_); }
    std::vector<uint8_t> firstFrame() const { return locked(firstFrame_); }
    std::vector<uint8_t> pcm() const { return locked(pcm_); }
    // How far (100 ns units) an audio sample ever started after the end of the video
    // delivered before it.
    int64_t largestAudioLead() const { return locked(largestAudioLead_); }
    size_t videoCount() const { return videoCount_.load(); }
    size_t audioCount() const { return audioCount_.load(); }

    // What the video handler answers; by default kOk.
    std::function<int32_t(size_t index)> videoAnswer;

private:
    template <typename T>
    T locked(const T& kept) const {
        std::lock_guard lock(mutex_);
        return kept;
    }

    static int32_t onVideo(GrabbedSample& sample, void* context) {
        auto* self = static_cast<GraphHarness*>(context);
        const size_t index = self->videoCount_++;
        {
            std::lock_guard lock(self->mutex_);
            self->video_.push_back({sample.startTime(), sample.stopTime(), sample.size(),
                                    sample.decodedPicture() != nullptr});
            self->videoUntil_ = std::max(self->videoUntil_, sample.stopTime());
            if (index == 0) {
                self->firstFrame_.assign(sample.data(), sample.data() + sample.size());
            }
        }
        return self->videoAnswer ? self->videoAnswer(index) : kOk;
    }
    static int32_t onAudio(GrabbedSample& sample, void* context) {
        auto* self = static_cast<GraphHarness*>(context);
        ++self->audioCount_;
        std::lock_guard lock(self->mutex_);
        self->audio_.push_back({sample.startTime(), sample.stopTime(), sample.size(), false});
        if (self->videoUntil_ != INT64_MIN) {
            self->largestAudioLead_ =
                std::max(self->largestAudioLead_, sample.startTime() - self->videoUntil_);
        }
        self->pcm_.insert(self->pcm_.end(), sample.data(), sample.data() + sample.size());
        return kOk;
    }

    ConversionLog log_;
    RecordingLogWindow window_;
    std::unique_ptr<DecodingGraph> graph_;
    mutable std::mutex mutex_;
    std::vector<Sample> video_;
    std::vector<Sample> audio_;
    std::vector<uint8_t> firstFrame_;
    std::vector<uint8_t> pcm_;
    int64_t videoUntil_ = INT64_MIN;
    int64_t largestAudioLead_ = INT64_MIN;
    std::atomic<size_t> videoCount_{0};
    std::atomic<size_t> audioCount_{0};
};

}  // namespace morvane::test
