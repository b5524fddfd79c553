#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "log/conversion_log.h"
#include "platform/auto_reset_event.h"
#include "platform/byte_buffer.h"
#include "platform/ffmpeg_ptr.h"
#include "source/audio_branch.h"
#include "source/packet_queue.h"
#include "source/run_gate.h"
#include "source/sample_grabber.h"
#include "source/video_branch.h"

namespace morvane {

// The PCM that the audio branch is asked for.
struct PcmFormat {
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;
};

struct GraphSetup {
    std::string sourcePath;
    PcmFormat audio;
    SampleHandler videoHandler = nullptr;
    SampleHandler audioHandler = nullptr;
    void* context = nullptr;
    // Where video frame buffers come from and return to; the graph makes its own when null.
    std::shared_ptr<BufferPool> framePool;
    // Where the video decoder's pictures come from and return to; its own buffers when null.
    std::shared_ptr<PictureBuffers> pictureBuffers;
    // Set when every branch has ended its stream, for a caller that waits on other things too.
    AutoResetEvent* completionEvent = nullptr;
};

// Decodes one source file into 24-bit RGB frames and PCM of the asked format, handed to the
// handlers registered on two sample grabbers. Built, run, paused and stopped by one thread
// (the conversion session); the samples arrive on the graph's own threads: one reads the
// file, and each branch decodes, converts and calls its handler.
//
// The frames are upright: pictures that the file stores turned (as a phone stores a clip filmed
// upright) are turned the way its display matrix asks, and the frame size is the turned one.
//
// Sample times are 100 ns units from the start of the file. Decoding runs as fast as the
// handlers take the samples; nothing paces them.
class DecodingGraph {
public:
    // The texts of the failures, as they reach the log or the debug channel.
    static constexpr std::string_view kNoGraph =
        "aborted.\nREASON: Could not not create the graph\n";
    static constexpr std::string_view kNoVideo =
        "aborted.\nREASON: Could not connect source filter to video grabber\n";
    static constexpr std::string_view kNoAudioSource =
        "aborted.\nREASON: Could not connect source filter to audio grabber\n";
    static constexpr std::string_view kAudioRefused =
        "\n*Selected audio mode is not accepted for this file\r\n... ";
    static constexpr std::string_view kDeinterlaced = "\n*Interlaced source: deinterlaced\r\n... ";

    // A side longer than this is refused.
    static constexpr int kMaxSide = 8192;

    explicit DecodingGraph(ConversionLog& log);
    DecodingGraph(const DecodingGraph&) = delete;
    DecodingGraph& operator=(const DecodingGraph&) = delete;
    ~DecodingGraph();

    // Opens the source and connects both branches. False when the file gives no video that
    // decodes (the failure is logged); an audio branch that cannot be had leaves the graph
    // without audio.
    bool build(const GraphSetup& setup);

    // Of the pictures as shown: a quarter turn swaps the stored sides, and pixels that are not
    // square widen (or narrow) the picture to its display aspect ratio.
    int frameWidth() const { return frameWidth_; }
    int frameHeight() const { return frameHeight_; }
    // Of the video stream: its average rate, else its base rate; 1/1 when it tells neither.
    AVRational frameRate() const { return frameRate_; }
    bool audioEnabled() const { return audio_ != nullptr; }
    // 100 ns units; 0 when the file does not tell.
    int64_t duration() const { return duration_; }

    void run();
    // Holds every thread without losing or reordering a sample.
    void pause();
    // Ends every thread, at once; the graph cannot run again.
    void stop();
    // The media time delivered so far; the duration once every branch has ended its stream.
    int64_t currentPosition() const;
    // Waits until every branch has delivered its end of stream or the graph has stopped.
    // False when the time ran out first.
    bool waitForCompletion(std::chrono::milliseconds timeout);
    bool completed() const;
    // Stops the graph and lets go of the file and its decoders.
    void teardown();

    SampleGrabber& videoGrabber() { return videoGrabber_; }
    SampleGrabber& audioGrabber() { return audioGrabber_; }

private:
    bool fail(std::string_view message);
    bool openSource(const std::string& path);
    void chooseStreams();
    bool connectVideo();
    bool connectAudioSource();
    MediaType offeredAudioType(const PcmFormat& asked) const;
    bool prerollVideo();
    void readPackets();
    void branchEnded();
    static int interrupted(void* graph);

    ConversionLog& log_;
    RunGate gate_;
    std::atomic<bool> stopping_{false};
    InputContextPtr input_;
    int videoStream_ = -1;
    int audioStream_ = -1;
    int64_t startTime_ = 0;
    int64_t duration_ = 0;
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    AVRational frameRate_{1, 1};
    SampleGrabber videoGrabber_;
    SampleGrabber audioGrabber_;
    std::shared_ptr<BufferPool> framePool_;
    std::shared_ptr<PictureBuffers> pictureBuffers_;  // outlives the decoder that it serves
    AutoResetEvent* completionEvent_ = nullptr;
    std::unique_ptr<VideoBranch> video_;
    std::unique_ptr<AudioBranch> audio_;
    std::vector<PacketPtr> audioAhead_;  // audio read while looking for the first picture
    bool sourceEnded_ = false;           // the whole file was read before running
    PacketQueue videoQueue_;
    PacketQueue audioQueue_;
    bool started_ = false;
    std::thread reader_;
    std::thread videoThread_;
    std::thread audioThread_;
    mutable std::mutex completionMutex_;
    std::condition_variable completion_;
};

}  // namespace morvane
