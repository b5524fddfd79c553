// Built with -mavx2; called only when the processor has AVX2.
#include "pixels/yuv_to_bgr_terms_avx2.h"

namespace morvane::detail {
namespace {

__m128i load16(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Each chroma term serves two pixels: 16 terms become two registers of 16 pixels.
void widen(__m256i terms, __m256i& first, __m256i& second) {
    const __m256i low = _mm256_unpacklo_epi16(terms, terms);
    const __m256i high = _mm256_unpackhi_epi16(terms, terms);
    first = _mm256_permute2x128_si256(low, high, 0x20);
    second = _mm256_permute2x128_si256(low, high, 0x31);
}

// Where byte i of each lane's 48 output bytes comes from in channel `channel`'s 16 bytes.
__m256i interleaveMask(int part, int channel) {
    alignas(16) int8_t mask[16];
    for (int j = 0; j < 16; ++j) {
        const int i = 16 * part + j;
        mask[j] = i % 3 == channel ? static_cast<int8_t>(i / 3) : static_cast<int8_t>(-128);
    }
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(mask)));
}

struct Masks {
    __m256i of[3][3];  // [part][channel]
    Masks() {
        for (int part = 0; part < 3; ++part) {
            for (int channel = 0; channel < 3; ++channel) {
                of[part][channel] = interleaveMask(part, channel);
            }
        }
    }
};

// 32 pixels of one channel, 16-bit with 6 fraction bits, as bytes in pixel order.
__m256i toBytes(__m256i first, __m256i second) {
    const __m256i rounding = Avx2::set1Words(32);
    const __m256i packed =
        _mm256_packus_epi16(_mm256_srai_epi16(_mm256_adds_epi16(first, rounding), 6),
                            _mm256_srai_epi16(_mm256_adds_epi16(second, rounding), 6));
    return _mm256_permute4x64_epi64(packed, 0b11011000);
}

}  // namespace

int yuvRowToBgrAvx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, int width,
                    const YuvToBgrCoefficients& c, uint8_t* bgr) {
    static const Masks masks;
    const YuvToBgrTerms matrix(c);

    int x = 0;
    for (; x + 32 <= width; x += 32) {
        const Colour terms = matrix.chromaTerms(YuvToBgrTerms::chromaWords(u + x / 2),
                                                YuvToBgrTerms::chromaWords(v + x / 2));
        __m256i red[2];
        __m256i green[2];
        __m256i blue[2];
        widen(terms.red, red[0], red[1]);
        widen(terms.green, green[0], green[1]);
        widen(terms.blue, blue[0], blue[1]);
#pragma GCC unroll 4
        for (int half = 0; half < 2; ++half) {
            const __m256i yy = matrix.lumaTerm(_mm256_cvtepu8_epi16(load16(y + x + 16 * half)));
            red[half] = _mm256_adds_epi16(yy, red[half]);
            green[half] = _mm256_adds_epi16(yy, green[half]);
            blue[half] = _mm256_adds_epi16(yy, blue[half]);
        }
        // Lane 0 holds pixels 0-15 of each channel, lane 1 pixels 16-31.
        const __m256i channels[3] = {toBytes(blue[0], blue[1]), toBytes(green[0], green[1]),
                                     toBytes(red[0], red[1])};
        __m256i parts[3];
#pragma GCC unroll 4
        for (int part = 0; part < 3; ++part) {
            parts[part] = _mm256_or_si256(
                _mm256_or_si256(_mm256_shuffle_epi8(channels[0], masks.of[part][0]),
                                _mm256_shuffle_epi8(channels[1], masks.of[part][1])),
                _mm256_shuffle_epi8(channels[2], masks.of[part][2]));
        }
        auto* out = reinterpret_cast<__m256i*>(bgr + 3 * x);
        _mm256_storeu_si256(out, _mm256_permute2x128_si256(parts[0], parts[1], 0x20));
        _mm256_storeu_si256(out + 1, _mm256_permute2x128_si256(parts[2], parts[0], 0x30));
        _mm256_storeu_si256(out + 2, _mm256_permute2x128_si256(parts[1], parts[2], 0x31));
    }
    return x;
}

}  // namespace morvane::detail
