#include "encoder/packet_handler.h"

namespace morvane {

bool receivePackets(AVCodecContext* codec, AVPacket* packet, const PacketHandler& handler) {
    for (;;) {
        const int received = avcodec_receive_packet(codec, packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
            return true;
        }
        if (received < 0) {
            return false;
        }
        handler(*packet);
        av_packet_unref(packet);
    }
}

void drainCodec(AVCodecContext* codec, AVPacket* packet, const PacketHandler& handler) {
    if (codec != nullptr && avcodec_send_frame(codec, nullptr) >= 0) {
        receivePackets(codec, packet, handler);
    }
}

}  // namespace morvane
