// The YUV to blue-green-red matrix on 16 words at a time, for the kernels built with -mavx2:
// values are 16-bit with 6 fraction bits, and every sum saturates, as in yuvRowToBgrPlain.
#pragma once

#include "pixels/avx2_ops.h"
#include "pixels/yuv420_to_bgr.h"

namespace morvane::detail {

struct Colour {
    __m256i blue;
    __m256i green;
    __m256i red;
};

class YuvToBgrTerms {
public:
    explicit YuvToBgrTerms(const YuvToBgrCoefficients& c)
        : lumaOffset_(Avx2::set1Words(c.lumaOffset)),
          lumaFraction_(Avx2::set1Words(c.lumaFraction)),
          redWhole_(Avx2::set1Words(c.redFromV[0])),
          redFraction_(Avx2::set1Words(c.redFromV[1])),
          greenFromU_(Avx2::set1Words(c.greenFromU)),
          greenFromV_(Avx2::set1Words(c.greenFromV)),
          blueWhole_(Avx2::set1Words(c.blueFromU[0])),
          blueFraction_(Avx2::set1Words(c.blueFromU[1])) {}

    // 16 chroma bytes as words less 128.
    static __m256i chromaWords(const uint8_t* p) {
        const __m256i bytes =
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        return _mm256_slli_epi16(_mm256_sub_epi16(bytes, Avx2::set1Words(128)), 6);
    }

    // What the chroma of 16 samples adds to each colour.
    Colour chromaTerms(__m256i us, __m256i vs) const {
        return {_mm256_adds_epi16(_mm256_mullo_epi16(us, blueWhole_),
                                  _mm256_mulhrs_epi16(us, blueFraction_)),
                _mm256_adds_epi16(_mm256_mulhrs_epi16(us, greenFromU_),
                                  _mm256_mulhrs_epi16(vs, greenFromV_)),
                _mm256_adds_epi16(_mm256_mullo_epi16(vs, redWhole_),
                                  _mm256_mulhrs_epi16(vs, redFraction_))};
    }

    // The luma term of 16 luma samples, given one per word.
    __m256i lumaTerm(__m256i luma) const {
        const __m256i scaled = _mm256_slli_epi16(_mm256_sub_epi16(luma, lumaOffset_), 6);
        return _mm256_adds_epi16(scaled, _mm256_mulhrs_epi16(scaled, lumaFraction_));
    }

private:
    __m256i lumaOffset_;
    __m256i lumaFraction_;
    __m256i redWhole_;
    __m256i redFraction_;
    __m256i greenFromU_;
    __m256i greenFromV_;
    __m256i blueWhole_;
    __m256i blueFraction_;
};

}  // namespace morvane::detail
