#pragma once

#include <cstdint>
#include <string_view>

#include "settings/profiles.h"
#include "settings/settings_rules.h"
#include "settings/settings_store.h"
#include "ui/control_ids.h"
#include "ui/desktop.h"
#include "ui/dialog_view.h"

namespace morvane::ui {

inline constexpr std::string_view kRangeWarningCaption = "Warning";
inline constexpr std::string_view kRangeWarningText =
    "This field exceeds its maximum/minimum value.\nIt will be reduced/increased to nearist "
    "acceptable value.";

// The settings controls: the source mode, size, profile, format and audio mode lists and the four
// number fields. Shows what the store holds, writes the user's choices back at once, keeps
// typed numbers within their limits and enables only the controls that matter. Runs on the
// dialog's thread.
class SettingsPanel {
public:
    SettingsPanel(SettingsStore& settings, ProfileTable& profiles, DialogView& view,
                  Desktop& desktop);

    // Fills the five lists (source mode, profile, size, audio mode, format) and selects what the
    // store holds.
    void fillLists();
    // Shows "Width", "Height", "Video Quality" and "Audio Quality" as they are, even outside
    // their limits.
    void showStoredNumbers();

    void sizeSelected(int32_t position);
    void profileSelected(int32_t position);
    void audioModeSelected(int32_t position);
    void formatSelected(int32_t position);

    // A number field lost the focus with this text: the value is corrected to the nearer limit
    // when outside them, stored, shown, and a correction is reported with the warning box.
    void numberFieldLeft(ControlId field, std::string_view text);
    // Esc in a number field: the stored value is shown again, then the focus moves to the
    // dialog, so that the field's focus loss runs on the restored value.
    void escapeInNumberField(ControlId field);

    // false disables every settings control and the Convert button; true enables them as the
    // current settings allow.
    void lock(bool enable);

    static bool isNumberField(ControlId id);
    static ValueRange rangeOf(ControlId numberField);
    // The text an arrow or an Up/Down key gives: the field's value moved by `steps` and kept
    // within its limits.
    static std::string steppedText(ControlId numberField, std::string_view text, int steps);

private:
    std::string_view storedKeyOf(ControlId numberField) const;
    void showNumber(ControlId field, int32_t value);
    void enableAudioQuality();

    SettingsStore& settings_;
    ProfileTable& profiles_;
    DialogView& view_;
    Desktop& desktop_;
};

}  // namespace morvane::ui
