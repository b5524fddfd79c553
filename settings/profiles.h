#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace morvane {

// Positions in the audio-mode list, as stored under "Audio Mode" and "Custom Audio Mode".
inline constexpr int32_t kAudioMono = 0;
inline constexpr int32_t kAudioStereo = 1;
inline constexpr int32_t kAudioDisabled = 2;

// Positions in the source-mode list, as stored under "Mode".
inline constexpr int32_t kModeFile = 0;
inline constexpr int32_t kModeDirectory = 1;

// Positions in the format list, as stored under "Codec".
inline constexpr int32_t kCodecSparkMp3 = 0;
inline constexpr int32_t kCodecH264Aac = 1;
inline constexpr int32_t kCodecCount = 2;

// PCM channels for an audio mode: mono 1, stereo 2, disabled 0; anything else 2.
int32_t channelsForAudioMode(int32_t audioMode);

struct Profile {
    std::string_view name;
    int32_t videoKbps;
    int32_t audioKbps;
    int32_t sampleRate;
    int32_t bitsPerSample;
    int32_t channels;  // 0: the output has no audio
    int32_t audioMode;
};

// The audio format of the Custom row, which only its channels follow.
inline constexpr int32_t kCustomSampleRate = 22050;
inline constexpr int32_t kCustomBitsPerSample = 16;

// The encoding profiles; a row's position is the value stored under "Profile". Rows 0-3 are
// fixed; the Custom row (4) is seeded from the stored custom keys and follows the custom audio
// mode. Not locked: it changes only while no conversion runs.
class ProfileTable {
public:
    static constexpr int32_t kRowCount = 5;
    static constexpr int32_t kCustomRow = 4;
    static constexpr int32_t kDefaultRow = 2;

    ProfileTable();

    static bool isValidIndex(int32_t index) { return index >= 0 && index < kRowCount; }
    // The row at a valid index.
    const Profile& row(int32_t index) const;
    Profile& customRow() { return rows_[kCustomRow]; }

    // The fixed rows, as they are in every table.
    static const Profile& presetRow(int32_t index);

private:
    std::array<Profile, kRowCount> rows_;
};

struct SizeMode {
    std::string_view name;
    float scale;  // not used by the Custom row: "Width" and "Height" give the size
};

inline constexpr int32_t kCustomSizeMode = 4;
inline constexpr int32_t kDefaultSizeMode = 2;

inline constexpr std::array<SizeMode, 5> kSizeModeTable{{
    {"Quarter (x0.25)", 0.25F},
    {"Half (x0.5)", 0.5F},
    {"Original", 1.0F},
    {"Double (x2)", 2.0F},
    {"Custom", 0.0F},
}};

inline bool isValidSizeMode(int32_t index) {
    return index >= 0 && index < static_cast<int32_t>(kSizeModeTable.size());
}

}  // namespace morvane
