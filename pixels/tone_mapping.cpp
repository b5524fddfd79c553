#include "pixels/tone_mapping.h"

#include <cmath>

#include "pixels/cpu_features.h"

namespace morvane {
namespace {

// Where the curve leaves the straight line, in SDR whites.
constexpr double kKnee = 0.9;

// SMPTE ST 2084: the signal (0..1) to cd/m2.
double pqToNits(double signal) {
    constexpr double m1 = 2610.0 / 16384.0;
    constexpr double m2 = 2523.0 / 4096.0 * 128.0;
    constexpr double c1 = 3424.0 / 4096.0;
    constexpr double c2 = 2413.0 / 4096.0 * 32.0;
    constexpr double c3 = 2392.0 / 4096.0 * 32.0;
    const double e = std::pow(signal, 1.0 / m2);
    return 10000.0 * std::pow(std::max(e - c1, 0.0) / (c2 - c3 * e), 1.0 / m1);
}

// ARIB STD-B67: the signal (0..1) to scene light (0..1).
double hlgToScene(double signal) {
    constexpr double a = 0.17883277;
    constexpr double b = 1.0 - 4.0 * a;
    const double c = 0.5 - a * std::log(4.0 * a);
    return signal <= 0.5 ? signal * signal / 3.0 : (std::exp((signal - c) / a) + b) / 12.0;
}

// The SDR display's (BT.1886, an ideal one): the light it shows (0..1) to the signal.
double sdrSignalOf(double light) {
    return std::pow(light, 1.0 / 2.4);
}

// f of 0..1 in `top` steps, with `below` steps before 0 holding f(0) and `above` past 1
// holding f(1).
template <typename F>
std::vector<float> tableOf(int top, int below, int above, F f) {
    std::vector<float> table(static_cast<size_t>(below + top + above) + 1);
    for (int i = -below; i <= top + above; ++i) {
        const double x = static_cast<double>(std::clamp(i, 0, top)) / top;
        table[static_cast<size_t>(i + below)] = static_cast<float>(f(x));
    }
    return table;
}

struct Rgb {
    float r;
    float g;
    float b;
};

// The SDR signal (0..1) of one pixel. The vector kernel does the same operations in the same
// order.
Rgb sdrOf(const ToneMapping::Constants& k, int y, int u, int v) {
    using namespace detail;
    const float luma = static_cast<float>(y - 64) * kSignalFromLuma;
    const auto blue = static_cast<float>(u - 512);
    const auto red = static_cast<float>(v - 512);
    float light[3] = {k.toLight[indexOf(luma + red * kRedFromV)],
                      k.toLight[indexOf(luma + blue * kGreenFromU + red * kGreenFromV)],
                      k.toLight[indexOf(luma + blue * kBlueFromU)]};
    const auto lightTop = static_cast<float>(ToneMapping::kLightTop);
    if (k.hlgGain != nullptr) {
        const float scene =
            light[0] * kSceneLuma[0] + light[1] * kSceneLuma[1] + light[2] * kSceneLuma[2];
        const float gain = k.hlgGain[indexOf(scene * lightTop)];  // scene luma is 0..1
        for (float& c : light) {
            c = c * gain;
        }
    }
    float bt709[3];
    for (int c = 0; c < 3; ++c) {
        bt709[c] =
            light[0] * kToBt709[c][0] + light[1] * kToBt709[c][1] + light[2] * kToBt709[c][2];
    }
    const float brightest = std::max(std::max(bt709[0], bt709[1]), bt709[2]);
    const float scale = brightest > k.knee
                            ? k.c * (brightest + k.a) / ((brightest + k.b) * brightest) * lightTop
                            : lightTop;
    return {k.toSdr[indexOf(std::min(bt709[0] * scale, lightTop))],
            k.toSdr[indexOf(std::min(bt709[1] * scale, lightTop))],
            k.toSdr[indexOf(std::min(bt709[2] * scale, lightTop))]};
}

float lumaOf(const Rgb& c) {
    return c.r * detail::kLuma[0] + c.g * detail::kLuma[1] + c.b * detail::kLuma[2];
}

uint8_t byteOf(float x) {
    return static_cast<uint8_t>(x + 0.5f);  // x is within 16..240
}

}  // namespace

ToneMapping::ToneMapping(HdrTransfer transfer, double peak) {
    if (transfer == HdrTransfer::Pq) {
        toLight_ = tableOf(kSignalTop, kSignalMargin, kSignalMargin,
                           [](double s) { return pqToNits(s) / 100.0; });
    } else {
        toLight_ = tableOf(kSignalTop, kSignalMargin, kSignalMargin, hlgToScene);
        // BT.2100's reference display: 1000 cd/m2 at the top, system gamma 1.2.
        hlgGain_ = tableOf(kLightTop, 0, 1, [](double luma) { return 10.0 * std::pow(luma, 0.2); });
    }
    toSdr_ = tableOf(kLightTop, kLightMargin, 0, sdrSignalOf);
    if (peak <= 0.0) {
        peak = transfer == HdrTransfer::Pq ? 100.0 : 10.0;
    }
    const double j = kKnee;
    // Nothing to bring down when nothing is brighter than white.
    const double a = peak > 1.0 ? -j * j * (peak - 1.0) / (j * j - 2.0 * j + peak) : 0.0;
    const double b = peak > 1.0 ? (j * j - 2.0 * j * peak + peak) / (peak - 1.0) : 0.0;
    const double c = peak > 1.0 ? (b * b + 2.0 * b * j + j * j) / (b - a) : 1.0;
    constants_ = {toLight_.data() + kSignalMargin,
                  toSdr_.data() + kLightMargin,
                  hlgGain_.empty() ? nullptr : hlgGain_.data(),
                  peak > 1.0 ? static_cast<float>(j) : 1e30f,
                  static_cast<float>(a),
                  static_cast<float>(b),
                  static_cast<float>(c)};
}

void ToneMapping::apply(const Yuv10Planes& in, const YuvPlanes& out, int from, int to) const {
    const bool vector = haveAvx2();
    for (int row = from; row < std::min(to, in.height); row += 2) {
        const int done =
            vector && row + 1 < in.height ? detail::toneMapRowsAvx2(constants_, in, out, row) : 0;
        detail::toneMapRowsPlain(constants_, in, out, row, done);
    }
}

namespace detail {

void toneMapRowsPlain(const ToneMapping::Constants& k, const Yuv10Planes& in, const YuvPlanes& out,
                      int row, int from) {
    const int rows = std::min(2, in.height - row);
    const uint16_t* u = in.u + static_cast<ptrdiff_t>(row / 2) * in.uStride;
    const uint16_t* v = in.v + static_cast<ptrdiff_t>(row / 2) * in.vStride;
    uint8_t* uOut = out.u + static_cast<ptrdiff_t>(row / 2) * out.uStride;
    uint8_t* vOut = out.v + static_cast<ptrdiff_t>(row / 2) * out.vStride;
    for (int x = from; x < in.width; x += 2) {
        const int columns = std::min(2, in.width - x);
        const int blockU = u[x / 2] & 1023;
        const int blockV = v[x / 2] & 1023;
        Rgb pixels[2][2]{};  // [column][row]
        for (int r = 0; r < rows; ++r) {
            const uint16_t* y = in.y + static_cast<ptrdiff_t>(row + r) * in.yStride;
            uint8_t* yOut = out.y + static_cast<ptrdiff_t>(row + r) * out.yStride;
            for (int c = 0; c < columns; ++c) {
                pixels[c][r] = sdrOf(k, y[x + c] & 1023, blockU, blockV);
                yOut[x + c] = byteOf(16.0f + lumaOf(pixels[c][r]));
            }
        }
        // As the vector kernel adds them: the two rows of each column, then the columns.
        const auto mean = [&](float Rgb::*channel) {
            float sum = 0.0f;
            for (int c = 0; c < columns; ++c) {
                float column = pixels[c][0].*channel;
                for (int r = 1; r < rows; ++r) {
                    column = column + pixels[c][r].*channel;
                }
                sum = c == 0 ? column : sum + column;
            }
            return rows * columns == 4 ? sum * 0.25f : sum / static_cast<float>(rows * columns);
        };
        const Rgb average{mean(&Rgb::r), mean(&Rgb::g), mean(&Rgb::b)};
        const float luma = lumaOf(average) * (1.0f / 219.0f);
        uOut[x / 2] = byteOf(128.0f + (average.b - luma) * kBlueScale);
        vOut[x / 2] = byteOf(128.0f + (average.r - luma) * kRedScale);
    }
}

}  // namespace detail

}  // namespace morvane
