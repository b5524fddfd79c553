#pragma once

#include <cstdint>

namespace morvane {

enum class MajorType { None, Video, Audio };
enum class SubType { None, Rgb24, Pcm, Other };
enum class FormatType { None, VideoInfo, WaveFormatEx, Other };

// The PCM description of an audio type, as a WAVEFORMATEX holds it.
struct WaveFormat {
    uint16_t formatTag = 0;  // 1: integer PCM, 3: float
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
};

// A media type as a connection between two filters carries it. "None" fields mean "any" in a
// type to accept.
struct MediaType {
    MajorType major = MajorType::None;
    SubType subtype = SubType::None;
    FormatType formatType = FormatType::None;
    WaveFormat wave;    // with FormatType::WaveFormatEx
    int32_t width = 0;  // with FormatType::VideoInfo
    int32_t height = 0;

    // 24-bit RGB video of any size.
    static MediaType rgb24Video();
    // Integer PCM with the given layout.
    static MediaType pcmAudio(int sampleRate, int channels, int bitsPerSample);
};

constexpr uint16_t kWaveFormatPcm = 1;
constexpr uint16_t kWaveFormatFloat = 3;

// Results of the grabber, with the platform's values.
constexpr int32_t kOk = 0;
constexpr int32_t kFalse = 1;
constexpr int32_t kNotConnected = static_cast<int32_t>(0x80040209);
constexpr int32_t kTypeNotAccepted = static_cast<int32_t>(0x80040248);

// Whether a type offered for a connection meets the accepted one: major type, subtype and
// format type must match unless the accepted one leaves them open; of PCM formats the tag,
// channel count, rate and sample width must be equal (block alignment and byte rate are not
// compared).
bool acceptsMediaType(const MediaType& accepted, const MediaType& offered);

}  // namespace morvane
