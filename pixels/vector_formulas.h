// The colour formulas of colour_formulas.h on vectors of 16-bit words, written once over a
// vector type `V` (see avx2_ops.h) for the kernels that make the encoder's pictures.
//
// Luma stays in 16-bit lanes and exact: with n = 299 R + 587 G + 114 B,
//   n / 8 = 32 (R + 2 G) + (43 R + 75 G + 114 B) / 8   (both rounded down; 256 R + 512 G is a
//           multiple of 8, and 43 R + 75 G + 114 B < 65536),
//   n / 1000 = (n / 8) / 125 = ((n / 8) * 33555) >> 22  for n / 8 < 32768.
// Chroma needs 32 bits. It is worked out less its 128 (without the 256 added to B' or R'), so
// n may be negative, and its division by 10,000 goes through float: n / 10000 - 0.49995,
// rounded to the nearest (the processor's default rounding), is floor(n / 10000), since it lies
// at least 0.00005 from a half, which the float product's error never bridges.
// Both then come to the limited range on their 16-bit words through a rounded multiply-high
// (kLimitedLumaScale, kLimitedChromaScale); their 16 and 128 are added to the packed bytes.
#pragma once

#include "pixels/colour_formulas.h"

namespace morvane::detail {

template <typename V>
struct VectorFormulas {
    using Reg = typename V::Reg;

    // The full-range luma of each word from words holding the bytes (R, G) and (B, 0).
    // 114 B is a byte multiply: a word multiply by a constant would become shifts and adds.
    static Reg fullLuma(Reg redGreen, Reg blue) {
        const Reg low = V::add16(V::maddubs(redGreen, V::set1Bytes(43, 75)),
                                 V::maddubs(blue, V::set1Bytes(114, 0)));
        const Reg high = V::maddubs(redGreen, V::set1Bytes(32, 64));  // 32 R + 64 G < 2^15
        const Reg eighth = V::add16(high, V::shiftRight16(low, 3));
        return V::shiftRight16(V::mulhiU16(eighth, V::set1Words(33555)), 6);
    }

    // U and V less 128, in 32-bit lanes, of pixel pairs whose averages each 32-bit lane holds
    // as the words (R', G') and (B', 0).
    static Reg chromaU(Reg redGreen, Reg blue) {
        return divideByTenThousand(V::add32(V::madd(redGreen, V::set1Pair(-1687, -3313)),
                                            V::madd(blue, V::set1Pair(5000, 0))));
    }
    static Reg chromaV(Reg redGreen, Reg blue) {
        return divideByTenThousand(V::add32(V::madd(redGreen, V::set1Pair(5000, -4187)),
                                            V::madd(blue, V::set1Pair(-813, 0))));
    }

    // limitedLuma less 16 of full-range luma words; limitedChroma less 128 of chroma words
    // less 128.
    static Reg limitedLumaWords(Reg luma) {
        return V::mulhrs16(luma, V::set1Words(kLimitedLumaScale));
    }
    static Reg limitedChromaWords(Reg chroma) {
        return V::mulhrs16(chroma, V::set1Words(kLimitedChromaScale));
    }

    // floor(n / 10000) for |n| < 2^21.
    static Reg divideByTenThousand(Reg n) {
        return V::roundToInt(V::addFloat(V::mulFloat(V::toFloat(n), V::set1Float(0.0001F)),
                                         V::set1Float(-0.49995F)));
    }
};

}  // namespace morvane::detail
