#include <gtest/gtest.h>

#include <algorithm>
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

// The watermark keeps its own pixel size and alpha whatever the frame's, 20 pixels in from the
// bottom right of the picture and clipped by its edges: drawn into the pixels of a frame of the
// picture's size (once, however often it is converted), and over a scaled frame through its own
// YUV blend, in the same limited range.
TEST_F(WatermarkOverlayTest, DrawsTheWatermarkAtItsOwnSizeOverFramesOfEverySize) {
    struct Case {
        bool black;
        int frameWidth, frameHeight, width, height;
    };
    const Case cases[] = {{true, 320, 240, 320, 240},
                          {true, 80, 50, 80, 50},  // larger than the frame: from (-40, -10)
                          {false, 352, 288, 176, 144},
                          {false, 321, 241, 160, 120}};
    overlay_.loadWatermark(dir_ / "watermark.png");
    ASSERT_TRUE(overlay_.hasWatermark());
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.frameWidth << "x" << c.frameHeight << " to " << c.width
                                        << "x" << c.height);
        // Frames are black, or (30, 60, 90), which is Y 72; the watermark's white is 235, its
        // half-opaque white 126 over black and 154 over that colour.
        const auto frame = c.black ? makeSolidFrame(c.frameWidth, c.frameHeight, 0, 0, 0)
                                   : makeSolidFrame(c.frameWidth, c.frameHeight, 30, 60, 90);
        overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size(), c.frameWidth, c.frameHeight));
        Picture picture(c.width, c.height);
        ASSERT_TRUE(overlay_.convertFrame(c.width, c.height, picture.planes()));
        const int left = c.width - 120;
        const int top = c.height - 60;
        for (int row = 0; row < c.height; ++row) {
            for (int x = 0; x < c.width; ++x) {
                const int column = x - left;
                int expected = c.black ? 16 : 72;
                if (row >= top && row < top + 40 && column >= 0 && column < 99) {
                    expected = column < 50 ? 235 : c.black ? 126 : 154;
                }
                ASSERT_EQ(picture.lumaAt(x, row), expected) << x << "," << row;
            }
        }
        // White has no colour.
        EXPECT_EQ(picture.uAt(std::max(left, 0) / 2 + 1, std::max(top, 0) / 2 + 1), 128);

        Picture again(c.width, c.height);
        ASSERT_TRUE(overlay_.convertFrame(c.width, c.height, again.planes()));
        EXPECT_TRUE(again == picture) << "the watermark was drawn twice";
    }
}

// A watermark file that is missing or no image gives none. A frame given as its YUV conversion
// makes the picture its pixels make, except where the watermark has to go into the pixels
// themselves: that frame is refused, until the watermark is let go. A payload short of a whole
// frame, or of no width, gives no frame: the picture keeps what it held.
TEST_F(WatermarkOverlayTest, TakesFramesAsTheirConversionWhereTheWatermarkAllows) {
    overlay_.loadWatermark(dir_ / "missing.png");
    EXPECT_FALSE(overlay_.hasWatermark());
    test::writeFile(dir_ / "not-an-image.png", "this is text");
    overlay_.loadWatermark(dir_ / "not-an-image.png");
    EXPECT_FALSE(overlay_.hasWatermark());

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
    EXPECT_TRUE(fromConversion == fromPixels);

    Picture sameSize(352, 288);
    EXPECT_FALSE(overlay_.takesYuvFrame(352, 288, 352, 288));
    EXPECT_FALSE(overlay_.convertYuvFrame(352, 288, fill, 352, 288, sameSize.planes()));
    overlay_.releaseWatermark();
    ASSERT_TRUE(overlay_.convertYuvFrame(352, 288, fill, 352, 288, sameSize.planes()));
    EXPECT_EQ(sameSize.lumaAt(351, 287), 72);

    overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size() - 1, 352, 288));
    EXPECT_FALSE(overlay_.convertFrame(352, 288, sameSize.planes()));
    EXPECT_EQ(sameSize.lumaAt(351, 287), 72);
    overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size(), 0, 288));
    EXPECT_FALSE(overlay_.convertFrame(352, 288, sameSize.planes()));
}

}  // namespace
}  // namespace morvane
