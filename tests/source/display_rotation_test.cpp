#include "source/decoding_graph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "pixels/bitmap_layout.h"
#include "pixels/cpu_features.h"
#include "tests/source/graph_harness.h"
#include "tests/support/media_writer.h"
#include "tests/support/temp_dir.h"

namespace morvane {
namespace {

struct TurnedClip {
    const char* name;
    const char* file;  // mp4 of H.264, or mov of raw BGR
    double rotation;
    int width;  // of the frames delivered
    int height;
    int corner;  // where the stored top left is seen: 0 top left, 1 top right, 2, 3 bottom
};

// The stored pictures are landscape, dark grey but for a block of orange in the top left
// quarter of each side; in blue, green and red.
constexpr std::array<uint8_t, 3> kBlock{0, 128, 255};
constexpr std::array<uint8_t, 3> kGrey{64, 64, 64};

class TurnedClips : public ::testing::TestWithParam<TurnedClip> {};

TEST_P(TurnedClips, ComeOutUprightAtTheTurnedSize) {
    const TurnedClip& clip = GetParam();
    const bool raw = std::strstr(clip.file, ".mov") != nullptr;
    test::TempDir dir;
    test::ClipRecipe turned;
    turned.container = raw ? "mov" : "mp4";
    turned.videoCodec = raw ? "rawvideo" : "libx264";
    turned.audioCodec = "";
    turned.width = std::max(clip.width, clip.height);
    turned.height = std::min(clip.width, clip.height);
    turned.seconds = 0.2;
    turned.rotation = clip.rotation;
    turned.paint = [width = turned.width, height = turned.height](int, uint8_t* bgr, int stride) {
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                const bool block = row < height / 4 && column < width / 4;
                std::memcpy(bgr + row * stride + 3 * column, (block ? kBlock : kGrey).data(), 3);
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
    // Rows bottom-up, of blue, green and red, padded with zeros.
    const auto frame = harness.firstFrame();
    ASSERT_EQ(frame.size(), stride * clip.height);
    for (size_t row = 0; row < static_cast<size_t>(clip.height); ++row) {
        EXPECT_TRUE(std::all_of(frame.begin() + row * stride + 3 * clip.width,
                                frame.begin() + (row + 1) * stride,
                                [](uint8_t b) { return b == 0; }))
            << "the padding of row " << row;
    }
    const auto at = [&](int x, int y) { return &frame[stride * (clip.height - 1 - y) + 3 * x]; };
    // In the middle of each corner's block, and at its outermost pixel.
    for (int corner = 0; corner < 4; ++corner) {
        const bool right = corner % 2 == 1;
        const bool bottom = corner >= 2;
        for (const auto& [x, y] :
             {std::pair{right ? clip.width * 7 / 8 : clip.width / 8,
                        bottom ? clip.height * 7 / 8 : clip.height / 8},
              std::pair{right ? clip.width - 1 : 0, bottom ? clip.height - 1 : 0}}) {
            const std::array<uint8_t, 3>& expected = corner == clip.corner ? kBlock : kGrey;
            for (int channel = 0; channel < 3; ++channel) {
                EXPECT_NEAR(at(x, y)[channel], expected[channel], 16)
                    << "corner " << corner << " at " << x << "," << y << ", channel " << channel;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rotations, TurnedClips,
                         ::testing::Values(TurnedClip{"Upright", "0.mp4", 0, 320, 240, 0},
                                           TurnedClip{"Quarter", "90.mp4", 90, 240, 320, 1},
                                           TurnedClip{"Half", "180.mp4", 180, 320, 240, 3},
                                           TurnedClip{"ThreeQuarters", "270.mp4", 270, 240, 320, 2},
                                           TurnedClip{"NearlyAQuarter", "80.mp4", 80, 240, 320, 1},
                                           // Not YUV 4:2:0: through libswscale once turned, or
                                           // as it is, of a size that pads the rows.
                                           TurnedClip{"QuarterRawBgr", "90.mov", 90, 240, 320, 1},
                                           TurnedClip{"UprightRawBgrOdd", "0.mov", 0, 321, 241, 0}),
                         [](const ::testing::TestParamInfo<TurnedClip>& param) {
                             return param.param.name;
                         });

}  // namespace
}  // namespace morvane
