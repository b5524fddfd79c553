// Built with -mavx2; called only when the processor has AVX2.
//
// Each step takes 32 pixels as 16-bit words in two registers, the even pixels and the odd
// ones: word k of either then pairs with chroma sample k, so that neither the colours nor the
// pair averages of the chroma need moving across the register. The operations are those of
// the two conversions, in their order (but for the one rounding said below), so the result is
// theirs to the bit; the formulas are the vector kernels' own (vector_formulas.h).
#include "pixels/decoded_to_yuv420.h"
#include "pixels/vector_formulas.h"
#include "pixels/yuv_to_bgr_terms_avx2.h"

namespace morvane::detail {
namespace {

// The blue-green-red conversion's own terms, with the rounding of its final shift added to
// the chroma ones. Adding it before the luma rather than after changes no byte: the sums
// saturate only far outside the range that the clamp to 0..255 keeps, and then on the same
// side.
class Converter {
public:
    explicit Converter(const YuvToBgrCoefficients& c) : matrix_(c) {}

    Colour terms(const uint8_t* u, const uint8_t* v) const {
        const __m256i rounding = Avx2::set1Words(32);
        const Colour t =
            matrix_.chromaTerms(YuvToBgrTerms::chromaWords(u), YuvToBgrTerms::chromaWords(v));
        return {_mm256_adds_epi16(t.blue, rounding), _mm256_adds_epi16(t.green, rounding),
                _mm256_adds_epi16(t.red, rounding)};
    }

    // The bytes of 16 pixels, one per word, from their luma and chroma terms.
    Colour colours(__m256i luma, const Colour& terms) const {
        const __m256i yy = matrix_.lumaTerm(luma);
        return {toByte(yy, terms.blue), toByte(yy, terms.green), toByte(yy, terms.red)};
    }

private:
    static __m256i toByte(__m256i yy, __m256i term) {
        const __m256i value = _mm256_srai_epi16(_mm256_adds_epi16(yy, term), 6);
        // Clamped to 0..255 through bytes and back, on the shuffle port, which the
        // arithmetic leaves idle.
        return _mm256_unpacklo_epi8(_mm256_packus_epi16(value, value), _mm256_setzero_si256());
    }

    YuvToBgrTerms matrix_;
};

// The full-range luma of 16 pixels, one per word.
__m256i fullLumaOf(const Colour& c) {
    return VectorFormulas<Avx2>::fullLuma(_mm256_or_si256(c.red, _mm256_slli_epi16(c.green, 8)),
                                          c.blue);
}

__m256i average(__m256i a, __m256i b) {
    return _mm256_srli_epi16(_mm256_add_epi16(a, b), 1);
}

}  // namespace

int convertDecodedRowAvx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, int width,
                          bool withChroma, const YuvToBgrCoefficients& coefficients, uint8_t* yOut,
                          uint8_t* uOut, uint8_t* vOut) {
    using Formulas = VectorFormulas<Avx2>;
    const Converter converter(coefficients);
    const __m256i lowBytes = Avx2::set1Words(0xFF);

    int x = 0;
    for (; x + 32 <= width; x += 32) {
        const Colour terms = converter.terms(u + x / 2, v + x / 2);
        const __m256i luma = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y + x));
        const Colour even = converter.colours(_mm256_and_si256(luma, lowBytes), terms);
        const Colour odd = converter.colours(_mm256_srli_epi16(luma, 8), terms);
        const __m256i lumaBytes =
            _mm256_or_si256(Formulas::limitedLumaWords(fullLumaOf(even)),
                            _mm256_slli_epi16(Formulas::limitedLumaWords(fullLumaOf(odd)), 8));
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
        const __m256i us = Formulas::limitedChromaWords(_mm256_packs_epi32(
            Formulas::chromaU(redGreenLow, blueLow), Formulas::chromaU(redGreenHigh, blueHigh)));
        const __m256i vs = Formulas::limitedChromaWords(_mm256_packs_epi32(
            Formulas::chromaV(redGreenLow, blueLow), Formulas::chromaV(redGreenHigh, blueHigh)));
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
