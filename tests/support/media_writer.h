#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace morvane::test {

// A clip to generate with FFmpeg's encoders and muxers.
struct ClipRecipe {
    std::string container = "matroska";  // a muxer name
    std::string videoCodec = "mpeg4";    // an encoder name; empty for no video
    std::string audioCodec = "aac";      // an encoder name; empty for no audio
    int width = 320;
    int height = 240;
    int frameRateNum = 25;
    int frameRateDen = 1;
    double seconds = 2.0;
    int sampleRate = 44100;
    int channels = 2;
    double toneHz = 440.0;
    int audioStreams = 1;
    bool audioFirst = false;
    // Paints frame `index` top-down in blue-green-red (the moving test pattern by default).
    std::function<void(int index, uint8_t* bgr, int stride)> paint = {};
    // The presentation time of frame `index` in seconds (evenly spaced by default).
    std::function<double(int index)> frameTime = {};
    // Keeps times below zero as they are instead of shifting them up.
    bool keepNegativeTimes = false;
    // Degrees that a player turns the pictures clockwise to show them, stored as the video
    // stream's display matrix (mp4 and mov keep it); 0 for none.
    double rotation = 0;
    // The shape of the stored pixels (0/1: not told), and the field order of interlaced
    // pictures (AVFieldOrder; 0: progressive, not told).
    int pixelAspectNum = 0;
    int pixelAspectDen = 1;
    int fieldOrder = 0;
    // A libavfilter chain that each picture goes through, as BT.709 4:2:0 in the limited range,
    // before it is encoded (empty: none); the pixel format (AVPixelFormat; -1: the encoder's
    // first) and the colour tags (AVColorTransferCharacteristic, AVColorPrimaries,
    // AVColorSpace; with a transfer of 0, none is told) of what it gives.
    std::string filters = {};
    int pixelFormat = -1;
    int transfer = 0;
    int primaries = 0;
    int matrix = 0;
};

// Writes the clip; fails the running test when something cannot be written.
void writeClip(const std::filesystem::path& path, const ClipRecipe& recipe);

}  // namespace morvane::test
