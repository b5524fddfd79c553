#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "pixels/picture_views.h"

namespace morvane {

enum class HdrTransfer { Pq, Hlg };

// A 10-bit YUV 4:2:0 picture, top row first; strides in samples.
struct Yuv10Planes {
    const uint16_t* y;
    int yStride;
    const uint16_t* u;
    int uStride;
    const uint16_t* v;
    int vStride;
    int width;
    int height;
};

// HDR pictures brought to SDR: 10-bit limited-range BT.2020 YUV (non-constant luminance) with
// the PQ or HLG transfer in, 8-bit limited-range YUV 4:2:0 with the BT.601 matrix, BT.709
// colours and the BT.709 transfer out.
//
// Each pixel, with its block's chroma: linear light with SDR white at 100 cd/m2 (HLG as its
// 1000 cd/m2 reference display shows it), BT.709 primaries, then the colour scaled by the
// Moebius curve of its brightest component, which leaves all below 90 % of SDR white as it is
// and brings the highlights up to `peak` smoothly under white (hue and saturation stay), then
// the BT.709 transfer. A block's chroma is that of its pixels' mean colour. The transfers come
// from tables built once; the rest is single-precision arithmetic in one fixed order (no fused
// operations), so that every processor gives the same bytes.
class ToneMapping {
public:
    // `peak`: the brightest light of the source in SDR whites (100 cd/m2); 0 or less when
    // nothing tells it (then 10000 cd/m2 for PQ, 1000 for HLG).
    ToneMapping(HdrTransfer transfer, double peak);

    // Rows `from` (even) to `to` of `in` into `out`, which has the size of `in`. Parts of a
    // picture may be mapped at the same time on several threads.
    void apply(const Yuv10Planes& in, const YuvPlanes& out, int from, int to) const;

    static constexpr int kSignalTop = 4095;  // the last step of the signal-to-light table
    static constexpr int kLightTop = 8191;   // of the tables indexed by light 0..1
    // Steps past either end of the signal-to-light table, holding its end values: 10-bit
    // luma and chroma never reach further, so its indexes need no clamp.
    static constexpr int kSignalMargin = 4864;
    // Steps below the light-to-SDR table, holding 0: a colour that BT.709 cannot show (a
    // negative component) never reaches further, so only the top needs a clamp.
    static constexpr int kLightMargin = 6144;

    // The tables point at their step 0.
    struct Constants {
        const float* toLight;  // PQ: light; HLG: scene light (0..1)
        const float* toSdr;    // light 0..1 to the SDR signal
        const float* hlgGain;  // HLG: the display's gain by scene luma 0..1; null for PQ
        float knee;            // above it the curve is c (x + a) / (x + b)
        float a;
        float b;
        float c;
    };

    // What the kernels work with (tests run them one against the other).
    const Constants& constants() const { return constants_; }

private:
    std::vector<float> toLight_;
    std::vector<float> toSdr_;
    std::vector<float> hlgGain_;
    Constants constants_{};
};

namespace detail {

// The factors of both kernels. The signal's table index from 10-bit luma and chroma
// (BT.2020): luma from 64, chroma from 512.
constexpr float kSignalFromLuma = ToneMapping::kSignalTop / 876.0f;
constexpr float kSignalFromChroma = ToneMapping::kSignalTop / 896.0f;
constexpr float kRedFromV = 1.4746f * kSignalFromChroma;
constexpr float kGreenFromU = -0.164553f * kSignalFromChroma;
constexpr float kGreenFromV = -0.571353f * kSignalFromChroma;
constexpr float kBlueFromU = 1.8814f * kSignalFromChroma;
// BT.2020 luma of scene light, for HLG's gain.
constexpr float kSceneLuma[3] = {0.2627f, 0.6780f, 0.0593f};
// Linear BT.2020 light to linear BT.709 light.
constexpr float kToBt709[3][3] = {{1.660491f, -0.587641f, -0.072850f},
                                  {-0.124550f, 1.132900f, -0.008349f},
                                  {-0.018151f, -0.100579f, 1.118730f}};
// BT.601 luma and chroma of the SDR signal, in 8-bit limited-range codes.
constexpr float kLuma[3] = {0.299f * 219.0f, 0.587f * 219.0f, 0.114f * 219.0f};
constexpr float kBlueScale = 224.0f / 1.772f;
constexpr float kRedScale = 224.0f / 1.402f;

// x rounded to the nearest integer, ties to even, as the vector conversion rounds: adding
// 1.5 * 2^23 leaves no bits below the units, and taking it away again is exact.
inline int indexOf(float x) {
    constexpr float kRounder = 12582912.0f;
    return static_cast<int>((x + kRounder) - kRounder);
}

// Rows `row` and `row + 1` (when there is one) from column `from` on.
void toneMapRowsPlain(const ToneMapping::Constants& k, const Yuv10Planes& in, const YuvPlanes& out,
                      int row, int from);
// The same from column 0, where both rows are there; returns where it stopped (even).
int toneMapRowsAvx2(const ToneMapping::Constants& k, const Yuv10Planes& in, const YuvPlanes& out,
                    int row);

}  // namespace detail

}  // namespace morvane
