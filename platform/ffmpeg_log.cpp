#include "platform/ffmpeg_log.h"

#include <cstdarg>
#include <mutex>

#include "platform/debug_output.h"

extern "C" {
#include <libavutil/log.h>
}

namespace morvane {
namespace {

void logToDebugOutput(void* context, int level, const char* format, va_list arguments) {
    if (level > AV_LOG_WARNING || !isDebugOutputEnabled()) {
        return;
    }
    char line[1024];
    int printPrefix = 1;
    av_log_format_line2(context, level, format, arguments, line, sizeof line, &printPrefix);
    debugOutput(line);
}

}  // namespace

void routeFfmpegLogToDebugOutput() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(logToDebugOutput); });
}

}  // namespace morvane
