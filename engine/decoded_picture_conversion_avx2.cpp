// Built with -mavx2; called only when the processor has AVX2.
//
// Each step takes 32 pixels as 16-bit words in two registers, the even pixels and the odd
// ones: word k of either then pairs with chroma sample k, so that neither the colours nor the
// pair averages of the chroma need moving across the register. The operations are those of
// the two conversions, in their order (but for the one rounding said below), so the result is
// theirs to the bit. The encoder's conversion is done as its vector kernel does it
// (encoder/yuv_conversion_kernel.h): chroma worked out less its 128, and luma and chroma brought
// to the limited range on their words by the same rounded multiply-high.
#include <immintrin.h>

#include "engine/decoded_picture_conversion.h"

namespace morvane::detail {
namespace {

__m256i words(int value) {
    return _mm256_set1_epi16(static_cast<short>(value));
}

__m256i wordPairs(int low, int high) {
    return _mm256_set1_epi32(static_cast<int>((static_cast<uint32_t>(low) & 0xFFFFU) |
                                              (static_cast<uint32_t>(high) << 16)));
}

__m256i chroma(const uint8_t* p) {
    const __m256i bytes =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    return _mm256_slli_epi16(_mm256_sub_epi16(bytes, words(128)), 6);
}

struct Colour {
    __m256i blue;
    __m256i green;
    __m256i red;
};

// floor(n / 10000) for |n| < 2^21, as the encoder's conversion computes it.
__m256i divideByTenThousand(__m256i n) {
    return _mm256_cvtps_epi32(_mm256_add_ps(
        _mm256_mul_ps(_mm256_cvtepi32_ps(n), _mm256_set1_ps(0.0001F)), _mm256_set1_ps(-0.49995F)));
}

class Converter {
public:
    explicit Converter(const Yuv420ToBgr::Coefficients& c)
        : lumaOffset_(words(c.lumaOffset)),
          lumaFraction_(words(c.lumaFraction)),
          redWhole_(words(c.redFromV[0])),
          redFraction_(words(c.redFromV[1])),
          greenFromU_(words(c.greenFromU)),
          greenFromV_(words(c.greenFromV)),
          blueWhole_(words(c.blueFromU[0])),
          blueFraction_(words(c.blueFromU[1])) {}

    // The chroma terms of 16 chroma samples, with the rounding of the final shift added.
    // Adding it before the luma rather than after changes no byte: the sums saturate only far
    // outside the range that the clamp to 0..255 keeps, and then on the same side.
    Colour terms(__m256i us, __m256i vs) const {
        const __m256i rounding = words(32);
        return {_mm256_adds_epi16(_mm256_adds_epi16(_mm256_mullo_epi16(us, blueWhole_),
                                                    _mm256_mulhrs_epi16(us, blueFraction_)),
                                  rounding),
                _mm256_adds_epi16(_mm256_adds_epi16(_mm256_mulhrs_epi16(us, greenFromU_),
                                                    _mm256_mulhrs_epi16(vs, greenFromV_)),
                                  rounding),
                _mm256_adds_epi16(_mm256_adds_epi16(_mm256_mullo_epi16(vs, redWhole_),
                                                    _mm256_mulhrs_epi16(vs, redFraction_)),
                                  rounding)};
    }

    // The bytes of 16 pixels, one per word, from their luma and chroma terms.
    Colour colours(__m256i luma, const Colour& terms) const {
        const __m256i scaled = _mm256_slli_epi16(_mm256_sub_epi16(luma, lumaOffset_), 6);
        const __m256i yy = _mm256_adds_epi16(scaled, _mm256_mulhrs_epi16(scaled, lumaFraction_));
        return {toByte(yy, terms.blue), toByte(yy, terms.green), toByte(yy, terms.red)};
    }

private:
    static __m256i toByte(__m256i yy, __m256i term) {
        const __m256i value = _mm256_srai_epi16(_mm256_adds_epi16(yy, term), 6);
        // Clamped to 0..255 through bytes and back, on the shuffle port, which the
        // arithmetic leaves idle.
        return _mm256_unpacklo_epi8(_mm256_packus_epi16(value, value), _mm256_setzero_si256());
    }

    __m256i lumaOffset_;
    __m256i lumaFraction_;
    __m256i redWhole_;
    __m256i redFraction_;
    __m256i greenFromU_;
    __m256i greenFromV_;
    __m256i blueWhole_;
    __m256i blueFraction_;
};

// (299 R + 587 G + 114 B) / 1000 of 16 pixels, one per word: n / 8 first, as
// 32 (R + 2 G) + (43 R + 75 G + 114 B) / 8, then (n / 8) / 125 as a multiply and shift.
// 114 B is a byte multiply of each word's bytes (B, 0): a word multiply by a constant would be
// turned by the compiler into five shifts and adds.
__m256i lumaOf(const Colour& c) {
    const __m256i redGreen = _mm256_or_si256(c.red, _mm256_slli_epi16(c.green, 8));
    const __m256i low = _mm256_add_epi16(_mm256_maddubs_epi16(redGreen, words(43 | 75 << 8)),
                                         _mm256_maddubs_epi16(c.blue, words(114)));
    const __m256i high = _mm256_maddubs_epi16(redGreen, words(32 | 64 << 8));  // < 2^15
    const __m256i eighth = _mm256_add_epi16(high, _mm256_srli_epi16(low, 3));
    return _mm256_srli_epi16(_mm256_mulhi_epu16(eighth, words(33555)), 6);
}

// limitedLuma of 16 full-range luma words, less the 16 that is added to the packed bytes.
__m256i limitedLumaWords(__m256i luma) {
    return _mm256_mulhrs_epi16(luma, words(kLimitedLumaScale));
}

// limitedChroma less 128 of 16 full-range chroma words less 128.
__m256i limitedChromaWords(__m256i chroma) {
    return _mm256_mulhrs_epi16(chroma, words(kLimitedChromaScale));
}

__m256i average(__m256i a, __m256i b) {
    return _mm256_srli_epi16(_mm256_add_epi16(a, b), 1);
}

// U or V less 128 of 8 pixel pairs per lane from (R', G') and (B', 0) in the halves of each
// dword.
__m256i chromaOf(__m256i redGreen, __m256i blue, __m256i redGreenCoefs, __m256i blueCoefs) {
    return divideByTenThousand(_mm256_add_epi32(_mm256_madd_epi16(redGreen, redGreenCoefs),
                                                _mm256_madd_epi16(blue, blueCoefs)));
}

}  // namespace

int convertDecodedRowAvx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, int width,
                          bool withChroma, const Yuv420ToBgr::Coefficients& coefficients,
                          uint8_t* yOut, uint8_t* uOut, uint8_t* vOut) {
    const Converter converter(coefficients);
    const __m256i lowBytes = words(0xFF);
    const __m256i uRedGreen = wordPairs(-1687, -3313);
    const __m256i uBlue = wordPairs(5000, 0);
    const __m256i vRedGreen = wordPairs(5000, -4187);
    const __m256i vBlue = wordPairs(-813, 0);

    int x = 0;
    for (; x + 32 <= width; x += 32) {
        const Colour terms = converter.terms(chroma(u + x / 2), chroma(v + x / 2));
        const __m256i luma = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y + x));
        const Colour even = converter.colours(_mm256_and_si256(luma, lowBytes), terms);
        const Colour odd = converter.colours(_mm256_srli_epi16(luma, 8), terms);
        const __m256i lumaBytes = _mm256_or_si256(
            limitedLumaWords(lumaOf(even)), _mm256_slli_epi16(limitedLumaWords(lumaOf(odd)), 8));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(yOut + x),
                            _mm256_add_epi8(lumaBytes, _mm256_set1_epi8(16)));
        if (!withChroma) {
            continue;
        }
        const __m256i red = average(even.red, odd.red);
        const __m256i green = average(even.green, odd.green);
        const __m256i blue = average(even.blue, odd.blue);
        // unpacklo takes words 0-3 of each lane, unpackhi words 4-7; packing the two halves
        // back together restores the order.
        const __m256i redGreenLow = _mm256_unpacklo_epi16(red, green);
        const __m256i redGreenHigh = _mm256_unpackhi_epi16(red, green);
        const __m256i blueLow = _mm256_unpacklo_epi16(blue, _mm256_setzero_si256());
        const __m256i blueHigh = _mm256_unpackhi_epi16(blue, _mm256_setzero_si256());
        const __m256i us = limitedChromaWords(
            _mm256_packs_epi32(chromaOf(redGreenLow, blueLow, uRedGreen, uBlue),
                               chromaOf(redGreenHigh, blueHigh, uRedGreen, uBlue)));
        const __m256i vs = limitedChromaWords(
            _mm256_packs_epi32(chromaOf(redGreenLow, blueLow, vRedGreen, vBlue),
                               chromaOf(redGreenHigh, blueHigh, vRedGreen, vBlue)));
        // Lanes hold [U of 8 pairs, V of 8 pairs]; U and V each go out as 16 bytes.
        const __m256i uv = _mm256_add_epi8(_mm256_packs_epi16(us, vs), _mm256_set1_epi8(-128));
        const __m256i split = _mm256_permute4x64_epi64(uv, 0b11011000);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(uOut + x / 2), _mm256_castsi256_si128(split));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(vOut + x / 2),
                         _mm256_extracti128_si256(split, 1));
    }
    return x;
}

}  // namespace morvane::detail
