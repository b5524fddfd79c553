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

// Sends the codec a frame, or nullptr to flush it, and hands over every packet it has ready
// then. False on a codec error.
bool sendFrame(AVCodecContext* codec, const AVFrame* frame, AVPacket* packet,
               const PacketHandler& handler);

}  // namespace morvane
