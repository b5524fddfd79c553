#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "encoder/watermark_overlay.h"
#include "encoder/yuv_conversion.h"
#include "tests/support/media.h"
#include "tests/support/temp_dir.h"

namespace morvane {
namespace {

using test::makeSolidFrame;

// A YUV 4:2:0 picture with padded rows, as the codec's pictures have.
struct Picture {
    Picture(int pictureWidth, int pictureHeight)
        : yStride(pictureWidth + 16),
          cStride((pictureWidth + 1) / 2 + 8),
          y(static_cast<size_t>(yStride) * pictureHeight, 0xAB),
          u(static_cast<size_t>(cStride) * ((pictureHeight + 1) / 2), 0xAB),
          v(u.size(), 0xAB) {}

    YuvPlanes planes() { return {y.data(), yStride, u.data(), cStride, v.data(), cStride}; }
    int lumaAt(int x, int row) const { return y[static_cast<size_t>(row) * yStride + x]; }
    int uAt(int x, int row) const { return u[static_cast<size_t>(row) * cStride + x]; }
    int vAt(int x, int row) const { return v[static_cast<size_t>(row) * cStride + x]; }

    int yStride;
    int cStride;
    std::vector<uint8_t> y;
    std::vector<uint8_t> u;
    std::vector<uint8_t> v;
};

Picture convert(const std::vector<uint8_t>& frame, int width, int height) {
    Picture picture(width, height);
    convertToYuv420(makeFrameBitmap(frame.data(), frame.size(), width, height).view(),
                    picture.planes());
    return picture;
}

TEST(ColourConversion, UsesTheFullRangeIntegerFormula) {
    const Picture white = convert(makeSolidFrame(64, 2, 255, 255, 255), 64, 2);
    const Picture black = convert(makeSolidFrame(64, 2, 0, 0, 0), 64, 2);
    const Picture red = convert(makeSolidFrame(64, 2, 0, 0, 255), 64, 2);
    for (int x = 0; x < 64; ++x) {
        EXPECT_EQ(white.lumaAt(x, 1), 255);
        EXPECT_EQ(black.lumaAt(x, 1), 0);
        EXPECT_EQ(red.lumaAt(x, 0), 76);
    }
    for (int x = 0; x < 32; ++x) {
        EXPECT_EQ(white.uAt(x, 0), 128);
        EXPECT_EQ(white.vAt(x, 0), 128);
        EXPECT_EQ(black.uAt(x, 0), 128);
        EXPECT_EQ(black.vAt(x, 0), 128);
        EXPECT_EQ(red.uAt(x, 0), 84);
        EXPECT_EQ(red.vAt(x, 0), 255);
    }
}

TEST(ColourConversion, ReadsBottomUpRowsWithTheirPaddingAndTakesChromaFromEvenRows) {
    // 150 pixels make 450 bytes, padded to 452; the last stored row is the top one.
    std::vector<uint8_t> frame = makeSolidFrame(150, 2, 255, 255, 255);
    ASSERT_EQ(frame.size(), 904U);
    for (int x = 0; x < 150; ++x) {
        frame[452 + 3 * x] = 0;  // the top row is red
        frame[452 + 3 * x + 1] = 0;
    }
    const Picture picture = convert(frame, 150, 2);
    for (int x = 0; x < 150; ++x) {
        EXPECT_EQ(picture.lumaAt(x, 0), 76) << x;
        EXPECT_EQ(picture.lumaAt(x, 1), 255) << x;
    }
    for (int x = 0; x < 75; ++x) {
        EXPECT_EQ(picture.uAt(x, 0), 84) << x;
        EXPECT_EQ(picture.vAt(x, 0), 255) << x;
    }
    EXPECT_EQ(picture.lumaAt(150, 0), 0xAB);  // nothing written past the row
}

using RowsConverter = void (*)(const BgrView&, const YuvPlanes&);

// The vector versions this processor can run.
std::vector<std::pair<const char*, RowsConverter>> vectorConverters() {
    std::vector<std::pair<const char*, RowsConverter>> converters;
    if (detail::haveAvx2()) {
        converters.emplace_back("AVX2", &detail::convertRowsAvx2);
    }
    if (detail::haveAvx512()) {
        converters.emplace_back("AVX-512", &detail::convertRowsAvx512);
    }
    return converters;
}

TEST(ColourConversion, TheVectorPathsMatchThePlainOneForEveryColour) {
    if (vectorConverters().empty()) {
        GTEST_SKIP() << "no vector instructions on this processor";
    }
    // Every colour once as a pixel pair on an even row, and again on the odd row.
    constexpr int kWidth = 4096;
    std::vector<uint8_t> frame(bitmapStride(kWidth) * 2);
    const BgrView view{frame.data(), static_cast<ptrdiff_t>(bitmapStride(kWidth)), kWidth, 2};
    Picture plain(kWidth, 2);
    Picture vector(kWidth, 2);
    for (uint32_t first = 0; first < (1U << 24); first += kWidth / 2) {
        for (uint32_t pair = 0; pair < kWidth / 2; ++pair) {
            const uint32_t colour = first + pair;
            for (int copy = 0; copy < 4; ++copy) {
                uint8_t* pixel =
                    frame.data() + (copy / 2) * bitmapStride(kWidth) + 3 * (2 * pair + copy % 2);
                pixel[0] = static_cast<uint8_t>(colour);
                pixel[1] = static_cast<uint8_t>(colour >> 8);
                pixel[2] = static_cast<uint8_t>(colour >> 16);
            }
        }
        detail::convertRowsPlain(view, plain.planes());
        for (const auto& [name, convert] : vectorConverters()) {
            convert(view, vector.planes());
            ASSERT_EQ(vector.y, plain.y) << name << ", colours from " << first;
            ASSERT_EQ(vector.u, plain.u) << name << ", colours from " << first;
            ASSERT_EQ(vector.v, plain.v) << name << ", colours from " << first;
        }
    }

    // Row tails of every kind, on noise.
    uint32_t seed = 7;
    for (const int width : {1, 2, 31, 32, 33, 63, 64, 65, 127, 150, 1919}) {
        std::vector<uint8_t> noise(bitmapStride(width) * 3);
        for (uint8_t& byte : noise) {
            seed = seed * 1664525 + 1013904223;
            byte = static_cast<uint8_t>(seed >> 24);
        }
        const BgrView noiseView{noise.data(), static_cast<ptrdiff_t>(bitmapStride(width)), width,
                                3};
        Picture slow(width, 3);
        detail::convertRowsPlain(noiseView, slow.planes());
        for (const auto& [name, convert] : vectorConverters()) {
            Picture fast(width, 3);
            convert(noiseView, fast.planes());
            EXPECT_EQ(fast.y, slow.y) << name << ", " << width;
            EXPECT_EQ(fast.u, slow.u) << name << ", " << width;
            EXPECT_EQ(fast.v, slow.v) << name << ", " << width;
        }
    }
}

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
            int expected = 0;
            if (row >= 180 && row < 220 && x >= 200 && x < 299) {
                expected = x < 250 ? 255 : 128;
            }
            ASSERT_EQ(picture.lumaAt(x, row), expected) << x << "," << row;
        }
    }

    // Converting the same frame again does not draw the watermark twice.
    Picture again(320, 240);
    ASSERT_TRUE(overlay_.convertFrame(320, 240, again.planes()));
    EXPECT_EQ(again.y, picture.y);
}

TEST_F(WatermarkOverlayTest, ClipsAWatermarkLargerThanTheFrame) {
    overlay_.loadWatermark(dir_ / "watermark.png");
    const auto frame = makeSolidFrame(80, 50, 0, 0, 0);
    overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size(), 80, 50));
    Picture picture(80, 50);
    ASSERT_TRUE(overlay_.convertFrame(80, 50, picture.planes()));
    // Its top-left corner lies at (-40, -10): frame column c shows watermark column c + 40.
    EXPECT_EQ(picture.lumaAt(0, 0), 255);
    EXPECT_EQ(picture.lumaAt(9, 29), 255);
    EXPECT_EQ(picture.lumaAt(10, 0), 128);
    EXPECT_EQ(picture.lumaAt(58, 29), 128);
    EXPECT_EQ(picture.lumaAt(59, 0), 0);
    EXPECT_EQ(picture.lumaAt(5, 30), 0);
}

TEST_F(WatermarkOverlayTest, ScalesTheFrameButNotTheWatermark) {
    overlay_.loadWatermark(dir_ / "watermark.png");
    const auto frame = makeSolidFrame(352, 288, 30, 60, 90);
    overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size(), 352, 288));
    Picture picture(176, 144);
    ASSERT_TRUE(overlay_.convertFrame(176, 144, picture.planes()));
    EXPECT_EQ(picture.lumaAt(0, 0), 65);
    EXPECT_EQ(picture.lumaAt(175, 143), 65);
    EXPECT_EQ(picture.lumaAt(56, 84), 255);  // 176 - 100 - 20, 144 - 40 - 20
    EXPECT_EQ(picture.uAt(28, 42), 128);
    EXPECT_EQ(picture.lumaAt(150, 123), 160);  // half opaque white over the frame's colour
    EXPECT_EQ(picture.lumaAt(55, 84), 65);
    EXPECT_EQ(picture.lumaAt(56, 83), 65);
    EXPECT_EQ(picture.lumaAt(155, 123), 65);

    // Odd source sizes scale too.
    const auto odd = makeSolidFrame(321, 241, 30, 60, 90);
    overlay_.setFrame(makeFrameBitmap(odd.data(), odd.size(), 321, 241));
    Picture half(160, 120);
    ASSERT_TRUE(overlay_.convertFrame(160, 120, half.planes()));
    EXPECT_EQ(half.lumaAt(0, 0), 65);
    EXPECT_EQ(half.lumaAt(159, 119), 65);
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
    EXPECT_EQ(sameSize.lumaAt(351, 287), 65);
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
    EXPECT_EQ(picture.lumaAt(63, 31), 255);

    // A payload short of a whole frame gives no frame: the picture keeps what it held.
    overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size() - 1, 64, 32));
    EXPECT_FALSE(overlay_.convertFrame(64, 32, picture.planes()));
    EXPECT_EQ(picture.lumaAt(63, 31), 255);
    overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size(), 0, 32));
    EXPECT_FALSE(overlay_.convertFrame(64, 32, picture.planes()));
}

}  // namespace
}  // namespace morvane
