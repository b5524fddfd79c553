#include "source/decoding_graph.h"

#include <gtest/gtest.h>

#include <cstring>

#include "pixels/bitmap_layout.h"
#include "pixels/cpu_features.h"
#include "tests/source/graph_harness.h"
#include "tests/support/media_writer.h"
#include "tests/support/temp_dir.h"

namespace morvane {
namespace {

struct TurnedClip {
    const char* name;
    const char* file;  // mp4 of H.264, or mov of raw RGB
    double rotation;
    int width;  // of the frames delivered
    int height;
    int corner;  // where the stored top left is seen: 0 top left, 1 top right, 2, 3 bottom
};

class TurnedClips : public ::testing::TestWithParam<TurnedClip> {};

// The stored pictures are 320 x 240, black but for a white block at the top left.
TEST_P(TurnedClips, ComeOutUprightAtTheTurnedSize) {
    const TurnedClip& clip = GetParam();
    const bool raw = std::strstr(clip.file, ".mov") != nullptr;
    test::TempDir dir;
    test::ClipSpec turned;
    turned.container = raw ? "mov" : "mp4";
    turned.videoCodec = raw ? "rawvideo" : "libx264";
    turned.audioCodec = "";
    turned.seconds = 0.2;
    turned.rotation = clip.rotation;
    turned.paint = [](int, uint8_t* bgr, int stride) {
        for (int row = 0; row < 240; ++row) {
            for (int column = 0; column < 320; ++column) {
                std::memset(bgr + row * stride + 3 * column, row < 60 && column < 80 ? 255 : 0, 3);
            }
        }
    };
    test::writeClip(dir / clip.file, turned);
    test::GraphHarness harness;
    ASSERT_TRUE(harness.build(dir / clip.file)) << harness.logText();
    EXPECT_EQ(harness.graph().frameWidth(), clip.width);
    EXPECT_EQ(harness.graph().frameHeight(), clip.height);
    ASSERT_TRUE(harness.runToEnd());

    const size_t stride = bitmapStride(clip.width);
    // A turned YUV 4:2:0 picture still reaches the handler as itself, where it can.
    const bool direct = !raw && haveAvx2();
    ASSERT_EQ(harness.video().size(), 5U);
    for (const test::GraphHarness::Sample& sample : harness.video()) {
        EXPECT_EQ(sample.size, stride * clip.height);
        EXPECT_EQ(sample.picture, direct);
    }
    const auto frame = harness.firstFrame();
    ASSERT_EQ(frame.size(), stride * clip.height);
    for (int corner = 0; corner < 4; ++corner) {  // in the middle of each corner's block
        const int x = corner % 2 == 1 ? clip.width * 7 / 8 : clip.width / 8;
        const int y = corner >= 2 ? clip.height * 7 / 8 : clip.height / 8;
        const int green = frame[stride * (clip.height - 1 - y) + 3 * x + 1];  // rows bottom-up
        EXPECT_TRUE(corner == clip.corner ? green > 200 : green < 55) << corner << ": " << green;
    }
}

INSTANTIATE_TEST_SUITE_P(Rotations, TurnedClips,
                         ::testing::Values(TurnedClip{"Upright", "0.mp4", 0, 320, 240, 0},
                                           TurnedClip{"Quarter", "90.mp4", 90, 240, 320, 1},
                                           TurnedClip{"Half", "180.mp4", 180, 320, 240, 3},
                                           TurnedClip{"ThreeQuarters", "270.mp4", 270, 240, 320, 2},
                                           TurnedClip{"NearlyAQuarter", "80.mp4", 80, 240, 320, 1},
                                           // Not YUV 4:2:0: through libswscale once turned.
                                           TurnedClip{"QuarterRawRgb", "90.mov", 90, 240, 320, 1}),
                         [](const ::testing::TestParamInfo<TurnedClip>& param) {
                             return param.param.name;
                         });

}  // namespace
}  // namespace morvane
