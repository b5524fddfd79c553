#include "source/media_type.h"

namespace morvane {

MediaType MediaType::rgb24Video() {
    MediaType type;
    type.major = MajorType::Video;
    type.subtype = SubType::Rgb24;
    return type;
}

MediaType MediaType::pcmAudio(int sampleRate, int channels, int bitsPerSample) {
    MediaType type;
    type.major = MajorType::Audio;
    type.subtype = SubType::Pcm;
    type.formatType = FormatType::WaveFormatEx;
    type.wave.formatTag = kWaveFormatPcm;
    type.wave.channels = static_cast<uint16_t>(channels);
    type.wave.samplesPerSec = static_cast<uint32_t>(sampleRate);
    type.wave.bitsPerSample = static_cast<uint16_t>(bitsPerSample);
    type.wave.blockAlign = static_cast<uint16_t>(channels * bitsPerSample / 8);
    type.wave.avgBytesPerSec = type.wave.blockAlign * type.wave.samplesPerSec;
    return type;
}

bool acceptsMediaType(const MediaType& accepted, const MediaType& offered) {
    if (accepted.major == MajorType::None) {
        return true;
    }
    if (offered.major != accepted.major) {
        return false;
    }
    if (accepted.subtype == SubType::None) {
        return true;
    }
    if (offered.subtype != accepted.subtype) {
        return false;
    }
    if (accepted.formatType == FormatType::None) {
        return true;
    }
    if (offered.formatType != accepted.formatType) {
        return false;
    }
    if (accepted.formatType != FormatType::WaveFormatEx) {
        return true;
    }
    return offered.wave.formatTag == accepted.wave.formatTag &&
           offered.wave.channels == accepted.wave.channels &&
           offered.wave.samplesPerSec == accepted.wave.samplesPerSec &&
           offered.wave.bitsPerSample == accepted.wave.bitsPerSample;
}

}  // namespace morvane
