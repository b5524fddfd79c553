#include "encoder/packet_handler.h"

namespace morvane {

bool sendFrame(AVCodecContext* codec, const AVFrame* frame, AVPacket* packet,
               const PacketHandler& handler) {
    if (avcodec_send_frame(codec, frame) < 0) {
        return false;
    }
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

}  // namespace morvane
