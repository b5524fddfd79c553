#include "pixels/decoded_to_yuv420.h"

#include <gtest/gtest.h>

#include <vector>

#include "pixels/bgr_to_yuv420.h"
#include "platform/ffmpeg_ptr.h"
#include "source/frame_picture.h"
#include "tests/pixels/test_picture.h"
#include "tests/support/media.h"

namespace morvane {
namespace {

using test::YuvPicture;

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
    struct Matrix {
        AVColorSpace colourspace;
        AVColorRange range;
    };
    const Matrix matrices[] = {{AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_MPEG},
                               {AVCOL_SPC_BT709, AVCOL_RANGE_MPEG},
                               {AVCOL_SPC_BT470BG, AVCOL_RANGE_JPEG}};
    for (const Matrix& matrix : matrices) {
        for (const int width : {1, 2, 31, 32, 33, 64, 95, 130}) {
            for (const int height : {1, 2, 7}) {
                SCOPED_TRACE(testing::Message() << "matrix " << matrix.colourspace << "/"
                                                << matrix.range << ", " << width << "x" << height);
                const FramePtr frame = test::makeNoiseYuvFrame(
                    AV_PIX_FMT_YUV420P, width, height, matrix.colourspace, matrix.range,
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
