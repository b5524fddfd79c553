#include "pixels/cpu_features.h"

namespace morvane {

bool haveAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

bool haveAvx512() {
    static const bool have =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    return have;
}

}  // namespace morvane
