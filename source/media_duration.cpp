#include "source/media_duration.h"

#include <sys/stat.h>

#include "platform/ffmpeg_ptr.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace morvane {

int64_t probeDurationMs(const std::string& path) {
    // A named pipe or a device would hold the open until a writer came.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return 0;
    }
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return 0;
    }
    const InputContextPtr input(raw);
    const int64_t duration = input->duration;
    return duration == AV_NOPTS_VALUE || duration <= 0 ? 0 : duration / 1000;
}

}  // namespace morvane
