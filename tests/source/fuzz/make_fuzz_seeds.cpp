// Writes small clips of several containers and codecs into a folder, as the fuzzer's seeds.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/media_writer.h"

extern "C" {
#include <libavcodec/codec_par.h>
#include <libavutil/pixfmt.h>
}

namespace {

std::filesystem::path seedFolder;

TEST(FuzzSeeds, Write) {
    ASSERT_FALSE(seedFolder.empty());
    std::filesystem::create_directories(seedFolder);
    struct Seed {
        const char* file;
        const char* container;
        const char* video;
        const char* audio;
        double rotation = 0;  // a phone's clip, stored turned
    };
    for (const Seed& seed :
         {Seed{"a.mkv", "matroska", "mpeg4", "aac"}, Seed{"b.mp4", "mp4", "libx264", "aac"},
          Seed{"c.avi", "avi", "mpeg4", "libmp3lame"},
          Seed{"d.webm", "webm", "libvpx", "libvorbis"}, Seed{"e.flv", "flv", "flv", "libmp3lame"},
          Seed{"f.mp4", "mp4", "libx264", "aac", 90}}) {
        morvane::test::writeClip(seedFolder / seed.file, {.container = seed.container,
                                                          .videoCodec = seed.video,
                                                          .audioCodec = seed.audio,
                                                          .width = 64,
                                                          .height = 48,
                                                          .seconds = 0.3,
                                                          .sampleRate = 22050,
                                                          .rotation = seed.rotation});
    }
    // Footage that the graph reshapes: 10-bit HDR (tone mapped), and a disc's interlaced
    // pictures of pixels that are not square (deinterlaced, resampled).
    morvane::test::writeClip(seedFolder / "g.mkv", {.videoCodec = "ffv1",
                                                    .width = 64,
                                                    .height = 48,
                                                    .seconds = 0.3,
                                                    .sampleRate = 22050,
                                                    .filters = "format=yuv420p10le",
                                                    .pixelFormat = AV_PIX_FMT_YUV420P10LE,
                                                    .transfer = AVCOL_TRC_SMPTE2084,
                                                    .primaries = AVCOL_PRI_BT2020,
                                                    .matrix = AVCOL_SPC_BT2020_NCL});
    morvane::test::writeClip(seedFolder / "h.mkv", {.videoCodec = "mpeg2video",
                                                    .width = 64,
                                                    .height = 48,
                                                    .seconds = 0.3,
                                                    .sampleRate = 22050,
                                                    .pixelAspectNum = 16,
                                                    .pixelAspectDen = 11,
                                                    .fieldOrder = AV_FIELD_TT});
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1) {
        seedFolder = argv[1];
    }
    return RUN_ALL_TESTS();
}
