#pragma once

#include <cstdint>
#include <string_view>

#include "settings/profiles.h"
#include "settings/settings_store.h"

namespace morvane {

// The rules that tie the setting keys together: defaults, validation, profile and audio-mode
// choice, and the ranges of the values the user types.

struct ValueRange {
    int32_t minimum;
    int32_t maximum;
};

inline constexpr ValueRange kFrameSizeRange{50, 1024};
inline constexpr ValueRange kCustomVideoRange{40, 2048};
inline constexpr ValueRange kCustomAudioRange{16, 1024};

struct ClampedValue {
    int32_t value;
    bool corrected;  // the value lay outside the range
};

// Compares as unsigned, so that a negative value counts as too large.
ClampedValue clampToRange(int32_t value, ValueRange range);

// The usual decimal-to-integer rule: leading blanks, an optional sign, the leading digits;
// no digits give 0; a value past the 32-bit range saturates.
int32_t parseDecimal(std::string_view text);

// Writes every number key with its default, then empties "Source", "Source File",
// "Destination Path" and "Destination File", and sets "Codec" to Sorenson Spark. "Source
// Directory" is left alone.
void resetToDefaults(SettingsStore& store);

// Loads the backing again (values in memory win), then resets everything to the defaults when
// any number key is missing (or -1), or when "Profile" or "Size Mode" names no table row.
// "Codec" alone, when missing or naming no format, becomes Sorenson Spark.
void loadAndValidate(SettingsStore& store);

// Stores the profile index and copies its rates and audio mode into "Video Quality",
// "Audio Quality" and "Audio Mode"; for the Custom row they come from the custom keys.
void selectProfile(SettingsStore& store, int32_t index);

// Stores the custom audio mode, shows it as "Audio Mode", and while the Custom profile is
// selected makes the Custom row follow it.
void selectCustomAudioMode(SettingsStore& store, ProfileTable& table, int32_t mode);

// The custom edits: each value is clamped to its range, then stored.
ClampedValue editCustomVideoRate(SettingsStore& store, int32_t kbps);
ClampedValue editCustomAudioRate(SettingsStore& store, int32_t kbps);
ClampedValue editWidth(SettingsStore& store, int32_t width);
ClampedValue editHeight(SettingsStore& store, int32_t height);

// Start-up seeding of the Custom row from "Custom Video Quality", "Custom Audio Quality" and
// "Custom Audio Mode".
void seedCustomRow(const SettingsStore& store, ProfileTable& table);

}  // namespace morvane
