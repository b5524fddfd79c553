#include "settings/profiles.h"

#include <cassert>

namespace morvane {
namespace {

constexpr std::array<Profile, ProfileTable::kRowCount> kPresetRows{{
    {"Modem Quality (40kbps)", 40, 16, 22050, 16, 1, kAudioMono},
    {"Low Quality(150kbps)", 150, 32, 44100, 16, 1, kAudioMono},
    {"Medium Quality(400kbps)", 400, 96, 44100, 16, 2, kAudioStereo},
    {"High Quality(700kbps)", 700, 128, 44100, 32, 2, kAudioStereo},
    // Until seeded: no custom keys yet.
    {"Custom Quality", -1, -1, kCustomSampleRate, kCustomBitsPerSample, 2, -1},
}};

}  // namespace

int32_t channelsForAudioMode(int32_t audioMode) {
    switch (audioMode) {
        case kAudioMono:
            return 1;
        case kAudioDisabled:
            return 0;
        default:
            return 2;
    }
}

ProfileTable::ProfileTable() : rows_(kPresetRows) {}

const Profile& ProfileTable::row(int32_t index) const {
    assert(isValidIndex(index));
    return rows_.at(static_cast<size_t>(index));
}

const Profile& ProfileTable::presetRow(int32_t index) {
    assert(index >= 0 && index < kCustomRow);
    return kPresetRows.at(static_cast<size_t>(index));
}

}  // namespace morvane
