// Built with -mavx2; called only when the processor has AVX2.
//
// Eight pixels at a time, one per lane, with the plain kernel's operations in its order, so
// that the bytes are the same: the tables through gathers, the rest in single precision.
#include <immintrin.h>

#include "pixels/tone_mapping.h"

namespace morvane::detail {
namespace {

struct Rgb8 {
    __m256 r;
    __m256 g;
    __m256 b;
};

__m256 mul(__m256 a, float b) {
    return _mm256_mul_ps(a, _mm256_set1_ps(b));
}

__m256 add(__m256 a, __m256 b) {
    return _mm256_add_ps(a, b);
}

// The table's entry at x, rounded to the nearest step (ties to even).
__m256 lookUp(const float* table, __m256 x) {
    return _mm256_i32gather_ps(table, _mm256_cvtps_epi32(x), 4);
}

// Groups of eight pixels taken together, two rows of 32.
constexpr int kGroups = 8;

// The SDR signal of the groups, one step of the chain for all of them before the next: the
// gathers of a step are then independent of each other, and the processor overlaps them
// rather than waiting for each in turn.
void sdrOf(const ToneMapping::Constants& k, const __m256 (&y)[kGroups],
           const __m256 (&blue)[kGroups], const __m256 (&red)[kGroups], Rgb8 (&sdr)[kGroups]) {
    const auto lightTop = static_cast<float>(ToneMapping::kLightTop);
    __m256 light[kGroups][3];
    for (int g = 0; g < kGroups; ++g) {
        const __m256 luma = mul(_mm256_sub_ps(y[g], _mm256_set1_ps(64.0f)), kSignalFromLuma);
        light[g][0] = lookUp(k.toLight, add(luma, mul(red[g], kRedFromV)));
        light[g][1] =
            lookUp(k.toLight, add(add(luma, mul(blue[g], kGreenFromU)), mul(red[g], kGreenFromV)));
        light[g][2] = lookUp(k.toLight, add(luma, mul(blue[g], kBlueFromU)));
    }
    if (k.hlgGain != nullptr) {
        __m256 gain[kGroups];
        for (int g = 0; g < kGroups; ++g) {
            const __m256 scene =
                add(add(mul(light[g][0], kSceneLuma[0]), mul(light[g][1], kSceneLuma[1])),
                    mul(light[g][2], kSceneLuma[2]));
            gain[g] = lookUp(k.hlgGain, mul(scene, lightTop));
        }
        for (int g = 0; g < kGroups; ++g) {
            for (__m256& c : light[g]) {
                c = _mm256_mul_ps(c, gain[g]);
            }
        }
    }
    for (int g = 0; g < kGroups; ++g) {
        __m256 bt709[3];
        for (int c = 0; c < 3; ++c) {
            bt709[c] = add(add(mul(light[g][0], kToBt709[c][0]), mul(light[g][1], kToBt709[c][1])),
                           mul(light[g][2], kToBt709[c][2]));
        }
        const __m256 brightest = _mm256_max_ps(_mm256_max_ps(bt709[0], bt709[1]), bt709[2]);
        const __m256 curve =
            mul(_mm256_div_ps(mul(add(brightest, _mm256_set1_ps(k.a)), k.c),
                              _mm256_mul_ps(add(brightest, _mm256_set1_ps(k.b)), brightest)),
                lightTop);
        const __m256 above = _mm256_cmp_ps(brightest, _mm256_set1_ps(k.knee), _CMP_GT_OQ);
        const __m256 scale = _mm256_blendv_ps(_mm256_set1_ps(lightTop), curve, above);
        for (int c = 0; c < 3; ++c) {
            light[g][c] = _mm256_mul_ps(bt709[c], scale);
        }
    }
    for (int g = 0; g < kGroups; ++g) {
        const __m256 top = _mm256_set1_ps(lightTop);
        sdr[g] = {lookUp(k.toSdr, _mm256_min_ps(light[g][0], top)),
                  lookUp(k.toSdr, _mm256_min_ps(light[g][1], top)),
                  lookUp(k.toSdr, _mm256_min_ps(light[g][2], top))};
    }
}

__m256 lumaOf(const Rgb8& c) {
    return add(add(mul(c.r, kLuma[0]), mul(c.g, kLuma[1])), mul(c.b, kLuma[2]));
}

void storeBytes(uint8_t* to, __m256 x) {
    const __m256i values = _mm256_cvttps_epi32(add(x, _mm256_set1_ps(0.5f)));
    const __m128i words =
        _mm_packus_epi32(_mm256_castsi256_si128(values), _mm256_extracti128_si256(values, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to), _mm_packus_epi16(words, words));
}

__m256i tenBits(const uint16_t* from) {
    return _mm256_and_si256(
        _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from))),
        _mm256_set1_epi32(1023));
}

// The sums of each 2x2 block of 16 pixels: rows added first, then the columns of a block.
__m256 blockSums(const __m256 (&rows)[2][2]) {
    const __m256 left = add(rows[0][0], rows[1][0]);
    const __m256 right = add(rows[0][1], rows[1][1]);
    // hadd leaves blocks 0 1 4 5 2 3 6 7.
    return _mm256_permutevar8x32_ps(_mm256_hadd_ps(left, right),
                                    _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7));
}

}  // namespace

int toneMapRowsAvx2(const ToneMapping::Constants& k, const Yuv10Planes& in, const YuvPlanes& out,
                    int row) {
    const uint16_t* rows[2] = {in.y + static_cast<ptrdiff_t>(row) * in.yStride,
                               in.y + static_cast<ptrdiff_t>(row + 1) * in.yStride};
    uint8_t* outRows[2] = {out.y + static_cast<ptrdiff_t>(row) * out.yStride,
                           out.y + static_cast<ptrdiff_t>(row + 1) * out.yStride};
    const uint16_t* u = in.u + static_cast<ptrdiff_t>(row / 2) * in.uStride;
    const uint16_t* v = in.v + static_cast<ptrdiff_t>(row / 2) * in.vStride;
    uint8_t* uOut = out.u + static_cast<ptrdiff_t>(row / 2) * out.uStride;
    uint8_t* vOut = out.v + static_cast<ptrdiff_t>(row / 2) * out.vStride;
    const __m256i centre = _mm256_set1_epi32(512);
    // Lanes 0-3 and 4-7 each twice: the blocks of the first and of the last eight pixels.
    const __m256i halves[2] = {_mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3),
                               _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7)};
    const __m256 quarter = _mm256_set1_ps(0.25f);
    int x = 0;
    for (; x + 32 <= in.width; x += 32) {
        // Group g: row g % 2 of the pixels from x + 8 * (g / 2) on.
        __m256 y[kGroups];
        __m256 pixelU[kGroups];
        __m256 pixelV[kGroups];
        for (int step = 0; step < 2; ++step) {
            const int block = x / 2 + 8 * step;
            const __m256i blockU = _mm256_sub_epi32(tenBits(u + block), centre);
            const __m256i blockV = _mm256_sub_epi32(tenBits(v + block), centre);
            for (int g = 4 * step; g < 4 * step + 4; ++g) {
                const __m256i& half = halves[(g / 2) % 2];
                pixelU[g] = _mm256_cvtepi32_ps(_mm256_permutevar8x32_epi32(blockU, half));
                pixelV[g] = _mm256_cvtepi32_ps(_mm256_permutevar8x32_epi32(blockV, half));
                y[g] = _mm256_cvtepi32_ps(tenBits(rows[g % 2] + x + 8 * (g / 2)));
            }
        }
        Rgb8 sdr[kGroups];
        sdrOf(k, y, pixelU, pixelV, sdr);
        for (int g = 0; g < kGroups; ++g) {
            storeBytes(outRows[g % 2] + x + 8 * (g / 2),
                       add(_mm256_set1_ps(16.0f), lumaOf(sdr[g])));
        }
        for (int step = 0; step < 2; ++step) {
            const Rgb8* groups = sdr + 4 * step;
            const auto sums = [groups](__m256 Rgb8::*channel) {
                const __m256 byRow[2][2] = {{groups[0].*channel, groups[2].*channel},
                                            {groups[1].*channel, groups[3].*channel}};
                return blockSums(byRow);
            };
            const Rgb8 average{_mm256_mul_ps(sums(&Rgb8::r), quarter),
                               _mm256_mul_ps(sums(&Rgb8::g), quarter),
                               _mm256_mul_ps(sums(&Rgb8::b), quarter)};
            const __m256 luma = mul(lumaOf(average), 1.0f / 219.0f);
            const int block = x / 2 + 8 * step;
            storeBytes(uOut + block, add(_mm256_set1_ps(128.0f),
                                         mul(_mm256_sub_ps(average.b, luma), kBlueScale)));
            storeBytes(vOut + block,
                       add(_mm256_set1_ps(128.0f), mul(_mm256_sub_ps(average.r, luma), kRedScale)));
        }
    }
    return x;
}

}  // namespace morvane::detail
