// The vector kernel of convertToYuv420, written once over a vector type. Included only by the
// translation units built for one instruction set each (AVX2, AVX-512BW), which supply `V`.
// The formulas themselves are in vector_formulas.h; all of it is checked against the plain
// code for every colour by the tests.
//
// Each 128-bit lane of a register handles 16 pixels, read as three 16-byte loads.
#pragma once

#include <cstdint>

#include "pixels/bgr_to_yuv420.h"
#include "pixels/vector_formulas.h"

namespace morvane::detail {
namespace {

template <typename V>
struct Kernel {
    using Reg = typename V::Reg;
    using Formulas = VectorFormulas<V>;
    static constexpr int kPixelsPerStep = 16 * V::kLanes;

    // An output register gathers bytes from two neighbouring loads of each lane.
    struct Gather {
        Reg fromFirst;
        Reg fromSecond;
    };

    // `sourceOf(i)` names the byte (of the lane's 48) that output byte i takes, or -1 for 0.
    template <typename SourceOf>
    static Gather makeGather(int firstLoad, SourceOf sourceOf) {
        int8_t first[16];
        int8_t second[16];
        for (int i = 0; i < 16; ++i) {
            const int source = sourceOf(i);
            const int inFirst = source - 16 * firstLoad;
            const int inSecond = inFirst - 16;
            first[i] =
                source >= 0 && inFirst >= 0 && inFirst < 16 ? static_cast<int8_t>(inFirst) : -1;
            second[i] =
                source >= 0 && inSecond >= 0 && inSecond < 16 ? static_cast<int8_t>(inSecond) : -1;
        }
        return {V::broadcastLane(first), V::broadcastLane(second)};
    }

    // [half]: pixels 0-7 of each lane (loads 0 and 1), or pixels 8-15 (loads 1 and 2).
    Gather redGreen[2];       // R, G of each pixel
    Gather blue[2];           // B, 0 of each pixel
    Gather redGreenPairs[2];  // R, R, G, G of each pixel pair
    Gather bluePairs[2];      // B, B, 0, 0 of each pixel pair

    Kernel() {
        for (int half = 0; half < 2; ++half) {
            const int base = 3 * 8 * half;
            redGreen[half] = makeGather(
                half, [base](int i) { return base + 3 * (i / 2) + (i % 2 == 0 ? 2 : 1); });
            blue[half] =
                makeGather(half, [base](int i) { return i % 2 == 0 ? base + 3 * (i / 2) : -1; });
            redGreenPairs[half] = makeGather(half, [base](int i) {
                const int pixel = 2 * (i / 4) + i % 2;
                return base + 3 * pixel + (i % 4 < 2 ? 2 : 1);
            });
            bluePairs[half] = makeGather(
                half, [base](int i) { return i % 4 < 2 ? base + 3 * (2 * (i / 4) + i % 2) : -1; });
        }
    }

    static Reg gather(const Gather& how, Reg first, Reg second) {
        return V::bitOr(V::shuffleBytes(first, how.fromFirst),
                        V::shuffleBytes(second, how.fromSecond));
    }

    // `nextRow` is the row converted after this one: it is fetched ahead, since a bottom-up
    // frame steps back through memory from row to row, which the processor does not foresee.
    void convertRow(const uint8_t* bgr, const uint8_t* nextRow, int width, bool withChroma,
                    uint8_t* yRow, uint8_t* uRow, uint8_t* vRow) const {
        const Reg ones = V::set1Bytes(1, 1);
        const Reg lumaFloor = V::set1Bytes(16, 16);
        const Reg chromaMiddleBytes = V::set1Bytes(128, 128);

        int x = 0;
        for (; x + kPixelsPerStep <= width; x += kPixelsPerStep) {
            const uint8_t* p = bgr + 3 * x;
#pragma GCC unroll 4
            for (int line = 0; line < 3 * kPixelsPerStep; line += 64) {
                __builtin_prefetch(nextRow + 3 * x + line);
            }
            const Reg loads[3] = {V::loadLanes(p, 0), V::loadLanes(p, 1), V::loadLanes(p, 2)};
            Reg luma[2];
#pragma GCC unroll 4
            for (int half = 0; half < 2; ++half) {
                const Reg first = loads[half];
                const Reg second = loads[half + 1];
                luma[half] = Formulas::limitedLumaWords(Formulas::fullLuma(
                    gather(redGreen[half], first, second), gather(blue[half], first, second)));
            }
            V::store(yRow + x, V::add8(V::packUnsigned16(luma[0], luma[1]), lumaFloor));

            if (!withChroma) {
                continue;
            }
            Reg u[2];
            Reg v[2];
#pragma GCC unroll 4
            for (int half = 0; half < 2; ++half) {
                const Reg first = loads[half];
                const Reg second = loads[half + 1];
                // Pair averages: (R', G') and (B', 0) in 16-bit halves of each 32-bit lane.
                const Reg redGreenAverage = V::shiftRight16(
                    V::maddubs(gather(redGreenPairs[half], first, second), ones), 1);
                const Reg blueAverage =
                    V::shiftRight16(V::maddubs(gather(bluePairs[half], first, second), ones), 1);
                u[half] = Formulas::chromaU(redGreenAverage, blueAverage);
                v[half] = Formulas::chromaV(redGreenAverage, blueAverage);
            }
            // Per lane: the U of its 8 pairs, then their V, each less 128.
            const Reg uLimited = Formulas::limitedChromaWords(V::packSigned32(u[0], u[1]));
            const Reg vLimited = Formulas::limitedChromaWords(V::packSigned32(v[0], v[1]));
            V::storeUV(uRow + x / 2, vRow + x / 2,
                       V::add8(V::packSigned16(uLimited, vLimited), chromaMiddleBytes));
        }
        convertRowPlain(bgr, x, width, withChroma, yRow, uRow, vRow);
    }

    void convertRows(const BgrView& image, const YuvPlanes& planes) const {
        for (int row = 0; row < image.height; ++row) {
            const uint8_t* bgr = image.topRow + row * image.stride;
            convertRow(bgr, row + 1 < image.height ? bgr + image.stride : bgr, image.width,
                       row % 2 == 0, planes.y + row * planes.yStride,
                       planes.u + row / 2 * planes.uStride, planes.v + row / 2 * planes.vStride);
        }
    }
};

}  // namespace
}  // namespace morvane::detail
