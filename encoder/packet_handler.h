#pragma once

#include <functional>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace morvane {

// Receives each packet an encoder produces, in order; the packet is valid during the call.
using PacketHandler = std::function<void(AVPacket& packet)>;

// How opening one of the encoders went.
enum class CodecOpenResult { Opened, NoEncoder, Refused };

// Receives every packet the codec has ready and hands each over. False on a codec error.
bool receivePackets(AVCodecContext* codec, AVPacket* packet, const PacketHandler& handler);
// Flushes an open codec: every packet it still holds is handed over. Nothing without a codec.
void drainCodec(AVCodecContext* codec, AVPacket* packet, const PacketHandler& handler);

}  // namespace morvane
