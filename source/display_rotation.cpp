#include "source/display_rotation.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>

#include "platform/ffmpeg_threads.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
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

void AVFilterGraphFree::operator()(AVFilterGraph* graph) const {
    avfilter_graph_free(&graph);
}

PictureRotator::PictureRotator(std::string filters)
    : filters_(std::move(filters)), turned_(av_frame_alloc()) {}

const AVFrame* PictureRotator::rotate(AVFrame& frame) {
    if (!turned_) {
        return nullptr;
    }
    av_frame_unref(turned_.get());
    if (frame.width != width_ || frame.height != height_ || frame.format != format_) {
        width_ = frame.width;
        height_ = frame.height;
        format_ = frame.format;
        if (!configure(frame)) {
            graph_.reset();
        }
    }
    // The filters give one picture for each they take, at once.
    if (!graph_ || av_buffersrc_add_frame_flags(source_, &frame, AV_BUFFERSRC_FLAG_KEEP_REF) < 0 ||
        av_buffersink_get_frame(sink_, turned_.get()) < 0) {
        return nullptr;
    }
    return turned_.get();
}

bool PictureRotator::configure(const AVFrame& frame) {
    graph_.reset(avfilter_graph_alloc());
    if (!graph_) {
        return false;
    }
    graph_->nb_threads = kFfmpegThreads;  // read as the first filter is made
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
    for (std::string_view rest = filters_; !rest.empty();) {
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
