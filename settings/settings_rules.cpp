#include "settings/settings_rules.h"

#include <algorithm>
#include <array>
#include <limits>

#include "settings/setting_keys.h"

namespace morvane {
namespace {

struct NumberDefault {
    std::string_view key;
    int32_t value;
};

// In the order of the reset; "Video Quality" and "Audio Quality" follow the default profile.
const std::array<NumberDefault, 11> kNumberDefaults{{
    {keys::kSizeMode, kDefaultSizeMode},
    {keys::kWidth, 320},
    {keys::kHeight, 240},
    {keys::kProfile, ProfileTable::kDefaultRow},
    {keys::kVideoQuality, ProfileTable::presetRow(ProfileTable::kDefaultRow).videoKbps},
    {keys::kAudioQuality, ProfileTable::presetRow(ProfileTable::kDefaultRow).audioKbps},
    {keys::kCustomVideoQuality, 400},
    {keys::kCustomAudioQuality, 96},
    {keys::kMode, kModeFile},
    {keys::kAudioMode, kAudioMono},
    {keys::kCustomAudioMode, kAudioMono},
}};

ClampedValue storeClamped(SettingsStore& store, ValueRange range, int32_t value,
                          std::string_view customKey, std::string_view currentKey) {
    const ClampedValue clamped = clampToRange(value, range);
    if (!customKey.empty()) {
        store.setNumber(customKey, clamped.value);
    }
    store.setNumber(currentKey, clamped.value);
    return clamped;
}

}  // namespace

ClampedValue clampToRange(int32_t value, ValueRange range) {
    const auto asUnsigned = static_cast<uint32_t>(value);
    if (asUnsigned > static_cast<uint32_t>(range.maximum)) {
        return {range.maximum, true};
    }
    if (asUnsigned < static_cast<uint32_t>(range.minimum)) {
        return {range.minimum, true};
    }
    return {value, false};
}

int32_t parseDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t magnitude = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = std::min(magnitude * 10 + (text[i] - '0'), kLimit);
    }
    const int64_t value = negative ? -magnitude : magnitude;
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

void resetToDefaults(SettingsStore& store) {
    for (const NumberDefault& number : kNumberDefaults) {
        store.setNumber(number.key, number.value);
    }
    for (const std::string_view text :
         {keys::kSource, keys::kSourceFile, keys::kDestinationPath, keys::kDestinationFile}) {
        store.setText(text, "");
    }
    store.setNumber(keys::kCodec, kCodecSparkMp3);
    store.setNumber(keys::kIncludeSubfolders, 0);
}

void loadAndValidate(SettingsStore& store) {
    store.load();
    bool valid = isValidSizeMode(store.getNumber(keys::kSizeMode)) &&
                 ProfileTable::isValidIndex(store.getNumber(keys::kProfile));
    for (const NumberDefault& number : kNumberDefaults) {
        valid = valid && store.getNumber(number.key) != -1;
    }
    if (!valid) {
        resetToDefaults(store);
    }
    // Files from before the choice of format have none: they meant Sorenson Spark, as does any
    // value that names no format. The rest stands.
    const int32_t codec = store.getNumber(keys::kCodec);
    if (codec < 0 || codec >= kCodecCount) {
        store.setNumber(keys::kCodec, kCodecSparkMp3);
    }
    // Off unless it says on: missing in files from before the choice, or any other value.
    if (store.getNumber(keys::kIncludeSubfolders) != 1) {
        store.setNumber(keys::kIncludeSubfolders, 0);
    }
}

void selectProfile(SettingsStore& store, int32_t index) {
    if (!ProfileTable::isValidIndex(index)) {
        return;
    }
    store.setNumber(keys::kProfile, index);
    if (index == ProfileTable::kCustomRow) {
        store.setNumber(keys::kVideoQuality, store.getNumber(keys::kCustomVideoQuality));
        store.setNumber(keys::kAudioQuality, store.getNumber(keys::kCustomAudioQuality));
        store.setNumber(keys::kAudioMode, store.getNumber(keys::kCustomAudioMode));
        return;
    }
    const Profile& row = ProfileTable::presetRow(index);
    store.setNumber(keys::kVideoQuality, row.videoKbps);
    store.setNumber(keys::kAudioQuality, row.audioKbps);
    store.setNumber(keys::kAudioMode, row.audioMode);
}

void selectCustomAudioMode(SettingsStore& store, ProfileTable& table, int32_t mode) {
    store.setNumber(keys::kCustomAudioMode, mode);
    store.setNumber(keys::kAudioMode, mode);
    if (store.getNumber(keys::kProfile) == ProfileTable::kCustomRow) {
        table.customRow().channels = channelsForAudioMode(mode);
        table.customRow().audioMode = mode;
    }
}

ClampedValue editCustomVideoRate(SettingsStore& store, int32_t kbps) {
    return storeClamped(store, kCustomVideoRange, kbps, keys::kCustomVideoQuality,
                        keys::kVideoQuality);
}

ClampedValue editCustomAudioRate(SettingsStore& store, int32_t kbps) {
    return storeClamped(store, kCustomAudioRange, kbps, keys::kCustomAudioQuality,
                        keys::kAudioQuality);
}

ClampedValue editWidth(SettingsStore& store, int32_t width) {
    return storeClamped(store, kFrameSizeRange, width, {}, keys::kWidth);
}

ClampedValue editHeight(SettingsStore& store, int32_t height) {
    return storeClamped(store, kFrameSizeRange, height, {}, keys::kHeight);
}

void seedCustomRow(const SettingsStore& store, ProfileTable& table) {
    Profile& custom = table.customRow();
    custom.videoKbps = store.getNumber(keys::kCustomVideoQuality);
    custom.audioKbps = store.getNumber(keys::kCustomAudioQuality);
    custom.audioMode = store.getNumber(keys::kCustomAudioMode);
    custom.sampleRate = kCustomSampleRate;
    custom.bitsPerSample = kCustomBitsPerSample;
    custom.channels = channelsForAudioMode(custom.audioMode);
}

}  // namespace morvane
