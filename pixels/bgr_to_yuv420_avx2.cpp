// Built with -mavx2; called only when the processor has AVX2.
#include "pixels/avx2_ops.h"
#include "pixels/bgr_to_yuv420_kernel.h"

namespace morvane::detail {

void convertRowsAvx2(const BgrView& image, const YuvPlanes& planes) {
    static const Kernel<Avx2> kernel;
    kernel.convertRows(image, planes);
}

}  // namespace morvane::detail
