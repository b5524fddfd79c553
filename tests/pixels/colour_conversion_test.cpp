#include "pixels/bgr_to_yuv420.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

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
// Each colour fills a pixel pair of the top row of a bottom-up frame over a white row, 14 pixels
// wide (42 bytes stored in 44); chroma comes from the even row alone. The vector versions are
// held to the plain one below.
TEST(ColourConversion, WritesTheLimitedRangeThatFlv1PlayersRead) {
    struct Case {
        const char* name;
        uint8_t blue, green, red;
        int y, u, v;
    };
    const Case cases[] = {
        {"black", 0, 0, 0, 16, 128, 128},       {"white", 255, 255, 255, 235, 128, 128},
        {"grey", 128, 128, 128, 126, 128, 128}, {"red", 0, 0, 255, 81, 89, 240},
        {"green", 0, 255, 0, 144, 53, 34},      {"blue", 255, 0, 0, 41, 240, 110},
        {"orange", 40, 160, 220, 157, 66, 162},
    };
    constexpr int kWidth = 14;
    std::vector<uint8_t> frame = makeSolidFrame(kWidth, 2, 255, 255, 255);
    for (int x = 0; x < kWidth; ++x) {
        uint8_t* topRowPixel = frame.data() + bitmapStride(kWidth) + 3 * x;
        topRowPixel[0] = cases[x / 2].blue;
        topRowPixel[1] = cases[x / 2].green;
        topRowPixel[2] = cases[x / 2].red;
    }
    YuvPicture picture(kWidth, 2);
    detail::convertRowsPlain(bottomUpView(frame, kWidth, 2), picture.planes());
    for (int pair = 0; pair < kWidth / 2; ++pair) {
        const Case& c = cases[pair];
        SCOPED_TRACE(c.name);
        for (const int x : {2 * pair, 2 * pair + 1}) {
            EXPECT_EQ(picture.lumaAt(x, 0), c.y);
            EXPECT_EQ(picture.lumaAt(x, 1), 235);
        }
        EXPECT_EQ(picture.uAt(pair, 0), c.u);
        EXPECT_EQ(picture.vAt(pair, 0), c.v);
    }
    EXPECT_EQ(picture.lumaAt(kWidth, 0), 0xAB);  // nothing written past the row
    EXPECT_EQ(picture.uAt(kWidth / 2, 0), 0xAB);
}

// Every full-range value, luma and chroma, lands on 16 + 219/255 of it, or on 128 + 224/255 of
// its distance from 128, rounded.
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
    YuvPicture picture(kWidth, 4);
    detail::convertRowsPlain(bottomUpView(frame, kWidth, 4), picture.planes());
    for (int c = 0; c < 256; ++c) {
        SCOPED_TRACE(c);
        const long luma = 16 + std::lround(219.0 * c / 255);
        const long chroma = 128 + std::lround(224.0 * (c - 128) / 255);
        ASSERT_EQ(picture.lumaAt(2 * c, 1), luma);
        ASSERT_EQ(picture.lumaAt(2 * c + 1, 3), luma);
        ASSERT_EQ(picture.uAt(c, 0), chroma);
        ASSERT_EQ(picture.vAt(c, 1), chroma);
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
            ASSERT_TRUE(vector == plain) << name << ", colours from " << first;
        }
    }

    // Row tails of every kind, on noise, bottom-up as the grabber's frames come.
    uint32_t seed = 7;
    for (const int width : {1, 2, 31, 32, 33, 63, 64, 65, 127, 150, 1919}) {
        std::vector<uint8_t> noise(bitmapStride(width) * 3);
        for (uint8_t& byte : noise) {
            seed = seed * 1664525 + 1013904223;
            byte = static_cast<uint8_t>(seed >> 24);
        }
        YuvPicture slow(width, 3);
        detail::convertRowsPlain(bottomUpView(noise, width, 3), slow.planes());
        for (const auto& [name, convert] : vectorConverters()) {
            YuvPicture fast(width, 3);
            convert(bottomUpView(noise, width, 3), fast.planes());
            EXPECT_TRUE(fast == slow) << name << ", " << width;
        }
    }
}

// The road it replaces: the video branch's BGR frame, then the encoder's conversion of it.
YuvPicture throughBgr(const AVFrame& frame) {
    std::vector<uint8_t> bgr(3 * static_cast<size_t>(frame.width) * frame.height);
    convertYuv420ToBgr(decodedPictureOf(frame), bgr.data(), 3 * frame.width);
    YuvPicture picture(frame.width, frame.height);
    convertToYuv420({bgr.data(), 3 * frame.width, frame.width, frame.height}, picture.planes());
    return picture;
}

// Straight from the decoded planes, with the vector steps and with the plain rows alone, the
// picture is the one the BGR frame gives, to the bit: at widths with and without a tail past
// the vector steps, odd widths and heights, and every matrix and range.
TEST(DecodedPictureConversion, GivesThePictureOfTheBgrFrameToTheBit) {
    const std::pair<AVColorSpace, AVColorRange> matrices[] = {
        {AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_MPEG},
        {AVCOL_SPC_BT709, AVCOL_RANGE_MPEG},
        {AVCOL_SPC_BT470BG, AVCOL_RANGE_JPEG}};
    for (const auto& [colourspace, range] : matrices) {
        for (const int width : {1, 2, 31, 32, 33, 64, 95, 130}) {
            for (const int height : {1, 2, 7}) {
                SCOPED_TRACE(testing::Message() << "matrix " << colourspace << "/" << range << ", "
                                                << width << "x" << height);
                const FramePtr frame =
                    test::makeNoiseYuvFrame(AV_PIX_FMT_YUV420P, width, height, colourspace, range,
                                            static_cast<unsigned>(width * 131 + height));
                const YuvPicture expected = throughBgr(*frame);
                const DecodedPicture decoded = decodedPictureOf(*frame);

                YuvPicture direct(width, height);
                convertDecodedToYuv420(decoded, direct.planes());
                EXPECT_TRUE(direct == expected);

                YuvPicture plain(width, height);
                const YuvPlanes out = plain.planes();
                for (int row = 0; row < height; ++row) {
                    detail::convertDecodedRowPlain(
                        frame->data[0] + row * frame->linesize[0],
                        frame->data[1] + row / 2 * frame->linesize[1],
                        frame->data[2] + row / 2 * frame->linesize[2], width, row % 2 == 0,
                        decoded.coefficients, out.y + row * out.yStride,
                        out.u + row / 2 * out.uStride, out.v + row / 2 * out.vStride);
                }
                EXPECT_TRUE(plain == expected);
            }
        }
    }
}

}  // namespace
}  // namespace morvane
