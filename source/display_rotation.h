#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ffmpeg_ptr.h"

struct AVFilterContext;
struct AVFilterGraph;

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

struct AVFilterGraphFree {
    void operator()(AVFilterGraph* graph) const;
};
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, AVFilterGraphFree>;

// Turns decoded pictures with a libavfilter chain, on the calling thread. The pictures keep
// their format and colours; a change of their size or format sets the chain up anew.
class PictureRotator {
public:
    explicit PictureRotator(std::string filters);

    // The turned picture of `frame`, valid until the next call (the frame itself is left as it
    // is); null when it cannot be had.
    const AVFrame* rotate(AVFrame& frame);

private:
    bool configure(const AVFrame& frame);

    std::string filters_;
    FilterGraphPtr graph_;
    AVFilterContext* source_ = nullptr;  // both belong to the graph
    AVFilterContext* sink_ = nullptr;
    FramePtr turned_;
    int width_ = 0;
    int height_ = 0;
    int format_ = AV_PIX_FMT_NONE;
};

}  // namespace morvane
