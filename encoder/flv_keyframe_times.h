#pragma once

#include <cstdint>
#include <vector>

namespace morvane {

// The real times of a finished FLV file's video, to set its onMetaData by.
struct VideoTimes {
    std::vector<int64_t> keyFramesMs;  // of the key frames' tags, in file order
    int64_t lastFrameMs = 0;
};

// The muxer writes the key frame index, "lasttimestamp" and "lastkeyframetimestamp" as frame
// counts over the nominal frame rate, which is right only for an even, whole rate. Each of those
// numbers that is a millisecond or more away from the tag it names is set to that tag's time, in
// place (an AMF number is 8 bytes whatever it holds), so a file at an even, whole rate keeps its
// bytes. Reads and writes the metadata tag at the start of the file behind `fd`; false when it is
// not the muxer's layout or an I/O fails.
bool correctVideoTimes(int fd, const VideoTimes& times);

}  // namespace morvane
