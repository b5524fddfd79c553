#include "source/frame_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "pixels/cpu_features.h"
#include "platform/ffmpeg_ptr.h"
#include "tests/support/media.h"

namespace morvane {
namespace {

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

// The colours are those of the frame's matrix and range, rounded, over the whole byte range of
// every plane (limited-range files do hold values outside their range).
TEST(Yuv420ToBgr, GivesTheColoursOfTheFramesMatrixAndRange) {
    struct Case {
        AVPixelFormat format;
        AVColorSpace colourspace;
        AVColorRange range;
        double kr, kb;
    };
    const Case cases[] = {
        // Unspecified is taken as BT.601, as libswscale does.
        {AV_PIX_FMT_YUV420P, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_MPEG, 0.299, 0.114},
        {AV_PIX_FMT_YUV420P, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG, 0.2126, 0.0722},
        {AV_PIX_FMT_YUV420P, AVCOL_SPC_BT470BG, AVCOL_RANGE_JPEG, 0.299, 0.114},
        {AV_PIX_FMT_YUVJ420P, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED, 0.299, 0.114},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.colourspace) * 10 + static_cast<int>(c.range));
        constexpr int width = 130;
        constexpr int height = 7;  // the last row has no partner
        FramePtr frame =
            test::makeNoiseYuvFrame(c.format, width, height, c.colourspace, c.range, 7);
        const bool fullRange = c.format == AV_PIX_FMT_YUVJ420P || c.range == AVCOL_RANGE_JPEG;
        std::vector<uint8_t> bgr(3 * width * height);
        convertYuv420ToBgr(decodedPictureOf(*frame), bgr.data(), 3 * width);
        double worst = 0;
        double bias = 0;
        for (int row = 0; row < height; ++row) {
            for (int x = 0; x < width; ++x) {
                const std::array<double, 3> exact = exactBgr(
                    frame->data[0][row * frame->linesize[0] + x],
                    frame->data[1][row / 2 * frame->linesize[1] + x / 2],
                    frame->data[2][row / 2 * frame->linesize[2] + x / 2], c.kr, c.kb, fullRange);
                for (size_t channel = 0; channel < 3; ++channel) {
                    const double error =
                        bgr[(static_cast<size_t>(row) * width + x) * 3 + channel] - exact[channel];
                    worst = std::max(worst, std::abs(error));
                    bias += error;
                }
            }
        }
        EXPECT_LT(worst, 1.0);
        EXPECT_LT(std::abs(bias / static_cast<double>(bgr.size())), 0.05);
    }
}

// The vector rows and the plain ones give the same bytes, at any width and alignment.
TEST(Yuv420ToBgr, VectorAndPlainRowsAgree) {
    if (!haveAvx2()) {
        GTEST_SKIP() << "no AVX2 on this processor";
    }
    for (const AVColorRange range : {AVCOL_RANGE_MPEG, AVCOL_RANGE_JPEG}) {
        for (const int width : {32, 33, 95, 130}) {
            FramePtr frame = test::makeNoiseYuvFrame(AV_PIX_FMT_YUV420P, width, 2, AVCOL_SPC_BT709,
                                                     range, width);
            const YuvToBgrCoefficients c = coefficientsOf(*frame);
            std::vector<uint8_t> vector(3 * static_cast<size_t>(width) + 1);
            std::vector<uint8_t> plain(vector.size());
            const int done =
                detail::yuvRowToBgrAvx2(frame->data[0] + 1, frame->data[1] + 1, frame->data[2] + 1,
                                        width - 1, c, vector.data() + 1);
            EXPECT_EQ(done, (width - 1) / 32 * 32);
            detail::yuvRowToBgrPlain(frame->data[0] + 1, frame->data[1] + 1, frame->data[2] + 1,
                                     done, width - 1, c, vector.data() + 1);
            detail::yuvRowToBgrPlain(frame->data[0] + 1, frame->data[1] + 1, frame->data[2] + 1, 0,
                                     width - 1, c, plain.data() + 1);
            EXPECT_EQ(vector, plain) << "width " << width;
        }
    }
}

}  // namespace
}  // namespace morvane
