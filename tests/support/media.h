#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ffmpeg_ptr.h"

namespace morvane::test {

// A frame in the grabber's layout (bottom-up rows of blue-green-red, rows padded to 4 bytes)
// with a pattern that moves with `index`, so that successive frames differ.
std::vector<uint8_t> makeTestFrame(int width, int height, int index);
// A frame of one colour.
std::vector<uint8_t> makeSolidFrame(int width, int height, uint8_t blue, uint8_t green,
                                    uint8_t red);

// A decoded YUV 4:2:0 frame (`format`: YUV420P or YUVJ420P) of noise over the whole byte
// range of every plane, padding included, so that every clamp of a colour conversion is met.
FramePtr makeNoiseYuvFrame(int format, int width, int height, int colourspace, int range,
                           unsigned seed);

// Interleaved signed PCM (16 or 32 bits) of a sine tone, starting at sample `first`.
std::vector<uint8_t> makeTone(int64_t first, int samples, int channels, int bitsPerSample,
                              int sampleRate, double frequency);

// Writes an RGBA image as a PNG file with FFmpeg's encoder.
void writePng(const std::filesystem::path& path, int width, int height,
              const std::vector<uint8_t>& rgba);

struct ReadPacket {
    bool isVideo;
    int64_t pts;  // milliseconds
    bool key;
    int64_t dts;  // milliseconds: the FLV tag's time
    int size;
};

// What a file holds, as libavformat and libavcodec read it.
struct ReadMedia {
    bool opened = false;
    int audioCodec = 0;  // AVCodecID, 0 when there is no audio stream
    int videoCodec = 0;
    int width = 0;
    int height = 0;
    int sampleRate = 0;
    int channels = 0;
    std::vector<ReadPacket> packets;
    int decodedVideoFrames = 0;
    int64_t decodedAudioSamples = 0;
    int decodeErrors = 0;
    // Mono mix of the decoded audio, as floats.
    std::vector<float> audio;
    // Y, U and V of each decoded YUV 4:2:0 video frame, on its middle row, a quarter of the
    // width in from the left and from the right.
    std::vector<std::array<int, 3>> leftYuv;
    std::vector<std::array<int, 3>> rightYuv;
    int keyframeIndexEntries = 0;
    // With `keepLuma`: the luma plane of each decoded frame, rows packed.
    std::vector<std::vector<uint8_t>> luma;
};

ReadMedia readMedia(const std::filesystem::path& path, bool keepLuma = false);

// The PSNR of one luma plane against another of the same size, in dB (100 when equal).
double lumaPsnr(const std::vector<uint8_t>& reference, const std::vector<uint8_t>& distorted);

// What a shell command prints on its standard output.
std::string outputOf(const std::string& command);

// A number of an FLV file's onMetaData ("duration", "filesize", ...), and the "times" of its key
// frame index in seconds, as flvmeta (written apart from FFmpeg) reads them; NaN or none when
// absent.
double flvMetadataNumber(const std::filesystem::path& path, const std::string& key);
std::vector<double> flvKeyFrameTimes(const std::filesystem::path& path);

// What `flvmeta --check` says of a file.
std::string flvmetaCheck(const std::filesystem::path& path);

// Seeks a file to the middle of its duration with libavformat and describes the first video
// packet read after it ("key frame at 1000 ms"), or what went wrong.
std::string seekToMiddle(const std::filesystem::path& path);

// Frequency of a tone, from the zero crossings of its samples.
double estimateFrequency(const std::vector<float>& samples, int sampleRate);

}  // namespace morvane::test
