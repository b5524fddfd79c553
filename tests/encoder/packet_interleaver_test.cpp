#include "encoder/packet_interleaver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvane {
namespace {

// What reaches the file, as "a40 v40 ...": the stream and the time of each packet in order.
class Written {
public:
    explicit Written(size_t limit = PacketInterleaver::kDefaultHeldBytes)
        : interleaver_([this](AVPacket& packet) { order_.push_back(name(packet)); }, limit) {}

    PacketInterleaver& interleaver() { return interleaver_; }
    void push(PacketInterleaver::Stream stream, int64_t ms, int size = 100) {
        PacketPtr packet(av_packet_alloc());
        ASSERT_EQ(av_new_packet(packet.get(), size), 0);
        packet->dts = ms;
        packet->stream_index = stream;
        interleaver_.push(stream, *packet);
    }
    std::string order() const {
        std::string text;
        for (const std::string& item : order_) {
            if (!text.empty()) {
                text += ' ';
            }
            text += item;
        }
        return text;
    }

private:
    static std::string name(const AVPacket& packet) {
        std::string text(1, packet.stream_index == PacketInterleaver::kAudio ? 'a' : 'v');
        text += std::to_string(packet.dts);
        return text;
    }

    PacketInterleaver interleaver_;
    std::vector<std::string> order_;
};

using enum PacketInterleaver::Stream;

TEST(PacketInterleaver, WritesBothStreamsInTimeOrderWhateverOrderTheyComeIn) {
    for (const bool audioFirst : {true, false}) {
        Written written;
        written.interleaver().start(true, true);
        if (audioFirst) {
            for (const int ms : {0, 26, 52, 78}) {
                written.push(kAudio, ms);
            }
        }
        for (const int ms : {0, 40, 80}) {
            written.push(kVideo, ms);
        }
        EXPECT_EQ(written.order(), audioFirst ? "a0 v0 a26 v40 a52 a78" : "") << "nothing yet";
        if (!audioFirst) {
            for (const int ms : {0, 26, 52, 78}) {
                written.push(kAudio, ms);
            }
        }
        written.interleaver().flush();
        EXPECT_EQ(written.order(), "a0 v0 a26 v40 a52 a78 v80");
    }
}

TEST(PacketInterleaver, NeverWaitsForAStreamThatEndedOrFellSilentTooLong) {
    Written ended;
    ended.interleaver().start(true, true);
    ended.push(kVideo, 0);
    ended.interleaver().end(kAudio);
    ended.push(kVideo, 40);
    EXPECT_EQ(ended.order(), "v0 v40");

    Written noSound;  // a stream that will carry nothing holds nothing back
    noSound.interleaver().start(false, true);
    noSound.push(kVideo, 0);
    EXPECT_EQ(noSound.order(), "v0");

    // The sound stops: past the limit of held bytes the earliest picture goes anyway.
    Written silent(1000);
    silent.interleaver().start(true, true);
    for (const int ms : {0, 40, 80, 120, 160}) {
        silent.push(kVideo, ms, 300);
    }
    EXPECT_EQ(silent.order(), "v0 v40 v80 v120");
    EXPECT_LE(silent.interleaver().heldBytes(), 1000U);
}

}  // namespace
}  // namespace morvane
