// Decoded YUV 4:2:0 pictures into the bottom-up BGR frames of the video branch: our converter
// against libswscale's own fast path, on the same frames. Then the whole road to the encoder's
// picture: through the BGR frame, and straight from the decoded planes. Last, HDR pictures
// (10-bit PQ and HLG) tone mapped to the encoder's SDR ones, on one thread.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "bench/steady_runs.h"
#include "pixels/bgr_to_yuv420.h"
#include "pixels/bitmap_layout.h"
#include "pixels/decoded_to_yuv420.h"
#include "pixels/tone_mapping.h"
#include "platform/byte_buffer.h"
#include "platform/ffmpeg_ptr.h"
#include "source/frame_picture.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace morvane {
namespace {

constexpr int kDistinctFrames = 8;

std::vector<FramePtr> makePictures(int width, int height) {
    std::vector<FramePtr> pictures;
    for (int index = 0; index < kDistinctFrames; ++index) {
        FramePtr picture(av_frame_alloc());
        picture->format = AV_PIX_FMT_YUV420P;
        picture->width = width;
        picture->height = height;
        av_frame_get_buffer(picture.get(), 0);
        for (int plane = 0; plane < 3; ++plane) {
            const int rows = plane == 0 ? height : height / 2;
            for (int row = 0; row < rows; ++row) {
                uint8_t* line = picture->data[plane] + row * picture->linesize[plane];
                for (int x = 0; x < picture->linesize[plane]; ++x) {
                    line[x] = static_cast<uint8_t>(x + row * (plane + 1) + index * 7);
                }
            }
        }
        pictures.push_back(std::move(picture));
    }
    return pictures;
}

// A frame in the video branch's layout: bottom-up rows, each padded to 4 bytes.
struct BgrFrame {
    BgrFrame(int width, int height)
        : stride(bitmapStride(width)),
          bytes(stride * static_cast<size_t>(height)),
          bottomRow(bytes.data() + stride * static_cast<size_t>(height - 1)) {}
    void convert(const AVFrame& picture) {
        convertYuv420ToBgr(decodedPictureOf(picture), bottomRow, -static_cast<ptrdiff_t>(stride));
    }

    size_t stride;
    std::vector<uint8_t> bytes;
    uint8_t* bottomRow;
};

void ours(benchmark::State& state, int width, int height) {
    const auto pictures = makePictures(width, height);
    BgrFrame frame(width, height);
    size_t next = 0;
    for (auto _ : state) {
        frame.convert(*pictures[next++ % pictures.size()]);
        benchmark::DoNotOptimize(frame.bytes.data());
    }
}

void libswscale(benchmark::State& state, int width, int height) {
    const auto pictures = makePictures(width, height);
    const size_t stride = bitmapStride(width);
    std::vector<uint8_t> frame(stride * static_cast<size_t>(height));
    SwsContext* context = sws_getContext(width, height, AV_PIX_FMT_YUV420P, width, height,
                                         AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    sws_setColorspaceDetails(context, sws_getCoefficients(SWS_CS_DEFAULT), 0,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    uint8_t* const planes[4] = {frame.data() + stride * static_cast<size_t>(height - 1), nullptr,
                                nullptr, nullptr};
    const int strides[4] = {-static_cast<int>(stride), 0, 0, 0};
    size_t next = 0;
    for (auto _ : state) {
        const AVFrame& picture = *pictures[next++ % pictures.size()];
        sws_scale(context, picture.data, picture.linesize, 0, height, planes, strides);
        benchmark::DoNotOptimize(frame.data());
    }
    sws_freeContext(context);
}

// The encoder's pictures that a conversion keeps in flight at 1080p: each frame is written into
// memory that the cache no longer holds, as it is in a conversion.
constexpr size_t kPicturesInFlight = 32;

// Allocated as the encoder's picture pool allocates them.
class EncoderPicture {
public:
    EncoderPicture(int width, int height)
        : bytes_(allocateBuffer(static_cast<size_t>(width) * height * 3 / 2)),
          planes_{bytes_.get(),
                  width,
                  bytes_.get() + static_cast<size_t>(width) * height,
                  width / 2,
                  bytes_.get() + static_cast<size_t>(width) * height * 5 / 4,
                  width / 2} {}
    const YuvPlanes& planes() const { return planes_; }

private:
    ByteBuffer bytes_;
    YuvPlanes planes_;
};

std::vector<EncoderPicture> picturesInFlight(int width, int height) {
    std::vector<EncoderPicture> targets;
    targets.reserve(kPicturesInFlight);
    for (size_t index = 0; index < kPicturesInFlight; ++index) {
        targets.emplace_back(width, height);
    }
    return targets;
}

void throughBgr(benchmark::State& state, int width, int height) {
    const auto pictures = makePictures(width, height);
    BgrFrame frame(width, height);
    const std::vector<EncoderPicture> targets = picturesInFlight(width, height);
    size_t next = 0;
    for (auto _ : state) {
        frame.convert(*pictures[next % pictures.size()]);
        const EncoderPicture& target = targets[next++ % targets.size()];
        convertToYuv420({frame.bottomRow, -static_cast<ptrdiff_t>(frame.stride), width, height},
                        target.planes());
        benchmark::DoNotOptimize(target.planes().y);
    }
}

void straight(benchmark::State& state, int width, int height) {
    const auto pictures = makePictures(width, height);
    const std::vector<EncoderPicture> targets = picturesInFlight(width, height);
    size_t next = 0;
    for (auto _ : state) {
        const AVFrame& picture = *pictures[next % pictures.size()];
        const EncoderPicture& target = targets[next++ % targets.size()];
        convertDecodedToYuv420(decodedPictureOf(picture), target.planes());
        benchmark::DoNotOptimize(target.planes().y);
    }
}

void toneMapped(benchmark::State& state, HdrTransfer transfer, int width, int height) {
    // A luma ramp over every level with slowly turning colours, in 10 bits.
    const int chromaWidth = width / 2;
    std::vector<uint16_t> y(static_cast<size_t>(width * height));
    std::vector<uint16_t> u(static_cast<size_t>(chromaWidth * height / 2));
    std::vector<uint16_t> v(u.size());
    for (size_t i = 0; i < y.size(); ++i) {
        y[i] = static_cast<uint16_t>(64 + i % static_cast<size_t>(width) * 876 / width);
    }
    for (size_t i = 0; i < u.size(); ++i) {
        u[i] = static_cast<uint16_t>(512 + (i / 64 * 7) % 300 - 150);
        v[i] = static_cast<uint16_t>(512 + (i / 80 * 5) % 300 - 150);
    }
    const ToneMapping mapping(transfer, 10.0);
    const std::vector<EncoderPicture> targets = picturesInFlight(width, height);
    size_t next = 0;
    for (auto _ : state) {
        const EncoderPicture& target = targets[next++ % targets.size()];
        mapping.apply(
            {y.data(), width, u.data(), chromaWidth, v.data(), chromaWidth, width, height},
            target.planes(), 0, height);
        benchmark::DoNotOptimize(target.planes().y);
    }
}

BENCHMARK_CAPTURE(ours, 1280x720, 1280, 720)->Apply(steadily);
BENCHMARK_CAPTURE(libswscale, 1280x720, 1280, 720)->Apply(steadily);
BENCHMARK_CAPTURE(ours, 1920x1080, 1920, 1080)->Apply(steadily);
BENCHMARK_CAPTURE(libswscale, 1920x1080, 1920, 1080)->Apply(steadily);
BENCHMARK_CAPTURE(throughBgr, 1280x720, 1280, 720)->Apply(steadily);
BENCHMARK_CAPTURE(straight, 1280x720, 1280, 720)->Apply(steadily);
BENCHMARK_CAPTURE(throughBgr, 1920x1080, 1920, 1080)->Apply(steadily);
BENCHMARK_CAPTURE(straight, 1920x1080, 1920, 1080)->Apply(steadily);
BENCHMARK_CAPTURE(toneMapped, pq_1920x1080, HdrTransfer::Pq, 1920, 1080)->Apply(steadily);
BENCHMARK_CAPTURE(toneMapped, hlg_1920x1080, HdrTransfer::Hlg, 1920, 1080)->Apply(steadily);

}  // namespace
}  // namespace morvane

BENCHMARK_MAIN();
