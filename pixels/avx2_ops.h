// The AVX2 operations that the vector kernels are written over. Included only by translation
// units built with -mavx2, whose code runs only where the processor has AVX2.
#pragma once

#include <immintrin.h>

#include <cstdint>

namespace morvane::detail {

struct Avx2 {
    using Reg = __m256i;
    static constexpr int kLanes = 2;

    static Reg broadcastLane(const int8_t* bytes) {
        return _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
    }
    // The load-th 16 bytes of each lane's 48.
    static Reg loadLanes(const uint8_t* p, int load) {
        const uint8_t* first = p + 16 * load;
        return _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(first))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 48)), 1);
    }
    static Reg set1Bytes(int even, int odd) {
        return _mm256_set1_epi16(static_cast<short>((even & 0xFF) | (odd << 8)));
    }
    static Reg set1Words(int value) { return _mm256_set1_epi16(static_cast<short>(value)); }
    static Reg set1Pair(int low, int high) {
        return _mm256_set1_epi32(static_cast<int>((static_cast<uint32_t>(low) & 0xFFFFU) |
                                                  (static_cast<uint32_t>(high) << 16)));
    }
    static __m256 set1Float(float value) { return _mm256_set1_ps(value); }
    static Reg shuffleBytes(Reg a, Reg mask) { return _mm256_shuffle_epi8(a, mask); }
    static Reg bitOr(Reg a, Reg b) { return _mm256_or_si256(a, b); }
    static Reg maddubs(Reg a, Reg b) { return _mm256_maddubs_epi16(a, b); }
    static Reg madd(Reg a, Reg b) { return _mm256_madd_epi16(a, b); }
    static Reg add8(Reg a, Reg b) { return _mm256_add_epi8(a, b); }
    static Reg add16(Reg a, Reg b) { return _mm256_add_epi16(a, b); }
    static Reg add32(Reg a, Reg b) { return _mm256_add_epi32(a, b); }
    static Reg mulhiU16(Reg a, Reg b) { return _mm256_mulhi_epu16(a, b); }
    static Reg mulhrs16(Reg a, Reg b) { return _mm256_mulhrs_epi16(a, b); }
    static Reg shiftRight16(Reg a, unsigned bits) { return _mm256_srli_epi16(a, bits); }
    static __m256 toFloat(Reg a) { return _mm256_cvtepi32_ps(a); }
    static __m256 mulFloat(__m256 a, __m256 b) { return _mm256_mul_ps(a, b); }
    static __m256 addFloat(__m256 a, __m256 b) { return _mm256_add_ps(a, b); }
    static Reg roundToInt(__m256 a) { return _mm256_cvtps_epi32(a); }
    static Reg packSigned32(Reg a, Reg b) { return _mm256_packs_epi32(a, b); }
    static Reg packSigned16(Reg a, Reg b) { return _mm256_packs_epi16(a, b); }
    static Reg packUnsigned16(Reg a, Reg b) { return _mm256_packus_epi16(a, b); }
    static void store(uint8_t* p, Reg a) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), a); }
    // Lanes hold [U 8 bytes, V 8 bytes]; U and V each go out as 16 bytes.
    static void storeUV(uint8_t* u, uint8_t* v, Reg uv) {
        const Reg split = _mm256_permute4x64_epi64(uv, 0b11011000);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(u), _mm256_castsi256_si128(split));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(v), _mm256_extracti128_si256(split, 1));
    }
};

}  // namespace morvane::detail
