#include "source/decoding_graph.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/debug_output.h"
#include "platform/ffmpeg_log.h"
#include "platform/ffmpeg_threads.h"
#include "source/display_rotation.h"
#include "source/hdr_tone_mapper.h"

extern "C" {
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/mathematics.h>
}

namespace morvane {
namespace {

constexpr AVRational kSampleTimeBase{1, 10000000};
constexpr AVRational kLibraryTimeBase{1, AV_TIME_BASE};  // AV_TIME_BASE_Q is C only

// Bounds of the packet queues between the reader and the branches.
constexpr size_t kQueueBytes = 16 << 20;
constexpr size_t kQueuePackets = 512;

// Frame buffers kept for reuse when the graph makes its own pool.
constexpr size_t kKeptFrameBytes = 64 << 20;

// How far (100 ns units) the audio branch may deliver ahead of the video branch.
constexpr int64_t kMaxAudioLead = 2'500'000;

// How much is read in search of the first picture before the video counts as undecodable.
constexpr int kPrerollPackets = 4096;
constexpr size_t kPrerollBytes = 64 << 20;

// The shape of the stream's pixels, as the container tells it, else as the pictures do; 1:1
// when neither tells or what they tell is out of reason.
AVRational pixelAspectOf(const AVStream& stream, const AVFrame* first) {
    for (const AVRational aspect :
         {stream.sample_aspect_ratio, stream.codecpar->sample_aspect_ratio,
          first != nullptr ? first->sample_aspect_ratio : AVRational{}}) {
        if (aspect.num > 0 && aspect.den > 0 && aspect.num <= 16 * aspect.den &&
            aspect.den <= 16 * aspect.num) {
            return aspect;
        }
    }
    return {1, 1};
}

// The deinterlacer of a stream whose field order says it is interlaced, or whose first frame
// does: bwdif, one picture out for each in, so that the frame rate and the key frames stay as
// they are. Progressive frames pass untouched where only the frames tell. Empty: progressive.
std::string deinterlacerOf(const AVStream& stream, const AVFrame* first) {
    switch (stream.codecpar->field_order) {
        case AV_FIELD_TT:
        case AV_FIELD_TB:
            return "bwdif=mode=send_frame:parity=tff:deint=all";
        case AV_FIELD_BB:
        case AV_FIELD_BT:
            return "bwdif=mode=send_frame:parity=bff:deint=all";
        default:
            break;
    }
    return first != nullptr && first->interlaced_frame != 0
               ? "bwdif=mode=send_frame:parity=auto:deint=interlaced"
               : "";
}

// The brightest light that the mastering display or content light level side data tell, in
// SDR whites (100 cd/m2); 0 when none do.
double peakOf(const AVStream& stream, const AVFrame* first) {
    const auto lightLevel = [](const uint8_t* data) {
        return data != nullptr
                   ? reinterpret_cast<const AVContentLightMetadata*>(data)->MaxCLL / 100.0
                   : 0.0;
    };
    const auto mastering = [](const uint8_t* data) {
        const auto* display = reinterpret_cast<const AVMasteringDisplayMetadata*>(data);
        return display != nullptr && display->has_luminance != 0 && display->max_luminance.den > 0
                   ? av_q2d(display->max_luminance) / 100.0
                   : 0.0;
    };
    const auto frameData = [first](AVFrameSideDataType type) -> const uint8_t* {
        const AVFrameSideData* data =
            first != nullptr ? av_frame_get_side_data(first, type) : nullptr;
        return data != nullptr ? data->data : nullptr;
    };
    const auto streamData = [&stream](AVPacketSideDataType type) -> const uint8_t* {
        return av_stream_get_side_data(&stream, type, nullptr);
    };
    for (const double peak : {lightLevel(frameData(AV_FRAME_DATA_CONTENT_LIGHT_LEVEL)),
                              mastering(frameData(AV_FRAME_DATA_MASTERING_DISPLAY_METADATA)),
                              lightLevel(streamData(AV_PKT_DATA_CONTENT_LIGHT_LEVEL)),
                              mastering(streamData(AV_PKT_DATA_MASTERING_DISPLAY_METADATA))}) {
        if (peak > 0.0 && peak <= 1000.0) {
            return peak;
        }
    }
    return 0.0;
}

// The tone mapper of a stream whose transfer is PQ (SMPTE 2084) or HLG (ARIB STD-B67), which
// it names "PQ" or "HLG" in `kind`; null for other streams.
std::unique_ptr<HdrToneMapper> toneMapperOf(const AVStream& stream, const AVFrame* first,
                                            int threads, std::string& kind) {
    const AVColorTransferCharacteristic transfer =
        first != nullptr && first->color_trc != AVCOL_TRC_UNSPECIFIED ? first->color_trc
                                                                      : stream.codecpar->color_trc;
    kind = transfer == AVCOL_TRC_SMPTE2084 ? "PQ" : transfer == AVCOL_TRC_ARIB_STD_B67 ? "HLG" : "";
    if (kind.empty()) {
        return nullptr;
    }
    return std::make_unique<HdrToneMapper>(
        transfer == AVCOL_TRC_SMPTE2084 ? HdrTransfer::Pq : HdrTransfer::Hlg, peakOf(stream, first),
        threads);
}

}  // namespace

DecodingGraph::DecodingGraph(ConversionLog& log)
    : log_(log), videoQueue_(kQueueBytes, kQueuePackets), audioQueue_(kQueueBytes, kQueuePackets) {}

DecodingGraph::~DecodingGraph() {
    teardown();
}

void DecodingGraph::teardown() {
    stop();
    video_.reset();
    audio_.reset();
    audioAhead_.clear();
    input_.reset();
}

int DecodingGraph::interrupted(void* graph) {
    return static_cast<DecodingGraph*>(graph)->stopping_.load(std::memory_order_relaxed) ? 1 : 0;
}

bool DecodingGraph::fail(std::string_view message) {
    log_.writeLine(message);
    return false;
}

bool DecodingGraph::build(const GraphSetup& setup) {
    routeFfmpegLogToDebugOutput();
    framePool_ = setup.framePool ? setup.framePool : BufferPool::create(kKeptFrameBytes);
    pictureBuffers_ = setup.pictureBuffers;
    completionEvent_ = setup.completionEvent;
    if (!openSource(setup.sourcePath)) {
        return false;
    }
    videoGrabber_.acceptOnlyType(MediaType::rgb24Video());
    audioGrabber_.acceptOnlyType(MediaType::pcmAudio(setup.audio.sampleRate, setup.audio.channels,
                                                     setup.audio.bitsPerSample));
    chooseStreams();
    if (!connectVideo()) {
        return fail(kNoVideo);
    }
    if (!connectAudioSource()) {
        debugOutput(kNoAudioSource);
    }
    if (!audio_ || audioGrabber_.connect(offeredAudioType(setup.audio)) != kOk) {
        audio_.reset();
        audioAhead_.clear();
        log_.writeLine(kAudioRefused);
    } else {
        audio_->setOutput(setup.audio.sampleRate, setup.audio.channels, setup.audio.bitsPerSample);
    }
    videoGrabber_.setSampleHandler(setup.videoHandler, setup.context);
    audioGrabber_.setSampleHandler(setup.audioHandler, setup.context);
    return true;
}

bool DecodingGraph::openSource(const std::string& path) {
    AVFormatContext* context = avformat_alloc_context();
    if (context == nullptr) {
        return fail(kNoGraph);
    }
    context->interrupt_callback = {&DecodingGraph::interrupted, this};
    AVDictionary* options = nullptr;
    // A source never makes the program open anything but local files.
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const std::string url = "file:" + path;
    const int opened = avformat_open_input(&context, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) {
        return fail(kNoVideo);
    }
    input_.reset(context);
    if (avformat_find_stream_info(context, nullptr) < 0) {
        return fail(kNoVideo);
    }
    startTime_ = context->start_time != AV_NOPTS_VALUE
                     ? av_rescale_q(context->start_time, kLibraryTimeBase, kSampleTimeBase)
                     : 0;
    if (context->duration != AV_NOPTS_VALUE && context->duration > 0) {
        duration_ = av_rescale_q(context->duration, kLibraryTimeBase, kSampleTimeBase);
        // A file whose times start below zero (Matroska's, for one) tells how far they run from
        // zero: the pictures run that much longer from the start of the file.
        duration_ -= std::min<int64_t>(startTime_, 0);
    }
    return true;
}

void DecodingGraph::chooseStreams() {
    // The biggest picture among the video streams that are not attached pictures (cover art).
    int64_t biggest = -1;
    for (unsigned i = 0; i < input_->nb_streams; ++i) {
        const AVStream* stream = input_->streams[i];
        const AVCodecParameters* parameters = stream->codecpar;
        if (parameters->codec_type != AVMEDIA_TYPE_VIDEO ||
            (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0) {
            continue;
        }
        const int64_t area = int64_t{parameters->width} * parameters->height;
        if (area > biggest) {
            biggest = area;
            videoStream_ = static_cast<int>(i);
        }
    }
    audioStream_ =
        av_find_best_stream(input_.get(), AVMEDIA_TYPE_AUDIO, -1, videoStream_, nullptr, 0);
    for (unsigned i = 0; i < input_->nb_streams; ++i) {
        if (static_cast<int>(i) != videoStream_ && static_cast<int>(i) != audioStream_) {
            input_->streams[i]->discard = AVDISCARD_ALL;
        }
    }
    if (duration_ == 0) {
        for (const int index : {videoStream_, audioStream_}) {
            if (index >= 0 && input_->streams[index]->duration != AV_NOPTS_VALUE) {
                const AVStream* stream = input_->streams[index];
                duration_ = std::max(
                    duration_, av_rescale_q(stream->duration, stream->time_base, kSampleTimeBase));
            }
        }
    }
}

bool DecodingGraph::connectVideo() {
    if (videoStream_ < 0) {
        return false;
    }
    const AVStream& stream = *input_->streams[videoStream_];
    video_ = std::make_unique<VideoBranch>(videoGrabber_, startTime_, framePool_);
    if (!video_->openDecoder(stream, kFfmpegThreads, pictureBuffers_.get()) || !prerollVideo()) {
        video_.reset();
        return false;
    }
    const AVCodecContext* decoder = video_->decoder();
    frameWidth_ = decoder->width > 0 ? decoder->width : stream.codecpar->width;
    frameHeight_ = decoder->height > 0 ? decoder->height : stream.codecpar->height;
    if (frameWidth_ <= 0 || frameHeight_ <= 0 || frameWidth_ > kMaxSide ||
        frameHeight_ > kMaxSide) {
        video_.reset();
        return false;
    }
    const AVFrame* first = video_->firstFrameAhead();
    // Pixels that are not square are shown at the display size: as high as stored, as wide as
    // the aspect ratio makes it. FLV has no pixel aspect ratio of its own.
    const AVRational pixel = pixelAspectOf(stream, first);
    if (pixel.num != pixel.den) {
        const int64_t wide = av_rescale(frameWidth_, pixel.num, pixel.den);
        frameWidth_ = static_cast<int>(std::clamp<int64_t>((wide + 1) / 2 * 2, 2, kMaxSide));
    }
    // A picture stored on its side is delivered upright, and sizes the output so.
    const Orientation upright = orientationOf(stream);
    if (upright.swapsSides) {
        std::swap(frameWidth_, frameHeight_);
    }
    std::string filters = deinterlacerOf(stream, first);
    if (!filters.empty()) {
        log_.writeLine(kDeinterlaced);
    }
    std::string hdr;
    std::unique_ptr<HdrToneMapper> toneMapper = toneMapperOf(stream, first, kFfmpegThreads, hdr);
    if (toneMapper) {
        log_.writeLine("\n*HDR (" + hdr + ") source: tone mapped to SDR\r\n... ");
    }
    video_->setToneMapper(std::move(toneMapper));
    if (!upright.filters.empty()) {
        filters += (filters.empty() ? "" : ",") + upright.filters;
    }
    // The deinterlacer alone is cheaper than waking threads for it.
    video_->setFilters(filters, upright.filters.empty() ? 1 : kFfmpegThreads);
    AVRational rate = stream.avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) {
        rate = stream.r_frame_rate;
    }
    frameRate_ = rate.num > 0 && rate.den > 0 ? rate : AVRational{1, 1};
    video_->setOutput(frameWidth_, frameHeight_, av_q2d(frameRate_));

    MediaType offered = MediaType::rgb24Video();
    offered.formatType = FormatType::VideoInfo;
    offered.width = frameWidth_;
    offered.height = frameHeight_;
    return videoGrabber_.connect(offered) == kOk;
}

bool DecodingGraph::prerollVideo() {
    size_t audioBytes = 0;
    for (int packets = 0; !video_->hasFramesAhead(); ++packets) {
        if (packets == kPrerollPackets || audioBytes > kPrerollBytes) {
            return false;
        }
        PacketPtr packet(av_packet_alloc());
        if (!packet) {
            return false;
        }
        if (av_read_frame(input_.get(), packet.get()) < 0) {
            sourceEnded_ = true;
            return video_->decodeAhead(nullptr);
        }
        if (packet->stream_index == videoStream_) {
            video_->decodeAhead(packet.get());
        } else if (packet->stream_index == audioStream_) {
            audioBytes += static_cast<size_t>(packet->size);
            audioAhead_.push_back(std::move(packet));
        }
    }
    return true;
}

bool DecodingGraph::connectAudioSource() {
    if (audioStream_ < 0) {
        return false;
    }
    audio_ = std::make_unique<AudioBranch>(audioGrabber_, startTime_);
    if (!audio_->openDecoder(*input_->streams[audioStream_], 1)) {
        audio_.reset();
        return false;
    }
    // Audio decodes far faster than video: unchecked, it would run seconds ahead, and the
    // samples would reach the handlers out of time order.
    audio_->followLeader(*video_, videoQueue_, kMaxAudioLead);
    return true;
}

MediaType DecodingGraph::offeredAudioType(const PcmFormat& asked) const {
    const bool producible = (asked.channels == 1 || asked.channels == 2) &&
                            (asked.bitsPerSample == 16 || asked.bitsPerSample == 32) &&
                            asked.sampleRate > 0 && asked.sampleRate <= 384000;
    if (producible) {
        return MediaType::pcmAudio(asked.sampleRate, asked.channels, asked.bitsPerSample);
    }
    // What the decoder gives as it is, which the grabber then refuses.
    const AVCodecContext* decoder = audio_->decoder();
    const auto format = decoder->sample_fmt;
    MediaType native = MediaType::pcmAudio(decoder->sample_rate, decoder->ch_layout.nb_channels,
                                           av_get_bytes_per_sample(format) * 8);
    if (format == AV_SAMPLE_FMT_FLT || format == AV_SAMPLE_FMT_FLTP ||
        format == AV_SAMPLE_FMT_DBL || format == AV_SAMPLE_FMT_DBLP) {
        native.wave.formatTag = kWaveFormatFloat;
    }
    return native;
}

void DecodingGraph::run() {
    if (!video_ || gate_.stopped()) {
        return;
    }
    if (!started_) {
        started_ = true;
        for (PacketPtr& packet : audioAhead_) {
            audioQueue_.pushNow(std::move(packet));
        }
        audioAhead_.clear();
        if (sourceEnded_) {
            videoQueue_.pushNow(nullptr);
            audioQueue_.pushNow(nullptr);
        } else {
            reader_ = std::thread([this] { readPackets(); });
        }
        videoThread_ = std::thread([this] {
            video_->stream(videoQueue_, gate_);
            branchEnded();
        });
        if (audio_) {
            audioThread_ = std::thread([this] {
                audio_->stream(audioQueue_, gate_);
                branchEnded();
            });
        }
    }
    gate_.run();
}

void DecodingGraph::pause() {
    gate_.pause();
}

void DecodingGraph::stop() {
    stopping_.store(true, std::memory_order_relaxed);
    gate_.stop();
    videoQueue_.close();
    audioQueue_.close();
    for (std::thread* thread : {&reader_, &videoThread_, &audioThread_}) {
        if (thread->joinable()) {
            thread->join();
        }
    }
    completion_.notify_all();
}

void DecodingGraph::readPackets() {
    while (gate_.pass()) {
        PacketPtr packet(av_packet_alloc());
        if (!packet) {
            break;
        }
        const int read = av_read_frame(input_.get(), packet.get());
        if (read == AVERROR(EAGAIN)) {
            continue;
        }
        if (read < 0) {
            break;  // the end of the file, or a part of it that cannot be read: the end too
        }
        if (packet->stream_index == videoStream_) {
            videoQueue_.push(std::move(packet));
        } else if (packet->stream_index == audioStream_ && audio_) {
            audioQueue_.push(std::move(packet));
        }
    }
    if (!gate_.stopped()) {
        videoQueue_.push(nullptr);
        audioQueue_.push(nullptr);
    }
}

void DecodingGraph::branchEnded() {
    { std::lock_guard lock(completionMutex_); }
    completion_.notify_all();
    if (completionEvent_ != nullptr && completed()) {
        completionEvent_->set();
    }
}

bool DecodingGraph::completed() const {
    return video_ && video_->finished() && (!audio_ || audio_->finished());
}

bool DecodingGraph::waitForCompletion(std::chrono::milliseconds timeout) {
    std::unique_lock lock(completionMutex_);
    return completion_.wait_for(lock, timeout, [this] { return completed() || gate_.stopped(); });
}

int64_t DecodingGraph::currentPosition() const {
    // What every branch still streaming has delivered: one branch racing ahead of the other
    // does not make the file look further along than it is.
    int64_t position = INT64_MAX;
    int64_t furthest = 0;
    for (const DecodingBranch* branch : {static_cast<const DecodingBranch*>(video_.get()),
                                         static_cast<const DecodingBranch*>(audio_.get())}) {
        if (branch == nullptr) {
            continue;
        }
        furthest = std::max(furthest, branch->deliveredUntil());
        if (!branch->finished()) {
            position = std::min(position, branch->deliveredUntil());
        }
    }
    if (position == INT64_MAX) {  // every branch has ended its stream
        return std::max(furthest, duration_);
    }
    return std::max<int64_t>(position, 0);
}

}  // namespace morvane
