// Built with -mavx512f -mavx512bw; called only when the processor has both.
#include <immintrin.h>

#include "pixels/bgr_to_yuv420_kernel.h"

namespace morvane::detail {
namespace {

struct Avx512 {
    using Reg = __m512i;
    static constexpr int kLanes = 4;

    static Reg broadcastLane(const int8_t* bytes) {
        return _mm512_broadcast_i32x4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
    }
    static __m128i load128(const uint8_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    // The load-th 16 bytes of each lane's 48.
    static Reg loadLanes(const uint8_t* p, int load) {
        const uint8_t* first = p + 16 * load;
        Reg lanes = _mm512_castsi128_si512(load128(first));
        lanes = _mm512_inserti32x4(lanes, load128(first + 48), 1);
        lanes = _mm512_inserti32x4(lanes, load128(first + 96), 2);
        return _mm512_inserti32x4(lanes, load128(first + 144), 3);
    }
    static Reg set1Bytes(int even, int odd) {
        return _mm512_set1_epi16(static_cast<short>((even & 0xFF) | (odd << 8)));
    }
    static Reg set1Words(int value) { return _mm512_set1_epi16(static_cast<short>(value)); }
    static Reg set1Pair(int low, int high) {
        return _mm512_set1_epi32(static_cast<int>((static_cast<uint32_t>(low) & 0xFFFFU) |
                                                  (static_cast<uint32_t>(high) << 16)));
    }
    static __m512 set1Float(float value) { return _mm512_set1_ps(value); }
    static Reg shuffleBytes(Reg a, Reg mask) { return _mm512_shuffle_epi8(a, mask); }
    static Reg bitOr(Reg a, Reg b) { return _mm512_or_si512(a, b); }
    static Reg maddubs(Reg a, Reg b) { return _mm512_maddubs_epi16(a, b); }
    static Reg madd(Reg a, Reg b) { return _mm512_madd_epi16(a, b); }
    static Reg add8(Reg a, Reg b) { return _mm512_add_epi8(a, b); }
    static Reg add16(Reg a, Reg b) { return _mm512_add_epi16(a, b); }
    static Reg add32(Reg a, Reg b) { return _mm512_add_epi32(a, b); }
    static Reg mulhiU16(Reg a, Reg b) { return _mm512_mulhi_epu16(a, b); }
    static Reg mulhrs16(Reg a, Reg b) { return _mm512_mulhrs_epi16(a, b); }
    static Reg shiftRight16(Reg a, unsigned bits) { return _mm512_srli_epi16(a, bits); }
    static __m512 toFloat(Reg a) { return _mm512_cvtepi32_ps(a); }
    static __m512 mulFloat(__m512 a, __m512 b) { return _mm512_mul_ps(a, b); }
    static __m512 addFloat(__m512 a, __m512 b) { return _mm512_add_ps(a, b); }
    static Reg roundToInt(__m512 a) { return _mm512_cvtps_epi32(a); }
    static Reg packSigned32(Reg a, Reg b) { return _mm512_packs_epi32(a, b); }
    static Reg packSigned16(Reg a, Reg b) { return _mm512_packs_epi16(a, b); }
    static Reg packUnsigned16(Reg a, Reg b) { return _mm512_packus_epi16(a, b); }
    static void store(uint8_t* p, Reg a) { _mm512_storeu_si512(p, a); }
    // Lanes hold [U 8 bytes, V 8 bytes]; U and V each go out as 32 bytes.
    static void storeUV(uint8_t* u, uint8_t* v, Reg uv) {
        const Reg split = _mm512_permutexvar_epi64(_mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7), uv);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(u), _mm512_castsi512_si256(split));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(v), _mm512_extracti64x4_epi64(split, 1));
    }
};

}  // namespace

void convertRowsAvx512(const BgrView& image, const YuvPlanes& planes) {
    static const Kernel<Avx512> kernel;
    kernel.convertRows(image, planes);
}

}  // namespace morvane::detail
