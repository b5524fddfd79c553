#include <gtest/gtest.h>

#include <vector>

#include "encoder/watermark_overlay.h"
#include "pixels/bgr_to_yuv420.h"
#include "tests/pixels/test_picture.h"
#include "tests/support/media.h"
#include "tests/support/temp_dir.h"

namespace morvane {
namespace {

using test::makeSolidFrame;

using Picture = test::YuvPicture;

class WatermarkOverlayTest : public ::testing::Test {
protected:
    // 100 x 40: the left half opaque white, the right half white at half opacity, except a
    // fully transparent last column.
    void SetUp() override {
        std::vector<uint8_t> rgba(100 * 40 * 4, 255);
        for (int row = 0; row < 40; ++row) {
            for (int column = 50; column < 100; ++column) {
                rgba[(row * 100 + column) * 4 + 3] = column == 99 ? 0 : 128;
            }
        }
        test::writePng(dir_ / "watermark.png", 100, 40, rgba);
    }

    test::TempDir dir_;
    WatermarkOverlay overlay_;
};

TEST_F(WatermarkOverlayTest, DrawsTheWatermarkTwentyPixelsFromTheBottomRightWithItsAlpha) {
    overlay_.loadWatermark(dir_ / "watermark.png");
    ASSERT_TRUE(overlay_.hasWatermark());
    const auto frame = makeSolidFrame(320, 240, 0, 0, 0);
    overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size(), 320, 240));
    Picture picture(320, 240);
    ASSERT_TRUE(overlay_.convertFrame(320, 240, picture.planes()));

    for (int row = 0; row < 240; ++row) {
        for (int x = 0; x < 320; ++x) {
            int expected = 16;
            if (row >= 180 && row < 220 && x >= 200 && x < 299) {
                expected = x < 250 ? 235 : 126;  // white, and white at half opacity over black
            }
            ASSERT_EQ(picture.lumaAt(x, row), expected) << x << "," << row;
        }
    }

    // Converting the same frame again does not draw the watermark twice.
    Picture again(320, 240);
    ASSERT_TRUE(overlay_.convertFrame(320, 240, again.planes()));
    EXPECT_EQ(again.y, picture.y);
}

// The watermark keeps its own pixel size whatever the frame's, clipped by the picture's edges;
// over a scaled frame it goes in through its own YUV blend, in the same limited range.
TEST_F(WatermarkOverlayTest, ClipsAndKeepsItsSizeOverFramesOfEverySize) {
    struct Probe {
        int x;
        int row;
        int luma;
    };
    struct Case {
        bool black;
        int frameWidth;
        int frameHeight;
        int width;
        int height;
        std::vector<Probe> probes;
    };
    // Frames are black, or (30, 60, 90), which is Y 72; the watermark's white is 235, its
    // half-opaque white 126 over black and 154 over that colour.
    const Case cases[] = {
        // Larger than the frame: its top-left corner lies at (-40, -10).
        {true,
         80,
         50,
         80,
         50,
         {{0, 0, 235}, {9, 29, 235}, {10, 0, 126}, {58, 29, 126}, {59, 0, 16}, {5, 30, 16}}},
        // Scaled by half: the watermark from (56, 84) on, at its own size.
        {false,
         352,
         288,
         176,
         144,
         {{0, 0, 72},
          {175, 143, 72},
          {56, 84, 235},
          {150, 123, 154},
          {55, 84, 72},
          {56, 83, 72},
          {155, 123, 72}}},
        {false, 321, 241, 160, 120, {{0, 0, 72}, {159, 119, 72}, {40, 60, 235}}},
    };
    overlay_.loadWatermark(dir_ / "watermark.png");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.frameWidth << "x" << c.frameHeight << " to " << c.width
                                        << "x" << c.height);
        const auto frame = c.black ? makeSolidFrame(c.frameWidth, c.frameHeight, 0, 0, 0)
                                   : makeSolidFrame(c.frameWidth, c.frameHeight, 30, 60, 90);
        overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size(), c.frameWidth, c.frameHeight));
        Picture picture(c.width, c.height);
        ASSERT_TRUE(overlay_.convertFrame(c.width, c.height, picture.planes()));
        for (const Probe& probe : c.probes) {
            EXPECT_EQ(picture.lumaAt(probe.x, probe.row), probe.luma)
                << probe.x << "," << probe.row;
        }
        if (c.width == 176) {
            EXPECT_EQ(picture.uAt(28, 42), 128);  // white has no colour
        }
    }
}

// A frame given as its YUV conversion makes the picture its pixels make, except where the
// watermark has to go into the pixels themselves: that frame is refused.
TEST_F(WatermarkOverlayTest, TakesFramesAsTheirConversionWhereTheWatermarkAllows) {
    overlay_.loadWatermark(dir_ / "watermark.png");
    const auto frame = makeSolidFrame(352, 288, 30, 60, 90);
    const FrameBitmap bitmap = makeFrameBitmap(frame.data(), frame.size(), 352, 288);
    const auto fill = [&bitmap](const YuvPlanes& planes) {
        convertToYuv420(bitmap.view(), planes);
    };

    overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size(), 352, 288));
    Picture fromPixels(176, 144);
    ASSERT_TRUE(overlay_.convertFrame(176, 144, fromPixels.planes()));
    overlay_.releaseFrame();
    ASSERT_TRUE(overlay_.takesYuvFrame(352, 288, 176, 144));
    Picture fromConversion(176, 144);
    ASSERT_TRUE(overlay_.convertYuvFrame(352, 288, fill, 176, 144, fromConversion.planes()));
    EXPECT_EQ(fromConversion.y, fromPixels.y);
    EXPECT_EQ(fromConversion.u, fromPixels.u);
    EXPECT_EQ(fromConversion.v, fromPixels.v);

    Picture sameSize(352, 288);
    EXPECT_FALSE(overlay_.takesYuvFrame(352, 288, 352, 288));
    EXPECT_FALSE(overlay_.convertYuvFrame(352, 288, fill, 352, 288, sameSize.planes()));
    overlay_.releaseWatermark();
    ASSERT_TRUE(overlay_.convertYuvFrame(352, 288, fill, 352, 288, sameSize.planes()));
    EXPECT_EQ(sameSize.lumaAt(351, 287), 72);
}

TEST_F(WatermarkOverlayTest, WithoutAWatermarkOrAFrame) {
    overlay_.loadWatermark(dir_ / "missing.png");
    EXPECT_FALSE(overlay_.hasWatermark());
    test::writeFile(dir_ / "not-an-image.png", "this is text");
    overlay_.loadWatermark(dir_ / "not-an-image.png");
    EXPECT_FALSE(overlay_.hasWatermark());

    const auto frame = makeSolidFrame(64, 32, 255, 255, 255);
    overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size(), 64, 32));
    Picture picture(64, 32);
    ASSERT_TRUE(overlay_.convertFrame(64, 32, picture.planes()));
    EXPECT_EQ(picture.lumaAt(63, 31), 235);

    // A payload short of a whole frame gives no frame: the picture keeps what it held.
    overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size() - 1, 64, 32));
    EXPECT_FALSE(overlay_.convertFrame(64, 32, picture.planes()));
    EXPECT_EQ(picture.lumaAt(63, 31), 235);
    overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size(), 0, 32));
    EXPECT_FALSE(overlay_.convertFrame(64, 32, picture.planes()));
}

}  // namespace
}  // namespace morvane
