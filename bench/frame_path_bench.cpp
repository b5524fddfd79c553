// The frame path from a decoded 1920x1080 picture to the encoder's (no step, scaled to half
// size, watermarked), one thread, the way through RGB that it took until this release and the
// way in YUV it takes now; and what the FLV1 encoder spends on a frame.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "bench/steady_runs.h"
#include "encoder/video_encoder.h"
#include "encoder/watermark_overlay.h"
#include "pixels/bgr_to_yuv420.h"
#include "source/frame_picture.h"
#include "tests/support/media.h"
#include "tests/support/temp_dir.h"

namespace morvane {
namespace {

constexpr int kDistinctFrames = 25;

struct Size {
    int width;
    int height;
};

std::vector<std::vector<uint8_t>> makeFrames(Size size) {
    std::vector<std::vector<uint8_t>> frames;
    for (int index = 0; index < kDistinctFrames; ++index) {
        frames.push_back(test::makeTestFrame(size.width, size.height, index));
    }
    return frames;
}

// The steps a decoded picture takes to the encoder's picture.
enum class Steps { None, HalfSize, Watermark };

// Decoded 1920x1080 pictures (the test pictures in YUV, untagged: BT.601 as the encoder's), as
// the decoder hands them over.
std::vector<FramePtr> makeDecodedFrames(Size size) {
    std::vector<FramePtr> decoded;
    for (const auto& pixels : makeFrames(size)) {
        FramePtr frame(av_frame_alloc());
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = size.width;
        frame->height = size.height;
        av_frame_get_buffer(frame.get(), 0);
        convertToYuv420(
            makeFrameBitmap(pixels.data(), pixels.size(), size.width, size.height).view(),
            {frame->data[0], frame->linesize[0], frame->data[1], frame->linesize[1], frame->data[2],
             frame->linesize[2]});
        decoded.push_back(std::move(frame));
    }
    return decoded;
}

DecodedPicture pictureOf(const AVFrame& frame, bool inEncoderColours) {
    DecodedPicture picture = decodedPictureOf(frame);
    picture.inEncoderColours = inEncoderColours;
    return picture;
}

// What both ways start from: decoded 1920x1080 pictures, the output size, the overlay (with a
// watermark where one is drawn) and the pool of the encoder's pictures.
struct PathSetup {
    explicit PathSetup(Steps steps)
        : output(steps == Steps::HalfSize ? Size{source.width / 2, source.height / 2} : source),
          frames(makeDecodedFrames(source)) {
        test::writePng(dir / "watermark.png", 100, 40, std::vector<uint8_t>(100 * 40 * 4, 200));
        if (steps == Steps::Watermark) {
            overlay.loadWatermark(dir / "watermark.png");
        }
    }

    static constexpr Size source{1920, 1080};
    const Size output;
    const std::vector<FramePtr> frames;
    test::TempDir dir;
    WatermarkOverlay overlay;
    const std::shared_ptr<BufferPool> pool = BufferPool::create(64 << 20);
};

// How a decoded picture became the encoder's until this release: its blue-green-red frame
// (made only where the watermark had to go into its pixels), else its conversion to YUV
// through RGB and back, then scaled as YUV.
void throughRgb(benchmark::State& state, Steps steps) {
    PathSetup setup(steps);
    constexpr Size source = PathSetup::source;
    const Size output = setup.output;
    WatermarkOverlay& overlay = setup.overlay;
    const auto& frames = setup.frames;
    const auto& pool = setup.pool;
    const size_t bgrBytes = bitmapStride(source.width) * source.height;
    size_t next = 0;
    for (auto _ : state) {
        const DecodedPicture decoded = pictureOf(*frames[next++ % frames.size()], false);
        ByteBuffer picture = pool->take(VideoEncoder::pictureBytes(output.width, output.height));
        const YuvPlanes planes = VideoEncoder::planesOf(picture.get(), output.width, output.height);
        if (steps == Steps::Watermark) {
            ByteBuffer bgr = pool->take(bgrBytes);
            const auto stride = static_cast<ptrdiff_t>(bitmapStride(source.width));
            convertYuv420ToBgr(decoded, bgr.get() + stride * (source.height - 1), -stride);
            overlay.setFrame(
                makeFrameBitmap(std::move(bgr), bgrBytes, source.width, source.height));
            overlay.convertFrame(output.width, output.height, planes);
        } else {
            overlay.convertPicture(decoded, output.width, output.height, planes);
        }
        benchmark::DoNotOptimize(picture[0]);
    }
}

// The way now: a picture in the encoder's colours goes as itself (a new reference to the
// decoder's frame), else into a picture of the pool, scaled as YUV and the watermark blended
// into its planes.
void inYuv(benchmark::State& state, Steps steps) {
    PathSetup setup(steps);
    const Size output = setup.output;
    WatermarkOverlay& overlay = setup.overlay;
    const auto& frames = setup.frames;
    const auto& pool = setup.pool;
    size_t next = 0;
    for (auto _ : state) {
        const AVFrame& frame = *frames[next++ % frames.size()];
        const DecodedPicture decoded = pictureOf(frame, true);
        FramePtr picture;
        if (overlay.takesAsItIs(decoded, output.width, output.height)) {
            picture = VideoEncoder::pictureOver(frame);
        } else {
            ByteBuffer bytes = pool->take(VideoEncoder::pictureBytes(output.width, output.height));
            overlay.convertPicture(
                decoded, output.width, output.height,
                VideoEncoder::planesOf(bytes.get(), output.width, output.height));
            picture = VideoEncoder::frameOf(std::move(bytes), output.width, output.height);
        }
        benchmark::DoNotOptimize(picture->data[0][0]);
    }
}

void encodeFrame(benchmark::State& state, Size size) {
    VideoEncoder encoder;
    if (encoder.open(avcodec_find_encoder(AV_CODEC_ID_FLV1),
                     {size.width, size.height, {25, 1}, 25, 409600, 4096, {}}) !=
        CodecOpenResult::Opened) {
        state.SkipWithError("FLV1 does not open");
        return;
    }
    WatermarkOverlay overlay;
    const auto frames = makeFrames(size);
    const auto pool = BufferPool::create(64 << 20);
    const size_t bytes = VideoEncoder::pictureBytes(size.width, size.height);
    size_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto& frame = frames[next++ % frames.size()];
        ByteBuffer picture = pool->take(bytes);
        overlay.setFrame(makeFrameBitmap(frame.data(), frame.size(), size.width, size.height));
        overlay.convertFrame(size.width, size.height,
                             VideoEncoder::planesOf(picture.get(), size.width, size.height));
        state.ResumeTiming();
        encoder.encode(VideoEncoder::frameOf(std::move(picture), size.width, size.height),
                       [](AVPacket& packet) { benchmark::DoNotOptimize(packet.size); });
    }
}

BENCHMARK_CAPTURE(throughRgb, 1920x1080, Steps::None)->Apply(steadily);
BENCHMARK_CAPTURE(inYuv, 1920x1080, Steps::None)->Apply(steadily);
BENCHMARK_CAPTURE(throughRgb, 1920x1080_to_960x540, Steps::HalfSize)->Apply(steadily);
BENCHMARK_CAPTURE(inYuv, 1920x1080_to_960x540, Steps::HalfSize)->Apply(steadily);
BENCHMARK_CAPTURE(throughRgb, 1920x1080_watermarked, Steps::Watermark)->Apply(steadily);
BENCHMARK_CAPTURE(inYuv, 1920x1080_watermarked, Steps::Watermark)->Apply(steadily);
BENCHMARK_CAPTURE(encodeFrame, 320x240, Size{320, 240})->Apply(steadily);
BENCHMARK_CAPTURE(encodeFrame, 1920x1080, Size{1920, 1080})->Apply(steadily);

}  // namespace
}  // namespace morvane

BENCHMARK_MAIN();
