// The settings controls of the dialog, driven as the window drives them, over a real store.
#include "ui/settings_panel.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "settings/setting_keys.h"
#include "settings/settings_file.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/fake_dialog.h"

namespace morvane::ui {
namespace {

class SettingsPanelTest : public ::testing::Test {
protected:
    SettingsPanelTest() { resetToDefaults(settings_); }

    // Runs `action` on controls primed to the opposite of what is expected, so that only a
    // control the panel really sets passes.
    template <class Action>
    void expectEnabledAfter(Action action, const std::map<ControlId, bool>& expected,
                            const std::string& what) {
        for (const auto& [id, enabled] : expected) {
            fake_.enabled[id] = !enabled;
        }
        action();
        for (const auto& [id, enabled] : expected) {
            EXPECT_EQ(fake_.isEnabled(id), enabled) << "control " << id << ", " << what;
        }
    }

    // Whether the Custom row converts with this audio mode, channels included.
    bool customRowConverts(int32_t audioMode) const {
        const Profile& row = profiles_.row(ProfileTable::kCustomRow);
        return row.audioMode == audioMode && row.channels == channelsForAudioMode(audioMode);
    }

    morvane::test::TempDir dir_;
    SettingsStore settings_{std::make_unique<FileSettingsBacking>(dir_ / "settings.reg")};
    ProfileTable profiles_;
    morvane::test::FakeDialog fake_;
    SettingsPanel panel_{settings_, profiles_, fake_, fake_};
};

TEST_F(SettingsPanelTest, LeavingANumberFieldBringsItsValueWithinTheLimits) {
    const std::map<ControlId, std::vector<std::string_view>> keysOf{
        {kWidthField, {keys::kWidth}},
        {kHeightField, {keys::kHeight}},
        {kVideoQualityField, {keys::kCustomVideoQuality, keys::kVideoQuality}},
        {kAudioQualityField, {keys::kCustomAudioQuality, keys::kAudioQuality}}};
    struct Case {
        ControlId field;
        std::string typed;
        int32_t stored;  // warned about unless it is what was typed
    };
    // A negative value counts as too large, and so does a number past what 32 bits hold.
    for (const Case& c :
         {Case{kWidthField, "5000", 1024}, Case{kWidthField, "10", 50},
          Case{kWidthField, "-5", 1024}, Case{kWidthField, "", 50}, Case{kWidthField, "640", 640},
          Case{kWidthField, "99999999999", 1024}, Case{kWidthField, "-99999999999", 1024},
          Case{kHeightField, "abc", 50}, Case{kHeightField, "49", 50},
          Case{kHeightField, "1024", 1024}, Case{kVideoQualityField, "30", 40},
          Case{kVideoQualityField, "3000", 2048}, Case{kVideoQualityField, "2048", 2048},
          Case{kAudioQualityField, "8", 16}, Case{kAudioQualityField, "2000", 1024},
          Case{kAudioQualityField, "16", 16}}) {
        SCOPED_TRACE("field " + std::to_string(c.field) + " left with \"" + c.typed + "\"");
        fake_.warnings.clear();
        fake_.setControlText(c.field, c.typed);
        panel_.numberFieldLeft(c.field, c.typed);
        for (const std::string_view key : keysOf.at(c.field)) {
            EXPECT_EQ(settings_.getNumber(key), c.stored) << key;
        }
        const std::string shown = std::to_string(c.stored);
        EXPECT_EQ(fake_.text(c.field), shown);
        if (c.typed == shown) {
            EXPECT_TRUE(fake_.warnings.empty());
            continue;
        }
        ASSERT_EQ(fake_.warnings.size(), 1U);
        EXPECT_EQ(fake_.warnings[0].caption, "Warning");
        EXPECT_EQ(fake_.warnings[0].text,
                  "This field exceeds its maximum/minimum value.\nIt will be "
                  "reduced/increased to nearist acceptable value.");
        // The corrected value is already in the field while the box is up.
        EXPECT_EQ(fake_.warnings[0].shown[c.field], shown);
    }
}

TEST_F(SettingsPanelTest, EscShowsTheStoredValueAsItIsBeforeTheFocusLeaves) {
    // A stored value outside the limits is shown as it is; only leaving the field corrects it.
    settings_.setNumber(keys::kWidth, 5000);
    panel_.showStoredNumbers();
    EXPECT_EQ(fake_.text(kWidthField), "5000");
    EXPECT_EQ(fake_.text(kHeightField), "240");
    fake_.setControlText(kWidthField, "700");
    panel_.escapeInNumberField(kWidthField);
    // Shown before the focus goes, so that the focus loss finds the stored value.
    ASSERT_EQ(fake_.textsAtFocusMoves.size(), 1U);
    EXPECT_EQ(fake_.textsAtFocusMoves[0][kWidthField], "5000");
    EXPECT_EQ(settings_.getNumber(keys::kWidth), 5000);
    EXPECT_TRUE(fake_.warnings.empty());
}

TEST_F(SettingsPanelTest, TheChoicesEnableWhatTheyTakeAndABatchGivesTheSameBack) {
    settings_.setNumber(keys::kCustomVideoQuality, 555);
    settings_.setNumber(keys::kCustomAudioQuality, 64);
    panel_.fillLists();
    struct Case {
        int32_t sourceMode;
        int32_t size;
        int32_t profile;
        int32_t customAudioMode;  // stored when the profile is chosen
        std::string rates;        // video and audio, as shown
        int32_t audioMode;        // shown and converted
    };
    for (const Case& c : {Case{kModeFile, kCustomSizeMode, 4, kAudioMono, "555 64", kAudioMono},
                          Case{kModeDirectory, 1, 2, kAudioMono, "400 96", kAudioStereo},
                          Case{kModeFile, 2, 4, kAudioDisabled, "555 64", kAudioDisabled},
                          Case{kModeDirectory, 0, 0, kAudioStereo, "40 16", kAudioMono}}) {
        const std::string what =
            "size " + std::to_string(c.size) + ", profile " + std::to_string(c.profile);
        const bool custom = c.profile == ProfileTable::kCustomRow;
        std::map<ControlId, bool> expected{
            {kWidthField, c.size == kCustomSizeMode},
            {kHeightField, c.size == kCustomSizeMode},
            {kVideoQualityField, custom},
            {kAudioModeList, custom},
            {kAudioQualityField, custom && c.audioMode != kAudioDisabled}};
        settings_.setNumber(keys::kMode, c.sourceMode);
        settings_.setNumber(keys::kCustomAudioMode, c.customAudioMode);
        expectEnabledAfter(
            [&] {
                panel_.sizeSelected(c.size);
                panel_.profileSelected(c.profile);
            },
            expected, what);
        EXPECT_EQ(fake_.text(kVideoQualityField) + " " + fake_.text(kAudioQualityField), c.rates)
            << what;
        EXPECT_EQ(fake_.selected[kAudioModeList], c.audioMode) << what;
        EXPECT_TRUE(!custom || customRowConverts(c.audioMode)) << what << ", not as shown";

        // A batch takes every control but Exit away, then gives back what the settings allow.
        for (const ControlId id : {kConvertButton, kSourceBrowse, kDestinationBrowse,
                                   kSourceModeList, kSizeList, kProfileList, kFormatList}) {
            expected[id] = true;
        }
        expected[kFileNameField] = c.sourceMode == kModeFile;
        std::map<ControlId, bool> locked;
        for (const auto& [id, enabled] : expected) {
            locked[id] = false;
        }
        expectEnabledAfter([&] { panel_.lock(false); }, locked, "locked, " + what);
        EXPECT_EQ(fake_.enabled.count(kExitButton), 0U) << "Exit stays usable";
        expectEnabledAfter([&] { panel_.lock(true); }, expected, "unlocked, " + what);
    }

    // Under the Custom profile the audio mode decides on the audio rate.
    panel_.profileSelected(ProfileTable::kCustomRow);
    for (const int32_t mode : {kAudioDisabled, kAudioMono, kAudioDisabled, kAudioStereo}) {
        expectEnabledAfter([&] { panel_.audioModeSelected(mode); },
                           {{kAudioQualityField, mode != kAudioDisabled}},
                           "audio mode " + std::to_string(mode));
        EXPECT_EQ(settings_.getNumber(keys::kCustomAudioMode), mode);
        EXPECT_TRUE(customRowConverts(mode)) << "audio mode " << mode << ", not as shown";
    }
}

}  // namespace
}  // namespace morvane::ui
