#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "encoder/watermark_overlay.h"
#include "pixels/bgr_to_yuv420.h"
#include "source/frame_picture.h"
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

// PSNR of the picture's three planes against the reference's, over the rectangle of luma
// columns [left, right) and rows [top, bottom) (chroma over the blocks that cover it).
double psnrOver(const Picture& picture, const Picture& reference, int left, int top, int right,
                int bottom) {
    double error = 0;
    size_t count = 0;
    const auto add = [&](int a, int b) {
        error += (a - b) * (a - b);
        ++count;
    };
    for (int row = top; row < bottom; ++row) {
        for (int x = left; x < right; ++x) {
            add(picture.lumaAt(x, row), reference.lumaAt(x, row));
        }
    }
    for (int row = top / 2; row < (bottom + 1) / 2; ++row) {
        for (int x = left / 2; x < (right + 1) / 2; ++x) {
            add(picture.uAt(x, row), reference.uAt(x, row));
            add(picture.vAt(x, row), reference.vAt(x, row));
        }
    }
    return error == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * static_cast<double>(count) / error);
}

// A decoded YUV picture stays YUV: scaled as YUV and given the watermark in its planes, it is
// what the way through its blue-green-red pixels gave (the watermark blended into those) to
// within 40 dB over the watermark's rectangle and the whole picture, in every matrix. It is the
// encoder's picture as it is only where nothing changes it: of the size, in the encoder's
// colours, without a watermark.
TEST_F(WatermarkOverlayTest, BlendsIntoDecodedPicturesAsIntoTheirPixels) {
    std::vector<uint8_t> rgba(100 * 40 * 4);
    for (size_t pixel = 0; pixel < 100 * 40; ++pixel) {
        const size_t column = pixel % 100;
        rgba[pixel * 4 + 0] = 200;
        rgba[pixel * 4 + 1] = static_cast<uint8_t>(60 + column);
        rgba[pixel * 4 + 2] = 30;
        rgba[pixel * 4 + 3] = static_cast<uint8_t>(column * 255 / 99);
    }
    test::writePng(dir_ / "ramp.png", 100, 40, rgba);
    struct Case {
        AVColorSpace matrix;
        int width, height;
    };
    const Case cases[] = {{AVCOL_SPC_UNSPECIFIED, 352, 288},
                          {AVCOL_SPC_BT709, 352, 288},
                          {AVCOL_SPC_SMPTE170M, 176, 144},
                          {AVCOL_SPC_BT709, 480, 360}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "matrix " << c.matrix << " to " << c.width << "x" << c.height);
        // The source: a test picture in that matrix, decoded as a 352x288 YUV frame.
        const FramePtr frame =
            test::makeNoiseYuvFrame(AV_PIX_FMT_YUV420P, 352, 288, c.matrix, AVCOL_RANGE_MPEG, 1);
        const auto pixels = test::makeTestFrame(352, 288, 3);
        convertToYuv420(makeFrameBitmap(pixels.data(), pixels.size(), 352, 288).view(),
                        {frame->data[0], frame->linesize[0], frame->data[1], frame->linesize[1],
                         frame->data[2], frame->linesize[2]});
        DecodedPicture decoded = decodedPictureOf(*frame);
        decoded.inEncoderColours = isInEncoderColours(*frame);
        std::vector<uint8_t> bgr(bitmapStride(352) * 288);
        convertYuv420ToBgr(decoded, bgr.data() + bitmapStride(352) * 287,
                           -static_cast<ptrdiff_t>(bitmapStride(352)));

        overlay_.releaseWatermark();
        EXPECT_EQ(overlay_.takesAsItIs(decoded, c.width, c.height),
                  c.width == 352 && c.matrix != AVCOL_SPC_BT709);
        overlay_.loadWatermark(dir_ / "ramp.png");
        EXPECT_FALSE(overlay_.takesAsItIs(decoded, c.width, c.height));
        Picture inYuv(c.width, c.height);
        ASSERT_TRUE(overlay_.convertPicture(decoded, c.width, c.height, inYuv.planes()));
        overlay_.setFrame(makeFrameBitmap(bgr.data(), bgr.size(), 352, 288));
        Picture throughPixels(c.width, c.height);
        ASSERT_TRUE(overlay_.convertFrame(c.width, c.height, throughPixels.planes()));
        const int left = c.width - 120;
        const int top = c.height - 60;
        EXPECT_GE(psnrOver(inYuv, throughPixels, left, top, left + 100, top + 40), 40.0);
        EXPECT_GE(psnrOver(inYuv, throughPixels, 0, 0, c.width, c.height), 40.0);
        // The watermark is there: its opaque end is its own colour.
        EXPECT_NEAR(inYuv.lumaAt(left + 99, top + 20), 0.257 * 200 + 0.504 * 159 + 0.098 * 30 + 16,
                    1.5);
    }
}

// A watermark file that is missing or no image gives none. A payload short of a whole frame,
// or of no width, gives no frame: the picture keeps what it held.
TEST_F(WatermarkOverlayTest, RefusesWhatIsNoImageOrNoFrame) {
    overlay_.loadWatermark(dir_ / "missing.png");
    EXPECT_FALSE(overlay_.hasWatermark());
    test::writeFile(dir_ / "not-an-image.png", "this is text");
    overlay_.loadWatermark(dir_ / "not-an-image.png");
    EXPECT_FALSE(overlay_.hasWatermark());

    const auto frame = makeSolidFrame(352, 288, 30, 60, 90);
    Picture sameSize(352, 288);
    overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size(), 352, 288));
    ASSERT_TRUE(overlay_.convertFrame(352, 288, sameSize.planes()));
    EXPECT_EQ(sameSize.lumaAt(351, 287), 72);
    overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size() - 1, 352, 288));
    EXPECT_FALSE(overlay_.convertFrame(352, 288, sameSize.planes()));
    EXPECT_EQ(sameSize.lumaAt(351, 287), 72);
    overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size(), 0, 288));
    EXPECT_FALSE(overlay_.convertFrame(352, 288, sameSize.planes()));
}

}  // namespace
}  // namespace morvane
