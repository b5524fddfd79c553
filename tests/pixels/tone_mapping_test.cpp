#include "pixels/tone_mapping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

namespace morvane {
namespace {

struct Picture10 {
    Picture10(int pictureWidth, int pictureHeight)
        : width(pictureWidth),
          height(pictureHeight),
          chromaWidth((width + 1) / 2),
          y(static_cast<size_t>(width * height)),
          u(static_cast<size_t>(chromaWidth * ((height + 1) / 2))),
          v(u.size()) {}
    Yuv10Planes planes() const {
        return {y.data(), width, u.data(), chromaWidth, v.data(), chromaWidth, width, height};
    }
    int width;
    int height;
    int chromaWidth;
    std::vector<uint16_t> y;
    std::vector<uint16_t> u;
    std::vector<uint16_t> v;
};

struct Picture8 {
    explicit Picture8(const Picture10& like)
        : y(like.y.size()),
          u(like.u.size()),
          v(like.v.size()),
          width(like.width),
          chromaWidth(like.chromaWidth) {}
    YuvPlanes planes() { return {y.data(), width, u.data(), chromaWidth, v.data(), chromaWidth}; }
    std::vector<uint8_t> y;
    std::vector<uint8_t> u;
    std::vector<uint8_t> v;
    int width;
    int chromaWidth;
};

// The same bytes on every processor: the vector kernel against the plain one, over noise that
// reaches every corner of the tables (and past 10 bits), at widths with and without a tail.
TEST(ToneMapping, TheVectorKernelGivesThePlainOnesBytes) {
    std::mt19937 random(7);
    for (const HdrTransfer transfer : {HdrTransfer::Pq, HdrTransfer::Hlg}) {
        const ToneMapping mapping(transfer, transfer == HdrTransfer::Pq ? 40.0 : 0.0);
        for (const int width : {1, 33, 64, 77, 1280}) {
            Picture10 in(width, 9);
            for (std::vector<uint16_t>* plane : {&in.y, &in.u, &in.v}) {
                for (uint16_t& sample : *plane) {
                    sample = static_cast<uint16_t>(random() % 1100);
                }
            }
            Picture8 vector(in);
            Picture8 plain(in);
            mapping.apply(in.planes(), vector.planes(), 0, in.height);
            for (int row = 0; row < in.height; row += 2) {
                detail::toneMapRowsPlain(mapping.constants(), in.planes(), plain.planes(), row, 0);
            }
            EXPECT_TRUE(vector.y == plain.y && vector.u == plain.u && vector.v == plain.v)
                << "width " << width;
        }
    }
}

// Grey levels of a PQ source mastered at 1000 cd/m2: black stays black, what SDR shows below
// its white stays, and the highlights roll off toward white rather than being clipped there.
TEST(ToneMapping, RollsTheHighlightsOffUnderWhite) {
    const auto pqSignal = [](double nits) {  // SMPTE ST 2084's inverse
        const double y = std::pow(nits / 10000.0, 2610.0 / 16384.0);
        return std::pow((3424.0 / 4096.0 + 2413.0 / 128.0 * y) / (1.0 + 2392.0 / 128.0 * y),
                        2523.0 / 32.0);
    };
    const ToneMapping mapping(HdrTransfer::Pq, 10.0);
    // cd/m2 and the luma that the SDR display needs to show as much (BT.1886), where that is
    // below white; 0: above it, then brighter than the level before.
    const std::pair<double, int> levels[] = {{0.0, 16},  {25.0, 138}, {50.0, 180},
                                             {100.0, 0}, {120.0, 0},  {150.0, 0}};
    int previous = 0;
    for (const auto& [nits, sdr] : levels) {
        Picture10 grey(2, 2);
        std::fill(grey.y.begin(), grey.y.end(),
                  static_cast<uint16_t>(std::lround(64 + 876 * pqSignal(nits))));
        grey.u = grey.v = {512};
        Picture8 out(grey);
        mapping.apply(grey.planes(), out.planes(), 0, 2);
        SCOPED_TRACE(nits);
        EXPECT_EQ(std::tie(out.u[0], out.v[0]), std::make_tuple(128, 128));
        if (sdr != 0) {
            EXPECT_NEAR(out.y[0], sdr, 1);
        } else {
            EXPECT_GT(out.y[0], previous);
            EXPECT_LT(out.y[0], 235);
        }
        previous = out.y[0];
    }
}

}  // namespace
}  // namespace morvane
