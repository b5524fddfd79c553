#include "source/picture_filters.h"

#include <cstdio>
#include <string_view>
#include <utility>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

namespace morvane {

void AVFilterGraphFree::operator()(AVFilterGraph* graph) const {
    avfilter_graph_free(&graph);
}

PictureFilters::PictureFilters(std::string chain, int threads)
    : chain_(std::move(chain)), threads_(threads), out_(av_frame_alloc()) {}

bool PictureFilters::push(const AVFrame& frame) {
    if (!out_) {
        return false;
    }
    restarted_ = frame.width != width_ || frame.height != height_ || frame.format != format_;
    if (restarted_) {
        width_ = frame.width;
        height_ = frame.height;
        format_ = frame.format;
        if (!configure(frame)) {
            graph_.reset();
        }
    }
    return graph_ && av_buffersrc_add_frame_flags(source_, const_cast<AVFrame*>(&frame),
                                                  AV_BUFFERSRC_FLAG_KEEP_REF) >= 0;
}

void PictureFilters::end() {
    if (graph_ && av_buffersrc_add_frame_flags(source_, nullptr, 0) < 0) {
        graph_.reset();  // nothing more comes out
    }
}

const AVFrame* PictureFilters::next() {
    if (!out_ || !graph_) {
        return nullptr;
    }
    dropPicture(out_.get());
    return av_buffersink_get_frame(sink_, out_.get()) >= 0 ? out_.get() : nullptr;
}

bool PictureFilters::configure(const AVFrame& frame) {
    graph_.reset(avfilter_graph_alloc());
    if (!graph_) {
        return false;
    }
    graph_->nb_threads = threads_;  // read as the first filter is made
    char arguments[128];
    const AVRational aspect =
        frame.sample_aspect_ratio.den > 0 ? frame.sample_aspect_ratio : AVRational{0, 1};
    std::snprintf(arguments, sizeof arguments,
                  "video_size=%dx%d:pix_fmt=%d:time_base=1/1:pixel_aspect=%d/%d", frame.width,
                  frame.height, frame.format, aspect.num, aspect.den);
    if (avfilter_graph_create_filter(&source_, avfilter_get_by_name("buffer"), "in", arguments,
                                     nullptr, graph_.get()) < 0 ||
        avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out", nullptr,
                                     nullptr, graph_.get()) < 0) {
        return false;
    }
    AVFilterContext* last = source_;
    for (std::string_view rest = chain_; !rest.empty();) {
        const size_t comma = rest.find(',');
        const std::string_view step = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        const size_t equals = step.find('=');
        const std::string name(step.substr(0, equals));
        const std::string options(equals == std::string_view::npos ? std::string_view{}
                                                                   : step.substr(equals + 1));
        const AVFilter* filter = avfilter_get_by_name(name.c_str());
        AVFilterContext* next = nullptr;
        if (filter == nullptr ||
            avfilter_graph_create_filter(&next, filter, nullptr,
                                         options.empty() ? nullptr : options.c_str(), nullptr,
                                         graph_.get()) < 0 ||
            avfilter_link(last, 0, next, 0) < 0) {
            return false;
        }
        last = next;
    }
    return avfilter_link(last, 0, sink_, 0) >= 0 &&
           avfilter_graph_config(graph_.get(), nullptr) >= 0;
}

}  // namespace morvane
