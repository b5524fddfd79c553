#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "pixels/bgr_to_yuv420.h"
#include "pixels/cpu_features.h"
#include "pixels/decoded_to_yuv420.h"
#include "platform/ffmpeg_ptr.h"
#include "source/frame_picture.h"
#include "tests/pixels/test_picture.h"
#include "tests/support/media.h"

namespace morvane {
namespace {

using test::bottomUpView;
using test::makeSolidFrame;
using test::YuvPicture;

using RowsConverter = void (*)(const BgrView&, const YuvPlanes&);

// The vector versions this processor can run.
std::vector<std::pair<const char*, RowsConverter>> vectorConverters() {
    std::vector<std::pair<const char*, RowsConverter>> converters;
    if (haveAvx2()) {
        converters.emplace_back("AVX2", &detail::convertRowsAvx2);
    }
    if (haveAvx512()) {
        converters.emplace_back("AVX-512", &detail::convertRowsAvx512);
    }
    return converters;
}

// FLV1 players read the limited range: black is Y 16 and white Y 235, chroma spans 16-240.
// Each colour fills the top row of a bottom-up frame over a white row: 150 pixels make whole
// vector steps, a tail and a padded row (450 bytes stored in 452), and chroma comes from the
// even row alone.
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
    constexpr int kWidth = 150;
    for (const auto& [name, convert] : allConverters()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << name << ", " << c.name);
            std::vector<uint8_t> frame = makeSolidFrame(kWidth, 2, 255, 255, 255);
            for (int x = 0; x < kWidth; ++x) {
                uint8_t* topRowPixel = frame.data() + bitmapStride(kWidth) + 3 * x;
                topRowPixel[0] = c.blue;
                topRowPixel[1] = c.green;
                topRowPixel[2] = c.red;
            }
            YuvPicture picture(kWidth, 2);
            convert(bottomUpView(frame, kWidth, 2), picture.planes());
            for (int x = 0; x < kWidth; ++x) {
                ASSERT_EQ(picture.lumaAt(x, 0), c.y) << x;
                ASSERT_EQ(picture.lumaAt(x, 1), 235) << x;
            }
            for (int x = 0; x < kWidth / 2; ++x) {
                ASSERT_EQ(picture.uAt(x, 0), c.u) << x;
                ASSERT_EQ(picture.vAt(x, 0), c.v) << x;
            }
            EXPECT_EQ(picture.lumaAt(kWidth, 0), 0xAB);  // nothing written past the row
            EXPECT_EQ(picture.uAt(kWidth / 2, 0), 0xAB);
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
        YuvPicture picture(kWidth, 4);
        convert(bottomUpView(frame, kWidth, 4), picture.planes());
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
    YuvPicture plain(kWidth, 2);
    YuvPicture vector(kWidth, 2);
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
        YuvPicture slow(width, 3);
        detail::convertRowsPlain(noiseView, slow.planes());
        for (const auto& [name, convert] : vectorConverters()) {
            YuvPicture fast(width, 3);
            convert(noiseView, fast.planes());
            EXPECT_EQ(fast.y, slow.y) << name << ", " << width;
            EXPECT_EQ(fast.u, slow.u) << name << ", " << width;
            EXPECT_EQ(fast.v, slow.v) << name << ", " << width;
        }
    }
}

}  // namespace
}  // namespace morvane
