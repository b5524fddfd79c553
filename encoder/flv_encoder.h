#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "encoder/audio_encoder.h"
#include "encoder/flv_codecs.h"
#include "encoder/flv_keyframe_times.h"
#include "encoder/flv_output.h"
#include "encoder/frame_bitmap.h"
#include "encoder/packet_interleaver.h"
#include "encoder/parallel_video_encoder.h"
#include "encoder/video_encoder.h"
#include "encoder/watermark_overlay.h"
#include "log/conversion_log.h"
#include "platform/ffmpeg_ptr.h"

namespace morvane {

// Writes one FLV file at a time, and is reused for every file of a batch: set the frame rate
// and output size, open() on an output file, feed it frames and PCM, close().
//
// The streams and codecs are those of the format: by default the "flv" muxer's own (FLV1
// video, MP3 audio with Debian's FFmpeg), else H.264 and AAC. Packets carry millisecond
// timestamps; an audio packet never repeats the previous audio time. Each stream's times are
// worked out from that stream alone, and the two are written in time order (PacketInterleaver),
// so that the file's bytes do not depend on which encoder hands its packets over first.
//
// Threads: open() and close() run on the session thread; the encode and write operations on
// the encoder thread. Callers serialise them with lock()/unlock(). prepareFrame() runs on the
// thread that delivers the decoded frames, without the lock, alongside the encoding (one such
// thread at a time, between open() and close()). hasAudioStream() and audioFrameBytes() may be read
// at any time without the lock.
class FlvEncoder {
public:
    FlvEncoder(int width, int height, int videoKbps, int audioKbps, int sampleRate,
               int bitsPerSample, int channels, ConversionLog& log);
    FlvEncoder(const FlvEncoder&) = delete;
    FlvEncoder& operator=(const FlvEncoder&) = delete;
    ~FlvEncoder();

    void setFormat(FlvFormat format) { format_ = format; }
    // Threads that encode FLV1 video: workers that each encode a key frame group, as many as the
    // picture budget (512 MB, or a sixteenth of the memory, and always two groups) allows, two
    // at most (0: one per core). A file's bytes are the same whatever their number. H.264 is
    // always encoded on x264's two slice threads.
    void setThreads(int threads) { threads_ = threads; }
    // The workers encoding this file's video.
    int videoWorkers() const { return videoWorkers_; }
    // The video is encoded by workers, so that the file lags the pictures handed over.
    bool videoInWorkers() const { return parallelVideo_; }
    // Failures of the video workers to make on purpose, for tests.
    void setVideoWorkerFaults(ParallelVideoEncoder::Faults faults) { parallel_.setFaults(faults); }
    // Frames per second, as a fraction.
    void setFrameRate(AVRational frameRate) { frameRate_ = frameRate; }
    void setWidth(int width) { width_ = width; }
    void setHeight(int height) { height_ = height; }
    // Whether the next file's source has sound to encode; without, no packet of the video waits
    // for one.
    void setSourceHasAudio(bool hasAudio) { sourceHasAudio_ = hasAudio; }
    // Where open() looks for the watermark of the file: the first of `paths` that exists is
    // drawn; none when no path exists. By default defaultWatermarkSearchPaths().
    void setWatermarkSearch(std::vector<std::filesystem::path> paths) {
        watermarkSearch_ = std::move(paths);
    }

    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }

    // Prepares the streams, codecs and muxer for one file written through `outputFd` (not
    // owned, positioned anywhere: the file is written from its start). `outputPath` names the
    // same file: the muxer reads it back while it finishes the file. False after a failure that
    // ends the program, already logged ("Could not alloc audio stream\n", "audio codec not
    // found\n", "could not open audio codec\n", "Invalid output format parameters\n", ...).
    bool open(int outputFd, const std::string& outputPath);
    // Finishes the file (drains both codecs, writes the index, duration and size into its
    // metadata) and releases everything open() made. Nothing to do when not open.
    void close();

    // The frame path: a decoded frame scaled to the output size, with the watermark, converted
    // to the video codec's YUV 4:2:0 picture for encodeVideo(). Null without a video stream
    // or for a frame that cannot be used.
    FramePtr prepareFrame(FrameBitmap frame);
    // The same for a decoded YUV 4:2:0 picture. `shared`, the frame that holds its planes (or
    // null), itself becomes the picture (a new reference, no copy) where nothing changes it.
    FramePtr prepareFrame(const DecodedPicture& picture, const AVFrame* shared);
    // One frame of interleaved PCM of exactly audioFrameBytes() bytes. False when there is no
    // audio stream or the codec fails; lastOutputBytes() then is 0.
    bool encodeAudio(const uint8_t* samples, int64_t ptsMs);
    // A picture from prepareFrame() (an empty one: the previous picture again). False when
    // there is no video stream or the codec fails.
    bool encodeVideo(FramePtr picture, int64_t ptsMs);
    // The bytes that the last encode added to the file.
    int lastOutputBytes() const { return lastOutputBytes_; }
    // Puts them into the file; the file's first bytes get the FLV header fix-up.
    void writeOutput() { output_.writePending(); }
    // A write to the output file, or a video worker's codec, failed since open(): the file is
    // incomplete.
    bool outputFailed() const { return output_.failed() || parallel_.failed(); }
    // The time of the last video packet in the file (-1: none yet). With video workers it lags
    // the pictures handed over.
    int64_t videoWrittenMs() const { return lastVideoPts_.value_or(-1); }
    // After a stop: the pictures not encoded yet are dropped at once; close() then ends the
    // file without them.
    void abandonVideo();

    // The bytes of a picture from prepareFrame() of the pool.
    size_t pictureBytes() const { return VideoEncoder::pictureBytes(outputWidth_, outputHeight_); }

    bool hasAudioStream() const { return hasAudioStream_.load(std::memory_order_acquire); }
    int audioFrameBytes() const { return audioFrameBytes_.load(std::memory_order_acquire); }

    const AVCodecContext* audioCodec() const { return audio_.context(); }
    const AVCodecContext* videoCodec() const { return video_.context(); }

private:
    bool fail(std::string_view message);
    // A new stream of the output, or nullptr after failing with "Could not alloc <kind> stream".
    AVStream* newStream(int id, std::string_view kind);
    // True when the audio or video encoder opened; otherwise fails with what went wrong.
    bool opened(CodecOpenResult result, std::string_view kind);
    CodecChoice codecChoice() const;
    bool openAudioStream();
    bool openVideoStream();
    // Hands one packet decoded at `ms` (and shown then, or at `presentationMs`) to the
    // interleaver.
    void writePacket(AVPacket& packet, AVStream* stream, int64_t ms, int64_t durationMs,
                     std::optional<int64_t> presentationMs = std::nullopt);
    void writeAudioPacket(AVPacket& packet);
    void writeVideoPacket(AVPacket& packet, int64_t ptsMs);
    void writeH264Packet(AVPacket& packet);
    // Writes one packet into the file, none before the file's first packet.
    void mux(AVPacket& packet);
    // Takes the frames the video workers have encoded, in frame order, as far as they have got;
    // with `wait`, all of them.
    void writeEncodedFrames(bool wait);
    // The time of a frame that the H.264 codec numbered `index`.
    int64_t h264FrameMs(int64_t index) const;
    void noteVideoTag(const AVPacket& packet, int64_t ms);
    void release();

    int width_;
    int height_;
    FlvFormat format_ = FlvFormat::SorensonMp3;
    int threads_ = 0;
    bool sourceHasAudio_ = true;
    const size_t pictureBudget_;
    int videoWorkers_ = 1;
    bool parallelVideo_ = false;  // the video goes through parallel_, else video_
    AVRational frameRate_{100, 1};
    const int audioKbps_;
    const int videoKbps_;
    const int sampleRate_;
    const int bitsPerSample_;
    const int channels_;
    ConversionLog& log_;
    std::vector<std::filesystem::path> watermarkSearch_;
    std::mutex mutex_;

    // Per file.
    int lastOutputBytes_ = 0;
    int64_t lastAudioPts_ = 0;
    std::optional<int64_t> lastVideoPts_;
    std::optional<int64_t> firstPacketMs_;
    bool headerWritten_ = false;
    int64_t frameMs_ = 10;  // one frame's duration
    VideoTimes videoTimes_;
    // The times of the H.264 frames that the codec may still hand back, from the number
    // firstH264Frame_ on.
    std::deque<int64_t> h264FrameTimes_;
    int64_t firstH264Frame_ = 0;
    int outputWidth_ = 0;  // of the open video codec
    int outputHeight_ = 0;

    OutputContextPtr outputContext_;
    AVStream* audioStream_ = nullptr;
    AVStream* videoStream_ = nullptr;
    FlvOutput output_;
    AudioEncoder audio_;
    VideoEncoder video_;
    ParallelVideoEncoder parallel_;
    // With video workers: the times of the frames handed over and not taken back yet.
    std::deque<int64_t> submittedMs_;
    PacketInterleaver interleaver_;
    WatermarkOverlay overlay_;  // used by prepareFrame() alone between open() and close()
    std::shared_ptr<BufferPool> picturePool_;
    std::atomic<bool> hasAudioStream_{false};
    std::atomic<int> audioFrameBytes_{0};
};

}  // namespace morvane
