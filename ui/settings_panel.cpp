#include "ui/settings_panel.h"

#include <algorithm>
#include <array>
#include <string>

#include "settings/setting_keys.h"

namespace morvane::ui {
namespace {

constexpr std::array<std::string_view, 2> kSourceModeNames{"FILE", "DIRECTORY"};
constexpr std::array<std::string_view, 3> kAudioModeNames{"mono", "stereo", "disabled"};
// In the order of the values of "Codec".
constexpr std::array<std::string_view, kCodecCount> kFormatNames{
    "Flash 6+ (Sorenson Spark + MP3)", "Flash 9+ / web players (H.264 + AAC)"};

}  // namespace

SettingsPanel::SettingsPanel(SettingsStore& settings, ProfileTable& profiles, DialogView& view,
                             Desktop& desktop)
    : settings_(settings), profiles_(profiles), view_(view), desktop_(desktop) {}

void SettingsPanel::fillLists() {
    view_.fillList(kSourceModeList, {kSourceModeNames.begin(), kSourceModeNames.end()});
    view_.selectListItem(kSourceModeList, settings_.getNumber(keys::kMode));

    std::vector<std::string_view> profileNames;
    for (int32_t row = 0; row < ProfileTable::kRowCount; ++row) {
        profileNames.push_back(profiles_.row(row).name);
    }
    view_.fillList(kProfileList, profileNames);
    view_.selectListItem(kProfileList, settings_.getNumber(keys::kProfile));

    std::vector<std::string_view> sizeNames;
    for (const SizeMode& mode : kSizeModeTable) {
        sizeNames.push_back(mode.name);
    }
    view_.fillList(kSizeList, sizeNames);
    view_.selectListItem(kSizeList, settings_.getNumber(keys::kSizeMode));

    view_.fillList(kAudioModeList, {kAudioModeNames.begin(), kAudioModeNames.end()});
    view_.selectListItem(kAudioModeList, settings_.getNumber(keys::kAudioMode));

    view_.fillList(kFormatList, {kFormatNames.begin(), kFormatNames.end()});
    view_.selectListItem(kFormatList, settings_.getNumber(keys::kCodec));
}

void SettingsPanel::formatSelected(int32_t position) {
    if (position >= 0 && position < kCodecCount) {
        settings_.setNumber(keys::kCodec, position);
    }
}

void SettingsPanel::showStoredNumbers() {
    for (const ControlId field :
         {kWidthField, kHeightField, kVideoQualityField, kAudioQualityField}) {
        showNumber(field, settings_.getNumber(storedKeyOf(field)));
    }
}

void SettingsPanel::sizeSelected(int32_t position) {
    settings_.setNumber(keys::kSizeMode, position);
    const bool custom = position == kCustomSizeMode;
    view_.setControlEnabled(kWidthField, custom);
    view_.setControlEnabled(kHeightField, custom);
}

void SettingsPanel::profileSelected(int32_t position) {
    selectProfile(settings_, position);
    const bool custom = settings_.getNumber(keys::kProfile) == ProfileTable::kCustomRow;
    if (custom) {
        // The Custom row converts with the audio mode that the list is about to show, which
        // may have changed since the row was seeded (start-up hands a preset's mode on).
        selectCustomAudioMode(settings_, profiles_, settings_.getNumber(keys::kCustomAudioMode));
    }
    view_.setControlEnabled(kVideoQualityField, custom);
    view_.setControlEnabled(kAudioModeList, custom);
    enableAudioQuality();
    showNumber(kVideoQualityField, settings_.getNumber(keys::kVideoQuality));
    showNumber(kAudioQualityField, settings_.getNumber(keys::kAudioQuality));
    view_.selectListItem(kAudioModeList, settings_.getNumber(keys::kAudioMode));
}

void SettingsPanel::audioModeSelected(int32_t position) {
    selectCustomAudioMode(settings_, profiles_, position);
    enableAudioQuality();
}

void SettingsPanel::numberFieldLeft(ControlId field, std::string_view text) {
    const int32_t value = parseDecimal(text);
    ClampedValue stored{};
    switch (field) {
        case kWidthField:
            stored = editWidth(settings_, value);
            break;
        case kHeightField:
            stored = editHeight(settings_, value);
            break;
        case kVideoQualityField:
            stored = editCustomVideoRate(settings_, value);
            break;
        case kAudioQualityField:
            stored = editCustomAudioRate(settings_, value);
            break;
        default:
            return;
    }
    showNumber(field, stored.value);
    if (stored.corrected) {
        desktop_.warn(kRangeWarningCaption, kRangeWarningText);
    }
}

void SettingsPanel::escapeInNumberField(ControlId field) {
    if (!isNumberField(field)) {
        return;
    }
    showNumber(field, settings_.getNumber(storedKeyOf(field)));
    view_.moveFocusToDialog();
}

void SettingsPanel::lock(bool enable) {
    for (const ControlId id : {kConvertButton, kSourceBrowse, kDestinationBrowse, kSourceModeList,
                               kSubFoldersBox, kProfileList, kFormatList}) {
        view_.setControlEnabled(id, enable);
    }
    if (enable) {
        view_.setControlEnabled(kFileNameField, settings_.getNumber(keys::kMode) == kModeFile);
        const bool custom = settings_.getNumber(keys::kProfile) == ProfileTable::kCustomRow;
        view_.setControlEnabled(kVideoQualityField, custom);
        view_.setControlEnabled(kAudioModeList, custom);
        enableAudioQuality();
    } else {
        for (const ControlId id :
             {kFileNameField, kVideoQualityField, kAudioQualityField, kAudioModeList}) {
            view_.setControlEnabled(id, false);
        }
    }
    view_.setControlEnabled(kSizeList, enable);
    const bool customSize = enable && settings_.getNumber(keys::kSizeMode) == kCustomSizeMode;
    view_.setControlEnabled(kWidthField, customSize);
    view_.setControlEnabled(kHeightField, customSize);
}

bool SettingsPanel::isNumberField(ControlId id) {
    return id == kWidthField || id == kHeightField || id == kVideoQualityField ||
           id == kAudioQualityField;
}

ValueRange SettingsPanel::rangeOf(ControlId numberField) {
    switch (numberField) {
        case kVideoQualityField:
            return kCustomVideoRange;
        case kAudioQualityField:
            return kCustomAudioRange;
        default:
            return kFrameSizeRange;
    }
}

std::string SettingsPanel::steppedText(ControlId numberField, std::string_view text, int steps) {
    const ValueRange range = rangeOf(numberField);
    const int64_t current = std::clamp<int64_t>(parseDecimal(text), range.minimum, range.maximum);
    return std::to_string(std::clamp<int64_t>(current + steps, range.minimum, range.maximum));
}

std::string_view SettingsPanel::storedKeyOf(ControlId numberField) const {
    switch (numberField) {
        case kWidthField:
            return keys::kWidth;
        case kHeightField:
            return keys::kHeight;
        case kVideoQualityField:
            return keys::kVideoQuality;
        default:
            return keys::kAudioQuality;
    }
}

void SettingsPanel::showNumber(ControlId field, int32_t value) {
    view_.setControlText(field, std::to_string(value));
}

void SettingsPanel::enableAudioQuality() {
    view_.setControlEnabled(kAudioQualityField,
                            settings_.getNumber(keys::kAudioMode) != kAudioDisabled &&
                                settings_.getNumber(keys::kProfile) == ProfileTable::kCustomRow);
}

}  // namespace morvane::ui
