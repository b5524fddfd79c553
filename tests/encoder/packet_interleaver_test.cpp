// Time order across the streams is checked on whole files (the encoder's and the conversion
// tests); here what files cannot show: a stream that never comes does not hold the other back
// without bound.
#include "encoder/packet_interleaver.h"

#include <gtest/gtest.h>

#include <vector>

namespace morvane {
namespace {

TEST(PacketInterleaver, NeverWaitsForAStreamThatEndedOrFellSilentTooLong) {
    std::vector<int64_t> written;
    // A held packet costs its 300 bytes and 256 of its own: past 1000, the earliest goes.
    PacketInterleaver interleaver([&](AVPacket& packet) { written.push_back(packet.dts); }, 1000);
    const auto push = [&](int64_t ms) {
        PacketPtr packet(av_packet_alloc());
        ASSERT_EQ(av_new_packet(packet.get(), 300), 0);
        packet->dts = ms;
        interleaver.push(PacketInterleaver::kVideo, *packet);
    };
    const struct {
        bool audio;      // the file has an audio stream
        bool audioEnds;  // which then ends after the first picture
        std::vector<int64_t> expected;
    } cases[] = {{false, false, {0, 40, 80}}, {true, true, {0, 40, 80}}, {true, false, {0, 40}}};
    for (const auto& c : cases) {
        written.clear();
        interleaver.start(c.audio, true);
        push(0);
        if (c.audioEnds) {
            interleaver.end(PacketInterleaver::kAudio);
        }
        push(40);
        push(80);
        EXPECT_EQ(written, c.expected);
        EXPECT_LE(interleaver.heldBytes(), 1000U);
    }
}

}  // namespace
}  // namespace morvane
