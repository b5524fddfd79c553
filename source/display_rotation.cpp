#include "source/display_rotation.h"

#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/display.h>
}

namespace morvane {

Orientation orientationOf(const int32_t* displayMatrix) {
    if (displayMatrix == nullptr) {
        return {};
    }
    // The matrix tells the counter-clockwise turn that shows the picture; the filters name
    // clockwise ones.
    double theta = -std::round(av_display_rotation_get(displayMatrix));
    if (std::isnan(theta)) {
        return {};
    }
    theta -= 360 * std::floor(theta / 360 + 0.9 / 360);  // into [0, 360), -0.9 counting as 0
    // A phone turns its pictures by quarters only: any other angle counts as the nearest one.
    const long quarters = std::lround(theta / 90) % 4;
    const int32_t* m = displayMatrix;
    // Where the matrix mirrors the picture as well, the sign of one of its terms tells so.
    switch (quarters) {
        case 1:
            return {m[3] > 0 ? "transpose=cclock_flip" : "transpose=clock", true};
        case 2: {
            std::string filters = m[0] < 0 ? "hflip" : "";
            if (m[4] < 0) {
                filters += filters.empty() ? "vflip" : ",vflip";
            }
            return {filters, false};
        }
        case 3:
            return {m[3] < 0 ? "transpose=clock_flip" : "transpose=cclock", true};
        default:
            return {m[4] < 0 ? "vflip" : "", false};
    }
}

Orientation orientationOf(const AVStream& stream) {
    size_t size = 0;
    const uint8_t* data = av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (data == nullptr || size < 9 * sizeof(int32_t)) {
        return {};
    }
    int32_t matrix[9];
    std::memcpy(matrix, data, sizeof matrix);
    return orientationOf(matrix);
}

}  // namespace morvane
