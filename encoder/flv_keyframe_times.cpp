#include "encoder/flv_keyframe_times.h"

#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <string_view>

namespace morvane {
namespace {

// The FLV header and the first "previous tag size" come before the metadata tag.
constexpr size_t kMetadataTagAt = 13;
constexpr size_t kTagHeaderBytes = 11;
constexpr uint8_t kScriptTag = 18;
constexpr int kMaxDepth = 8;

enum AmfType : uint8_t {
    kNumber = 0,
    kBoolean = 1,
    kString = 2,
    kObject = 3,
    kNull = 5,
    kUndefined = 6,
    kEcmaArray = 8,
    kStrictArray = 10,
    kDate = 11,
    kLongString = 12,
};

// Where the numbers to correct lie, as offsets into the metadata.
struct Places {
    size_t lastTimestamp = 0;
    size_t lastKeyFrameTimestamp = 0;
    std::vector<size_t> keyFrameTimes;
};

class AmfWalker {
public:
    AmfWalker(const std::vector<uint8_t>& data, Places& places) : data_(data), places_(places) {}

    bool walkMetadata() {
        return value({}, {}, 0) && value({}, {}, 0);  // the name, then the properties
    }

private:
    bool has(size_t bytes) const { return pos_ <= data_.size() && data_.size() - pos_ >= bytes; }
    uint32_t big(size_t bytes) {
        uint32_t result = 0;
        for (size_t i = 0; i < bytes; ++i) {
            result = (result << 8) | data_[pos_ + i];
        }
        pos_ += bytes;
        return result;
    }

    bool properties(std::string_view parent, int depth) {
        for (;;) {
            if (!has(3)) {
                return false;
            }
            const uint32_t length = big(2);
            if (length == 0 && data_[pos_] == 9) {
                ++pos_;
                return true;
            }
            if (!has(length)) {
                return false;
            }
            const std::string_view key(reinterpret_cast<const char*>(data_.data()) + pos_, length);
            pos_ += length;
            if (!value(parent, key, depth + 1)) {
                return false;
            }
        }
    }

    bool value(std::string_view parent, std::string_view key, int depth) {
        if (depth > kMaxDepth || !has(1)) {
            return false;
        }
        switch (data_[pos_++]) {
            case kNumber:
                if (!has(8)) {
                    return false;
                }
                if (parent.empty() && key == "lasttimestamp") {
                    places_.lastTimestamp = pos_;
                } else if (parent.empty() && key == "lastkeyframetimestamp") {
                    places_.lastKeyFrameTimestamp = pos_;
                } else if (parent == "keyframes" && key == "times") {
                    places_.keyFrameTimes.push_back(pos_);
                }
                pos_ += 8;
                return true;
            case kBoolean:
                return has(1) && (++pos_, true);
            case kString:
                return has(2) && skip(big(2));
            case kLongString:
                return has(4) && skip(big(4));
            case kNull:
            case kUndefined:
                return true;
            case kDate:
                return skip(10);
            case kObject:
                return properties(key, depth);
            case kEcmaArray:
                return has(4) && (big(4), properties(key, depth));
            case kStrictArray: {
                if (!has(4)) {
                    return false;
                }
                const uint32_t count = big(4);
                for (uint32_t i = 0; i < count; ++i) {
                    if (!value(parent, key, depth + 1)) {
                        return false;
                    }
                }
                return true;
            }
            default:
                return false;
        }
    }

    bool skip(size_t bytes) {
        if (!has(bytes)) {
            return false;
        }
        pos_ += bytes;
        return true;
    }

    const std::vector<uint8_t>& data_;
    Places& places_;
    size_t pos_ = 0;
};

double readNumber(const std::vector<uint8_t>& data, size_t at) {
    uint64_t bits = 0;
    for (size_t i = 0; i < 8; ++i) {
        bits = (bits << 8) | data[at + i];
    }
    return std::bit_cast<double>(bits);
}

void writeNumber(std::vector<uint8_t>& data, size_t at, double value) {
    auto bits = std::bit_cast<uint64_t>(value);
    for (size_t i = 8; i-- > 0;) {
        data[at + i] = static_cast<uint8_t>(bits & 0xFF);
        bits >>= 8;
    }
}

// Sets the number to the time unless it is within a millisecond of it already.
void correct(std::vector<uint8_t>& data, size_t at, int64_t ms) {
    const double seconds = static_cast<double>(ms) / 1000.0;
    if (at != 0 && !(std::fabs(readNumber(data, at) - seconds) < 0.001)) {
        writeNumber(data, at, seconds);
    }
}

// pread or pwrite, repeated until all `size` bytes at `at` are done; false on a failure.
template <typename Transfer, typename Byte>
bool transferAll(Transfer transfer, int fd, Byte* data, size_t size, off_t at) {
    while (size > 0) {
        const ssize_t done = transfer(fd, data, size, at);
        if (done <= 0) {
            return false;
        }
        data += done;
        size -= static_cast<size_t>(done);
        at += done;
    }
    return true;
}

}  // namespace

bool correctVideoTimes(int fd, const VideoTimes& times) {
    uint8_t header[kTagHeaderBytes];
    if (!transferAll(::pread, fd, header, sizeof header, kMetadataTagAt) ||
        header[0] != kScriptTag) {
        return false;
    }
    const size_t size = (size_t{header[1]} << 16) | (size_t{header[2]} << 8) | header[3];
    const off_t dataAt = kMetadataTagAt + kTagHeaderBytes;
    std::vector<uint8_t> data(size);
    if (!transferAll(::pread, fd, data.data(), size, dataAt)) {
        return false;
    }
    Places places;
    if (!AmfWalker(data, places).walkMetadata() ||
        places.keyFrameTimes.size() != times.keyFramesMs.size()) {
        return false;
    }
    const std::vector<uint8_t> before = data;
    for (size_t i = 0; i < places.keyFrameTimes.size(); ++i) {
        correct(data, places.keyFrameTimes[i], times.keyFramesMs[i]);
    }
    correct(data, places.lastTimestamp, times.lastFrameMs);
    if (!times.keyFramesMs.empty()) {
        correct(data, places.lastKeyFrameTimestamp, times.keyFramesMs.back());
    }
    return data == before || transferAll(::pwrite, fd, data.data(), data.size(), dataAt);
}

}  // namespace morvane
