#pragma once

namespace morvane {

// What the processor offers to the vector kernels; asked once.
bool haveAvx2();
// AVX-512F and AVX-512BW together.
bool haveAvx512();

}  // namespace morvane
