#include "pixels/bgr_to_yuv420.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <tuple>
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
using test::YuvPicture;

// FLV1 players read the limited range: black is Y 16 and white Y 235, chroma spans 16-240. Every
// full-range value, luma and chroma, lands on 16 + 219/255 of it, or on 128 + 224/255 of its
// distance from 128, rounded; chroma comes from the even row alone. The vector versions are held
// to the plain one below.
TEST(ColourConversion, WritesTheLimitedRangeThatFlv1PlayersRead) {
    struct Colour {
        const char* name;
        uint8_t bgr[3];
        int y, u, v;
    };
    const Colour colours[] = {
        {"grey", {128, 128, 128}, 126, 128, 128}, {"red", {0, 0, 255}, 81, 89, 240},
        {"green", {0, 255, 0}, 144, 53, 34},      {"blue", {255, 0, 0}, 41, 240, 110},
        {"orange", {40, 160, 220}, 157, 66, 162},
    };
    // Row 0: pixel pair c gives U = c (B - G = 2 c - 255, G = R); row 2 likewise V = c
    // (R - G = 2 c - 255, G = B). Rows 1 and 3: pixel pair c is grey c, so Y = c. Then a pixel
    // pair of each colour on row 0, over black: 522 pixels, 1566 bytes stored in 1568.
    constexpr int kColoursAt = 512;
    constexpr int kWidth = kColoursAt + 2 * static_cast<int>(std::size(colours));
    std::vector<uint8_t> frame = test::makeSolidFrame(kWidth, 4, 0, 0, 0);
    const size_t stride = frame.size() / 4;
    auto pixel = [&](int x, int row) { return frame.data() + (3 - row) * stride + 3 * x; };
    for (int c = 0; c < 256; ++c) {
        const int lead = 2 * c - 255;
        const auto high = static_cast<uint8_t>(std::max(lead, 0));
        const auto low = static_cast<uint8_t>(std::max(-lead, 0));
        const uint8_t blueLeads[3] = {high, low, low};
        const uint8_t redLeads[3] = {low, low, high};
        for (int x = 2 * c; x < 2 * c + 2; ++x) {
            std::memcpy(pixel(x, 0), blueLeads, 3);
            std::memcpy(pixel(x, 2), redLeads, 3);
            std::memset(pixel(x, 1), c, 3);
            std::memset(pixel(x, 3), c, 3);
        }
    }
    for (int x = kColoursAt; x < kWidth; ++x) {
        std::memcpy(pixel(x, 0), colours[(x - kColoursAt) / 2].bgr, 3);
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
    for (int x = kColoursAt; x < kWidth; ++x) {
        const Colour& colour = colours[(x - kColoursAt) / 2];
        SCOPED_TRACE(colour.name);
        EXPECT_EQ(picture.lumaAt(x, 0), colour.y);
        EXPECT_EQ(picture.uAt(x / 2, 0), colour.u);
        EXPECT_EQ(picture.vAt(x / 2, 0), colour.v);
    }
    EXPECT_EQ(picture.lumaAt(kWidth, 0), 0xAB);  // nothing written past the row
    EXPECT_EQ(picture.uAt(kWidth / 2, 0), 0xAB);
}

TEST(ColourConversion, TheVectorPathsMatchThePlainOneForEveryColour) {
    std::vector<std::pair<const char*, decltype(&detail::convertRowsPlain)>> vectorConverters;
    if (haveAvx2()) {
        vectorConverters.emplace_back("AVX2", &detail::convertRowsAvx2);
    }
    if (haveAvx512()) {
        vectorConverters.emplace_back("AVX-512", &detail::convertRowsAvx512);
    }
    if (vectorConverters.empty()) {
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
            for (int copy = 0; copy < 4; ++copy) {  // blue, green and red: its bytes, low first
                std::memcpy(&view.topRow[copy / 2 * view.stride + 3 * (2 * pair + copy % 2)],
                            &colour, 3);
            }
        }
        detail::convertRowsPlain(view, plain.planes());
        for (const auto& [name, convert] : vectorConverters) {
            convert(view, vector.planes());
            ASSERT_TRUE(vector == plain) << name << ", colours from " << first;
        }
    }

    // Row tails of every kind, on noise, bottom-up as the grabber's frames come.
    std::minstd_rand grain(7);
    for (const int width : {1, 2, 31, 32, 33, 63, 64, 65, 127, 150, 1919}) {
        std::vector<uint8_t> noise(bitmapStride(width) * 3);
        std::generate(noise.begin(), noise.end(),
                      [&] { return static_cast<uint8_t>(grain() >> 23); });
        YuvPicture slow(width, 3);
        detail::convertRowsPlain(bottomUpView(noise, width, 3), slow.planes());
        for (const auto& [name, convert] : vectorConverters) {
            YuvPicture fast(width, 3);
            convert(bottomUpView(noise, width, 3), fast.planes());
            EXPECT_TRUE(fast == slow) << name << ", " << width;
        }
    }
}

// Blue, green and red of one pixel, from the matrix's definition: E'y = Kr R + Kg G + Kb B.
std::array<double, 3> exactBgr(int y, int u, int v, double kr, double kb, bool fullRange) {
    const double kg = 1.0 - kr - kb;
    const double luma = fullRange ? y : (y - 16) * 255.0 / 219.0;
    const double pb = (u - 128) * (fullRange ? 1.0 : 255.0 / 224.0);
    const double pr = (v - 128) * (fullRange ? 1.0 : 255.0 / 224.0);
    const double red = luma + 2.0 * (1.0 - kr) * pr;
    const double blue = luma + 2.0 * (1.0 - kb) * pb;
    const double green = (luma - kr * red - kb * blue) / kg;
    auto clamp = [](double value) { return std::clamp(value, 0.0, 255.0); };
    return {clamp(blue), clamp(green), clamp(red)};
}

// The road that the decoded pictures replace is the video branch's BGR frame, then the encoder's
// conversion of it. That frame has the colours of the picture's matrix and range, rounded, over
// the whole byte range of every plane (limited-range files do hold values outside their range);
// its vector rows give the plain rows' bytes, whatever the alignment of the planes. Straight from
// the decoded planes, with the vector steps and with the plain rows alone, the picture is the one
// the BGR frame gives, to the bit: at widths with and without a tail past the vector steps, odd
// widths and heights, and every matrix and range.
TEST(DecodedPictureConversion, GivesThePictureOfTheBgrFrameToTheBit) {
    // Each format, matrix and range, with the matrix's Kr and Kb.
    const std::tuple<AVPixelFormat, AVColorSpace, AVColorRange, double, double> matrices[] = {
        // Unspecified is taken as BT.601, as libswscale does.
        {AV_PIX_FMT_YUV420P, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_MPEG, 0.299, 0.114},
        {AV_PIX_FMT_YUV420P, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG, 0.2126, 0.0722},
        {AV_PIX_FMT_YUV420P, AVCOL_SPC_BT470BG, AVCOL_RANGE_JPEG, 0.299, 0.114},
        {AV_PIX_FMT_YUVJ420P, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED, 0.299, 0.114},
    };
    for (const auto& [format, colourspace, range, kr, kb] : matrices) {
        SCOPED_TRACE(testing::Message() << "matrix " << colourspace << "/" << range);
        const bool fullRange = format == AV_PIX_FMT_YUVJ420P || range == AVCOL_RANGE_JPEG;
        double worst = 0;
        double bias = 0;
        size_t samples = 0;
        for (const int width : {1, 2, 31, 32, 33, 64, 95, 130}) {
            for (const int height : {1, 2, 7}) {
                SCOPED_TRACE(testing::Message() << width << "x" << height);
                const FramePtr frame =
                    test::makeNoiseYuvFrame(format, width + 2, height, colourspace, range,
                                            static_cast<unsigned>(width * 131 + height));
                // From the second chroma column on, so that no row of any plane starts aligned.
                DecodedPicture decoded = decodedPictureOf(*frame);
                decoded.planes[0] += 2;
                decoded.planes[1] += 1;
                decoded.planes[2] += 1;
                decoded.width = width;
                std::vector<uint8_t> bgr(3 * static_cast<size_t>(width) * height);
                convertYuv420ToBgr(decoded, bgr.data(), 3 * width);
                std::vector<uint8_t> plainBgr(bgr.size());
                YuvPicture plain(width, height);
                const YuvPlanes out = plain.planes();
                for (int row = 0; row < height; ++row) {
                    const uint8_t* y = decoded.planes[0] + row * decoded.strides[0];
                    const uint8_t* u = decoded.planes[1] + row / 2 * decoded.strides[1];
                    const uint8_t* v = decoded.planes[2] + row / 2 * decoded.strides[2];
                    detail::yuvRowToBgrPlain(y, u, v, 0, width, decoded.coefficients,
                                             plainBgr.data() + 3 * width * row);
                    detail::convertDecodedRowPlain(y, u, v, width, row % 2 == 0,
                                                   decoded.coefficients, out.y + row * out.yStride,
                                                   out.u + row / 2 * out.uStride,
                                                   out.v + row / 2 * out.vStride);
                    for (int x = 0; x < width; ++x) {
                        const std::array<double, 3> exact =
                            exactBgr(y[x], u[x / 2], v[x / 2], kr, kb, fullRange);
                        for (size_t channel = 0; channel < 3; ++channel) {
                            const double error =
                                bgr[3 * (row * width + x) + channel] - exact[channel];
                            worst = std::max(worst, std::abs(error));
                            bias += error;
                        }
                    }
                }
                samples += bgr.size();
                EXPECT_TRUE(bgr == plainBgr) << "the vector rows differ from the plain ones";
                if (haveAvx2()) {
                    EXPECT_EQ(detail::yuvRowToBgrAvx2(decoded.planes[0], decoded.planes[1],
                                                      decoded.planes[2], width,
                                                      decoded.coefficients, plainBgr.data()),
                              width / 32 * 32)
                        << "the vector steps stop short";
                }

                YuvPicture expected(width, height);
                convertToYuv420({bgr.data(), 3 * width, width, height}, expected.planes());
                YuvPicture direct(width, height);
                convertDecodedToYuv420(decoded, direct.planes());
                EXPECT_TRUE(direct == expected);
                EXPECT_TRUE(plain == expected);
            }
        }
        EXPECT_LT(worst, 1.0);
        EXPECT_LT(std::abs(bias / static_cast<double>(samples)), 0.05);
    }
}

}  // namespace
}  // namespace morvane
