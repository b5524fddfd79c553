#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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
        EXPECT_EQ(picture.lumaAt(x, 0), 81) << x;
        EXPECT_EQ(picture.lumaAt(x, 1), 235) << x;
    }
    for (int x = 0; x < 75; ++x) {
        EXPECT_EQ(picture.uAt(x, 0), 89) << x;
        EXPECT_EQ(picture.vAt(x, 0), 240) << x;
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

// The plain version and the vector ones this processor can run.
std::vector<std::pair<const char*, RowsConverter>> allConverters() {
    auto converters = vectorConverters();
    converters.insert(converters.begin(), {"plain", &detail::convertRowsPlain});
    return converters;
}

Picture convertWith(RowsConverter convert, const std::vector<uint8_t>& frame, int width,
                    int height) {
    Picture picture(width, height);
    convert(makeFrameBitmap(frame.data(), frame.size(), width, height).view(), picture.planes());
    return picture;
}

// FLV1 players read the limited range: black is Y 16 and white Y 235, chroma spans 16-240.
// 70 pixels make whole vector steps and a tail.
TEST(ColourConversion, WritesTheLimitedRangeThatFlv1PlayersRead) {
    struct Case {
        const char* name;
        uint8_t blue;
        uint8_t green;
        uint8_t red;
        int y;
        int u;
        int v;
    };
    const Case cases[] = {
        {"black", 0, 0, 0, 16, 128, 128},       {"white", 255, 255, 255, 235, 128, 128},
        {"grey", 128, 128, 128, 126, 128, 128}, {"red", 0, 0, 255, 81, 89, 240},
        {"green", 0, 255, 0, 144, 53, 34},      {"blue", 255, 0, 0, 41, 240, 110},
    };
    for (const auto& [name, convert] : allConverters()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << name << ", " << c.name);
            const Picture picture =
                convertWith(convert, makeSolidFrame(70, 2, c.blue, c.green, c.red), 70, 2);
            for (int x = 0; x < 70; ++x) {
                ASSERT_EQ(picture.lumaAt(x, 0), c.y) << x;
                ASSERT_EQ(picture.lumaAt(x, 1), c.y) << x;
            }
            for (int x = 0; x < 35; ++x) {
                ASSERT_EQ(picture.uAt(x, 0), c.u) << x;
                ASSERT_EQ(picture.vAt(x, 0), c.v) << x;
            }
        }
    }
}

// Every full-range value, luma and chroma, lands on 16 + 219/255 of it, or on 128 + 224/255 of
// its distance from 128, rounded; so does the vector code's multiply-high form of that.
TEST(ColourConversion, BringsEveryFullRangeValueToTheLimitedRange) {
    // Row 0: pixel pair c gives U = c (B - G = 2 c - 255, G = R); row 2 likewise V = c
    // (R - G = 2 c - 255, G = B). Rows 1 and 3: pixel pair c is grey c, so Y = c.
    constexpr int kWidth = 512;
    std::vector<uint8_t> frame = makeSolidFrame(kWidth, 4, 0, 0, 0);
    const size_t stride = frame.size() / 4;
    auto pixel = [&](int x, int row) { return frame.data() + (3 - row) * stride + 3 * x; };
    for (int c = 0; c < 256; ++c) {
        const int lead = 2 * c - 255;
        const auto high = static_cast<uint8_t>(std::max(lead, 0));
        const auto low = static_cast<uint8_t>(std::max(-lead, 0));
        for (int x = 2 * c; x < 2 * c + 2; ++x) {
            uint8_t* blueLeads = pixel(x, 0);
            blueLeads[0] = high;
            blueLeads[1] = blueLeads[2] = low;
            uint8_t* redLeads = pixel(x, 2);
            redLeads[2] = high;
            redLeads[0] = redLeads[1] = low;
            std::memset(pixel(x, 1), c, 3);
            std::memset(pixel(x, 3), c, 3);
        }
    }
    auto expectedLuma = [](int c) { return 16 + std::lround(219.0 * c / 255); };
    auto expectedChroma = [](int c) { return 128 + std::lround(224.0 * (c - 128) / 255); };
    for (const auto& [name, convert] : allConverters()) {
        const Picture picture = convertWith(convert, frame, kWidth, 4);
        for (int c = 0; c < 256; ++c) {
            SCOPED_TRACE(testing::Message() << name << ", " << c);
            ASSERT_EQ(picture.lumaAt(2 * c, 1), expectedLuma(c));
            ASSERT_EQ(picture.lumaAt(2 * c + 1, 3), expectedLuma(c));
            ASSERT_EQ(picture.uAt(c, 0), expectedChroma(c));
            ASSERT_EQ(picture.vAt(c, 1), expectedChroma(c));
        }
    }
    for (int c = 0; c < 256; ++c) {
        ASSERT_EQ(16 + ((c * detail::kLimitedLumaScale + 16384) >> 15), expectedLuma(c)) << c;
        ASSERT_EQ(128 + (((c - 128) * detail::kLimitedChromaScale + 16384) >> 15),
                  expectedChroma(c))
            << c;
    }
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

TEST_F(WatermarkOverlayTest, ClipsAWatermarkLargerThanTheFrame) {
    overlay_.loadWatermark(dir_ / "watermark.png");
    const auto frame = makeSolidFrame(80, 50, 0, 0, 0);
    overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size(), 80, 50));
    Picture picture(80, 50);
    ASSERT_TRUE(overlay_.convertFrame(80, 50, picture.planes()));
    // Its top-left corner lies at (-40, -10): frame column c shows watermark column c + 40.
    EXPECT_EQ(picture.lumaAt(0, 0), 235);
    EXPECT_EQ(picture.lumaAt(9, 29), 235);
    EXPECT_EQ(picture.lumaAt(10, 0), 126);
    EXPECT_EQ(picture.lumaAt(58, 29), 126);
    EXPECT_EQ(picture.lumaAt(59, 0), 16);
    EXPECT_EQ(picture.lumaAt(5, 30), 16);
}

TEST_F(WatermarkOverlayTest, ScalesTheFrameButNotTheWatermark) {
    overlay_.loadWatermark(dir_ / "watermark.png");
    const auto frame = makeSolidFrame(352, 288, 30, 60, 90);
    overlay_.setFrame(makeFrameBitmap(frame.data(), frame.size(), 352, 288));
    Picture picture(176, 144);
    ASSERT_TRUE(overlay_.convertFrame(176, 144, picture.planes()));
    EXPECT_EQ(picture.lumaAt(0, 0), 72);
    EXPECT_EQ(picture.lumaAt(175, 143), 72);
    // The watermark goes onto the scaled picture through WatermarkImage's own YUV blend, in
    // the same limited range as the frame: its white is 235.
    EXPECT_EQ(picture.lumaAt(56, 84), 235);  // 176 - 100 - 20, 144 - 40 - 20
    EXPECT_EQ(picture.uAt(28, 42), 128);
    EXPECT_EQ(picture.lumaAt(150, 123), 154);  // half opaque white over the frame's colour
    EXPECT_EQ(picture.lumaAt(55, 84), 72);
    EXPECT_EQ(picture.lumaAt(56, 83), 72);
    EXPECT_EQ(picture.lumaAt(155, 123), 72);

    // Odd source sizes scale too.
    const auto odd = makeSolidFrame(321, 241, 30, 60, 90);
    overlay_.setFrame(makeFrameBitmap(odd.data(), odd.size(), 321, 241));
    Picture half(160, 120);
    ASSERT_TRUE(overlay_.convertFrame(160, 120, half.planes()));
    EXPECT_EQ(half.lumaAt(0, 0), 72);
    EXPECT_EQ(half.lumaAt(159, 119), 72);
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
