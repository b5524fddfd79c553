#pragma once

#include "encoder/audio_encoder.h"
#include "encoder/video_encoder.h"

namespace morvane {

// The two flavours of FLV that the encoder writes.
enum class FlvFormat {
    SorensonMp3,  // Sorenson Spark (FLV1) video, MP3 audio: what every Flash player reads
    H264Aac,      // H.264 video, AAC-LC audio: Flash 9 and later, web players, RTMP servers
};

// The codec settings of one file: the output size, the source's frame rate and the profile's
// rates.
struct CodecChoice {
    FlvFormat format;
    int width;
    int height;
    AVRational frameRate;
    int videoKbps;
    int audioKbps;
    int sampleRate;
    int bitsPerSample;
    int channels;
};

// The encoders of a format, or null where this FFmpeg has none.
const AVCodec* videoEncoderOf(FlvFormat format);
const AVCodec* audioEncoderOf(FlvFormat format);

// What each codec is told. A rate below one frame a second is taken as one.
VideoEncoderSettings videoSettingsOf(const CodecChoice& choice);
AudioEncoderSettings audioSettingsOf(const CodecChoice& choice);

// The frame rate the encoder is given: the rate itself, at least 1 fps, in terms small enough
// for every codec's time base.
AVRational encodedFrameRate(AVRational rate);

}  // namespace morvane
