#pragma once

#include <cstdint>
#include <string>

#include "platform/ffmpeg_ptr.h"

namespace morvane {

// How the pictures of a stream are turned to be seen upright: what undoes the rotation (and
// mirroring) that the stream's display matrix asks a player for. A phone that films upright
// stores landscape pictures and such a matrix.
struct Orientation {
    // A libavfilter chain, such as "transpose=clock" or "hflip,vflip"; empty for pictures that
    // are shown as they are stored.
    std::string filters;
    // The upright picture is as wide as the stored one is high.
    bool swapsSides = false;
};

// Of a display matrix (null: none), as FFmpeg's own command line reads it: an angle between
// two quarter turns counts as the nearer one, a matrix that cannot be inverted as none.
Orientation orientationOf(const int32_t* displayMatrix);
// Of the stream's display matrix.
Orientation orientationOf(const AVStream& stream);

}  // namespace morvane
