#include "encoder/flv_encoder.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <utility>

#include "encoder/watermark_location.h"
#include "platform/debug_output.h"
#include "platform/ffmpeg_log.h"

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/mathematics.h>
}

namespace morvane {
namespace {

constexpr AVRational kMilliseconds{1, 1000};

// Pictures kept for reuse once the codec has done with them: more than the queue in front of
// the encoder holds, so that a steady conversion takes all its pictures from the pool instead
// of faulting (and zeroing) fresh memory for each frame.
constexpr size_t kKeptPictureBytes = 48 << 20;

// The FLV1 codecs a file's key frame groups take turns on, whatever the number of workers: more
// would leave each too few groups for its rate control to settle on a clip of some seconds.
constexpr int kSharedCodecs = 2;

// The pictures FLV1 workers may hold: 512 MB, or a sixteenth of the memory if that is less.
size_t defaultPictureBudget() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    const size_t sixteenth = pages > 0 && pageSize > 0
                                 ? static_cast<size_t>(pages) * static_cast<size_t>(pageSize) / 16
                                 : SIZE_MAX;
    return std::min<size_t>(size_t{512} << 20, sixteenth);
}

}  // namespace

FlvEncoder::FlvEncoder(int width, int height, int videoKbps, int audioKbps, int sampleRate,
                       int bitsPerSample, int channels, ConversionLog& log)
    : width_(width),
      height_(height),
      pictureBudget_(defaultPictureBudget()),
      audioKbps_(audioKbps),
      videoKbps_(videoKbps),
      sampleRate_(sampleRate),
      bitsPerSample_(bitsPerSample),
      channels_(channels),
      log_(log),
      watermarkSearch_(defaultWatermarkSearchPaths()),
      interleaver_([this](AVPacket& packet) { mux(packet); }),
      picturePool_(BufferPool::create(kKeptPictureBytes)) {}

FlvEncoder::~FlvEncoder() {
    close();
}

AVStream* FlvEncoder::newStream(int id, std::string_view kind) {
    AVStream* stream = avformat_new_stream(outputContext_.get(), nullptr);
    if (stream == nullptr) {
        fail("Could not alloc " + std::string(kind) + " stream\n");
        return nullptr;
    }
    stream->id = id;
    return stream;
}

bool FlvEncoder::opened(CodecOpenResult result, std::string_view kind) {
    switch (result) {
        case CodecOpenResult::NoEncoder:
            return fail(std::string(kind) + " codec not found\n");
        case CodecOpenResult::Refused:
            return fail("could not open " + std::string(kind) + " codec\n");
        case CodecOpenResult::Opened:
            break;
    }
    return true;
}

bool FlvEncoder::fail(std::string_view message) {
    log_.writeLine(message);
    release();
    return false;
}

bool FlvEncoder::open(int outputFd, const std::string& outputPath) {
    close();
    overlay_.loadWatermark(firstExistingFile(watermarkSearch_));
    lastOutputBytes_ = 0;
    lastAudioPts_ = 0;
    lastVideoPts_.reset();
    firstPacketMs_.reset();
    videoTimes_ = {};
    h264FrameTimes_.clear();
    firstH264Frame_ = 0;
    routeFfmpegLogToDebugOutput();

    const AVOutputFormat* format = av_guess_format("flv", nullptr, nullptr);
    if (format == nullptr) {
        return fail("Invalid output format parameters\n");
    }
    AVFormatContext* context = nullptr;
    if (avformat_alloc_output_context2(&context, format, nullptr, nullptr) < 0) {
        return fail("Invalid output format parameters\n");
    }
    outputContext_.reset(context);
    // The muxer opens the file again by this name to insert the key frame index.
    context->url = av_strdup(("file:" + outputPath).c_str());

    if (format->audio_codec != AV_CODEC_ID_NONE && channels_ > 0 && !openAudioStream()) {
        return false;
    }
    if (format->video_codec != AV_CODEC_ID_NONE && !openVideoStream()) {
        return false;
    }

    if (context->url == nullptr || !output_.open(outputFd)) {
        return fail("Invalid output format parameters\n");
    }
    context->pb = output_.context();
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "flvflags", "add_keyframe_index", 0);
    const int written = avformat_write_header(context, &options);
    av_dict_free(&options);
    if (written < 0) {
        return fail("Invalid output format parameters\n");
    }
    headerWritten_ = true;
    interleaver_.start(audioStream_ != nullptr && sourceHasAudio_, videoStream_ != nullptr);
    return true;
}

CodecChoice FlvEncoder::codecChoice() const {
    return {format_,    width_,      height_,        frameRate_, videoKbps_,
            audioKbps_, sampleRate_, bitsPerSample_, channels_};
}

bool FlvEncoder::openAudioStream() {
    audioStream_ = newStream(1, "audio");
    if (audioStream_ == nullptr) {
        return false;
    }
    if (!opened(audio_.open(audioEncoderOf(format_), audioSettingsOf(codecChoice())), "audio")) {
        return false;
    }
    avcodec_parameters_from_context(audioStream_->codecpar, audio_.context());
    audioStream_->time_base = audio_.context()->time_base;
    audioFrameBytes_.store(audio_.frameBytes(), std::memory_order_release);
    hasAudioStream_.store(true, std::memory_order_release);
    return true;
}

bool FlvEncoder::openVideoStream() {
    videoStream_ = newStream(0, "video");
    if (videoStream_ == nullptr) {
        return false;
    }
    const VideoEncoderSettings settings = videoSettingsOf(codecChoice());
    const AVCodec* codec = videoEncoderOf(format_);
    // Workers for a codec without threads of its own, as many as the budget has room for a group
    // each (two groups at least), and no more than the codecs they share. A group and a half in
    // flight keeps two of them busy (one worker's group and the start of the next one's, as the
    // pictures come in order): more would only hold memory. The bytes do not depend on their
    // number (see ParallelVideoEncoder).
    videoWorkers_ = 1;
    const size_t group = static_cast<size_t>(settings.keyFrameInterval);
    const size_t budgetPictures =
        std::max(2 * group,
                 pictureBudget_ / std::max<size_t>(VideoEncoder::pictureBytes(width_, height_), 1));
    CodecOpenResult result = CodecOpenResult::Refused;
    if (format_ == FlvFormat::SorensonMp3) {
        // A worker a core by default: the decoding's threads share the cores with them.
        const int wanted =
            threads_ > 0 ? threads_ : static_cast<int>(std::thread::hardware_concurrency());
        videoWorkers_ = static_cast<int>(std::clamp<size_t>(
            budgetPictures / group, 1, static_cast<size_t>(std::clamp(wanted, 1, kSharedCodecs))));
        const size_t maxPictures = std::min(budgetPictures, group + group / 2);
        // The pictures the workers hold come back to the pool too, rather than to the system.
        picturePool_->keepAtMost(kKeptPictureBytes +
                                 maxPictures * VideoEncoder::pictureBytes(width_, height_));
        result = parallel_.open(codec, settings, kSharedCodecs, videoWorkers_, maxPictures);
    }
    parallelVideo_ = result == CodecOpenResult::Opened;
    if (!parallelVideo_) {
        // x264, which threads itself; or one encoder on the calling thread when workers could
        // not be had.
        videoWorkers_ = 1;
        picturePool_->keepAtMost(kKeptPictureBytes);
        result = video_.open(codec, settings);
    }
    if (!opened(result, "video")) {
        return false;
    }
    const AVCodecContext* context = parallelVideo_ ? parallel_.context() : video_.context();
    avcodec_parameters_from_context(videoStream_->codecpar, context);
    videoStream_->time_base = context->time_base;
    outputWidth_ = width_;
    outputHeight_ = height_;
    // Without it the key frame index would hold no valid times.
    videoStream_->avg_frame_rate = settings.frameRate;
    frameMs_ = av_rescale(settings.frameRate.den, 1000, settings.frameRate.num);
    return true;
}

void FlvEncoder::writePacket(AVPacket& packet, AVStream* stream, int64_t ms, int64_t durationMs,
                             std::optional<int64_t> presentationMs) {
    packet.stream_index = stream->index;
    packet.pts = presentationMs.value_or(ms);
    packet.dts = ms;
    packet.duration = durationMs;
    packet.pos = -1;
    interleaver_.push(
        stream == audioStream_ ? PacketInterleaver::kAudio : PacketInterleaver::kVideo, packet);
}

void FlvEncoder::mux(AVPacket& packet) {
    // The muxer refuses a packet earlier than the file's first one, which only a stream silent
    // for very long can bring about (the interleaver then lets the other one run ahead).
    if (!firstPacketMs_) {
        firstPacketMs_ = packet.dts;
    }
    if (packet.dts < *firstPacketMs_) {
        packet.pts += *firstPacketMs_ - packet.dts;
        packet.dts = *firstPacketMs_;
    }
    av_write_frame(outputContext_.get(), &packet);
    avio_flush(outputContext_->pb);
}

void FlvEncoder::writeAudioPacket(AVPacket& packet) {
    const AVRational codecTime = audio_.context()->time_base;
    int64_t ms =
        std::max<int64_t>(0, av_rescale_q_rnd(packet.pts, codecTime, kMilliseconds, AV_ROUND_DOWN));
    if (ms <= lastAudioPts_) {
        ms = lastAudioPts_ + 1;
    }
    packet.flags |= AV_PKT_FLAG_KEY;
    writePacket(packet, audioStream_, ms, av_rescale_q(packet.duration, codecTime, kMilliseconds));
    lastAudioPts_ = ms;
}

void FlvEncoder::writeVideoPacket(AVPacket& packet, int64_t ptsMs) {
    int64_t ms = ptsMs;
    // A video time that goes back (a jump in the source) would be refused by the muxer.
    if (lastVideoPts_ && ms < *lastVideoPts_) {
        ms = *lastVideoPts_;
    }
    noteVideoTag(packet, ms);
    writePacket(packet, videoStream_, ms, frameMs_);
    lastVideoPts_ = ms;
}

int64_t FlvEncoder::h264FrameMs(int64_t index) const {
    const int64_t offset = index - firstH264Frame_;
    if (h264FrameTimes_.empty()) {
        return 0;
    }
    if (offset < 0) {  // a decoding time before the first frame's
        return h264FrameTimes_.front() + offset * frameMs_;
    }
    return h264FrameTimes_[std::min<size_t>(static_cast<size_t>(offset),
                                            h264FrameTimes_.size() - 1)];
}

void FlvEncoder::writeH264Packet(AVPacket& packet) {
    // Decoding times rise and start at zero at the earliest; a picture shows no earlier than
    // it is decoded. FLV writes the decoding time, and the difference as composition time.
    int64_t dts = std::max<int64_t>(h264FrameMs(packet.dts), 0);
    if (lastVideoPts_) {
        dts = std::max(dts, *lastVideoPts_);
    }
    const int64_t pts = std::max(h264FrameMs(packet.pts), dts);
    // Every later packet names a frame from this decoding time on.
    while (!h264FrameTimes_.empty() && firstH264Frame_ < packet.dts) {
        h264FrameTimes_.pop_front();
        ++firstH264Frame_;
    }
    noteVideoTag(packet, dts);
    lastVideoPts_ = dts;
    writePacket(packet, videoStream_, dts, frameMs_, pts);
}

void FlvEncoder::noteVideoTag(const AVPacket& packet, int64_t ms) {
    if ((packet.flags & AV_PKT_FLAG_KEY) != 0) {
        videoTimes_.keyFramesMs.push_back(ms);
    }
    videoTimes_.lastFrameMs = ms;
}

bool FlvEncoder::encodeAudio(const uint8_t* samples, int64_t ptsMs) {
    lastOutputBytes_ = 0;
    if (audioStream_ == nullptr || samples == nullptr) {
        return false;
    }
    const int64_t pts = av_rescale(ptsMs, sampleRate_, 1000);
    const bool encoded =
        audio_.encode(samples, pts, [this](AVPacket& packet) { writeAudioPacket(packet); });
    lastOutputBytes_ = static_cast<int>(output_.pendingBytes());
    return encoded;
}

FramePtr FlvEncoder::prepareFrame(FrameBitmap frame) {
    if (videoStream_ == nullptr) {
        return nullptr;
    }
    overlay_.setFrame(std::move(frame));
    ByteBuffer picture = picturePool_->take(pictureBytes());
    const bool converted =
        overlay_.convertFrame(outputWidth_, outputHeight_,
                              VideoEncoder::planesOf(picture.get(), outputWidth_, outputHeight_));
    overlay_.releaseFrame();
    return converted ? VideoEncoder::frameOf(std::move(picture), outputWidth_, outputHeight_)
                     : nullptr;
}

FramePtr FlvEncoder::prepareFrame(const DecodedPicture& picture, const AVFrame* shared) {
    if (videoStream_ == nullptr) {
        return nullptr;
    }
    if (shared != nullptr && overlay_.takesAsItIs(picture, outputWidth_, outputHeight_)) {
        if (FramePtr frame = VideoEncoder::pictureOver(*shared)) {
            return frame;
        }
    }
    ByteBuffer bytes = picturePool_->take(pictureBytes());
    const bool converted =
        overlay_.convertPicture(picture, outputWidth_, outputHeight_,
                                VideoEncoder::planesOf(bytes.get(), outputWidth_, outputHeight_));
    return converted ? VideoEncoder::frameOf(std::move(bytes), outputWidth_, outputHeight_)
                     : nullptr;
}

bool FlvEncoder::encodeVideo(FramePtr picture, int64_t ptsMs) {
    lastOutputBytes_ = 0;
    if (videoStream_ == nullptr) {
        return false;
    }
    bool encoded = false;
    if (parallelVideo_) {
        encoded = parallel_.submit(std::move(picture));
        if (encoded) {
            submittedMs_.push_back(ptsMs);
        }
        writeEncodedFrames(false);
    } else if (format_ == FlvFormat::H264Aac) {
        const int64_t index = video_.nextFrameIndex();
        if (h264FrameTimes_.empty()) {
            firstH264Frame_ = index;
        }
        h264FrameTimes_.push_back(ptsMs);
        encoded = video_.encode(std::move(picture),
                                [this](AVPacket& packet) { writeH264Packet(packet); });
        if (video_.nextFrameIndex() == index) {  // no picture went in
            h264FrameTimes_.pop_back();
        }
    } else {
        encoded = video_.encode(std::move(picture), [this, ptsMs](AVPacket& packet) {
            writeVideoPacket(packet, ptsMs);
        });
    }
    lastOutputBytes_ = static_cast<int>(output_.pendingBytes());
    char line[48];
    std::snprintf(line, sizeof line, "video frame size = %d\n", lastOutputBytes_);
    debugOutput(line);
    return encoded;
}

void FlvEncoder::writeEncodedFrames(bool wait) {
    while (!submittedMs_.empty()) {
        const int64_t ms = submittedMs_.front();
        if (!parallel_.takeFrame([this, ms](AVPacket& packet) { writeVideoPacket(packet, ms); })) {
            if (wait && parallel_.waitForFrame()) {
                continue;
            }
            return;
        }
        submittedMs_.pop_front();
    }
}

void FlvEncoder::abandonVideo() {
    parallel_.abandon();
    submittedMs_.clear();
}

void FlvEncoder::close() {
    overlay_.releaseFrame();
    if (headerWritten_) {
        writeEncodedFrames(true);
        audio_.drain([this](AVPacket& packet) { writeAudioPacket(packet); });
        if (format_ == FlvFormat::H264Aac) {
            video_.drain([this](AVPacket& packet) { writeH264Packet(packet); });
        } else if (!parallelVideo_) {
            video_.drain(
                [this](AVPacket& packet) { writeVideoPacket(packet, lastVideoPts_.value_or(0)); });
        }
        interleaver_.flush();
        output_.writePending();
        output_.writeDirectly();
        av_write_trailer(outputContext_.get());
        avio_flush(outputContext_->pb);
        if (videoStream_ != nullptr && !output_.failed()) {
            correctVideoTimes(output_.fd(), videoTimes_);
        }
    }
    release();
    overlay_.releaseWatermark();
}

void FlvEncoder::release() {
    headerWritten_ = false;
    hasAudioStream_.store(false, std::memory_order_release);
    audio_.close();
    video_.close();
    parallel_.close();
    submittedMs_.clear();
    interleaver_.start(false, false);
    videoWorkers_ = 1;
    parallelVideo_ = false;
    audioStream_ = nullptr;
    videoStream_ = nullptr;
    if (outputContext_) {
        outputContext_->pb = nullptr;
    }
    outputContext_.reset();
    output_.close();
}

}  // namespace morvane
