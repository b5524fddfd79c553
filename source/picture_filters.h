#pragma once

#include <memory>
#include <string>

#include "platform/ffmpeg_ptr.h"

struct AVFilterContext;
struct AVFilterGraph;

namespace morvane {

struct AVFilterGraphFree {
    void operator()(AVFilterGraph* graph) const;
};
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, AVFilterGraphFree>;

// Decoded pictures through a libavfilter chain (such as "bwdif=...,transpose=clock"), on the
// calling thread. The chain gives one picture for each it takes, in order, but may hold some
// back until the next ones come or the end is told. A change of the pictures' size or format
// sets the chain up anew (what it held is then lost).
class PictureFilters {
public:
    // `threads`: the chain's slice threads (0: one a core).
    PictureFilters(std::string chain, int threads);

    // Hands a picture in (it is left as it is); false when the chain cannot take it.
    bool push(const AVFrame& frame);
    // The last push() set the chain up anew: what it held before is lost.
    bool restarted() const { return restarted_; }
    // The end of the pictures: what the chain held comes out.
    void end();
    // The next picture out, valid until the next call; null when none is ready.
    const AVFrame* next();

private:
    bool configure(const AVFrame& frame);

    std::string chain_;
    const int threads_;
    FilterGraphPtr graph_;
    AVFilterContext* source_ = nullptr;  // both belong to the graph
    AVFilterContext* sink_ = nullptr;
    FramePtr out_;
    int width_ = 0;
    int height_ = 0;
    int format_ = AV_PIX_FMT_NONE;
    bool restarted_ = false;
};

}  // namespace morvane
