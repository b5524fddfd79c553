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
            view_.enabled[id] = !enabled;
        }
        action();
        for (const auto& [id, enabled] : expected) {
            EXPECT_EQ(view_.isEnabled(id), enabled) << "control " << id << ", " << what;
        }
    }

    morvane::test::TempDir dir_;
    SettingsStore settings_{std::make_unique<FileSettingsBacking>(dir_ / "settings.reg")};
    ProfileTable profiles_;
    morvane::test::FakeDialogView view_;
    morvane::test::FakeDesktop desktop_{view_};
    SettingsPanel panel_{settings_, profiles_, view_, desktop_};
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
        desktop_.warnings.clear();
        view_.setControlText(c.field, c.typed);
        panel_.numberFieldLeft(c.field, c.typed);
        for (const std::string_view key : keysOf.at(c.field)) {
            EXPECT_EQ(settings_.getNumber(key), c.stored) << key;
        }
        const std::string shown = std::to_string(c.stored);
        EXPECT_EQ(view_.text(c.field), shown);
        if (c.typed == shown) {
            EXPECT_TRUE(desktop_.warnings.empty());
            continue;
        }
        ASSERT_EQ(desktop_.warnings.size(), 1U);
        EXPECT_EQ(desktop_.warnings[0].caption, "Warning");
        EXPECT_EQ(desktop_.warnings[0].text,
                  "This field exceeds its maximum/minimum value.\nIt will be "
                  "reduced/increased to nearist acceptable value.");
        // The corrected value is already in the field while the box is up.
        EXPECT_EQ(desktop_.warnings[0].shown[c.field], shown);
    }
}

TEST_F(SettingsPanelTest, EscShowsTheStoredValueAndOnlyLeavingTheFieldCorrectsIt) {
    view_.setControlText(kWidthField, "700");
    panel_.escapeInNumberField(kWidthField);
    // Shown before the focus goes, so that the focus loss finds the stored value.
    ASSERT_EQ(view_.textsAtFocusMoves.size(), 1U);
    EXPECT_EQ(view_.textsAtFocusMoves[0][kWidthField], "320");
    EXPECT_EQ(view_.text(kWidthField), "320");

    // A stored value outside the limits is shown as it is, until the field is left.
    settings_.setNumber(keys::kWidth, 5000);
    panel_.showStoredNumbers();
    EXPECT_EQ(view_.text(kWidthField), "5000");
    EXPECT_EQ(view_.text(kHeightField), "240");
    panel_.escapeInNumberField(kWidthField);
    EXPECT_EQ(view_.text(kWidthField), "5000");
    EXPECT_EQ(settings_.getNumber(keys::kWidth), 5000);
    EXPECT_TRUE(desktop_.warnings.empty());
    panel_.numberFieldLeft(kWidthField, view_.text(kWidthField));
    EXPECT_EQ(view_.text(kWidthField), "1024");
    EXPECT_EQ(settings_.getNumber(keys::kWidth), 1024);
    EXPECT_EQ(desktop_.warnings.size(), 1U);
}

TEST_F(SettingsPanelTest, TheProfileShowsItsRatesAndEnablesOnlyWhatTheCustomRowTakes) {
    settings_.setNumber(keys::kCustomVideoQuality, 555);
    settings_.setNumber(keys::kCustomAudioQuality, 64);
    panel_.fillLists();
    struct Case {
        int32_t profile;
        int32_t customAudioMode;
        std::string video;
        std::string audio;
        int audioMode;
    };
    for (const Case& c : {Case{4, kAudioMono, "555", "64", kAudioMono},
                          Case{2, kAudioMono, "400", "96", kAudioStereo},
                          Case{4, kAudioDisabled, "555", "64", kAudioDisabled},
                          Case{0, kAudioStereo, "40", "16", kAudioMono}}) {
        const std::string what = "profile " + std::to_string(c.profile);
        const bool custom = c.profile == ProfileTable::kCustomRow;
        settings_.setNumber(keys::kCustomAudioMode, c.customAudioMode);
        expectEnabledAfter([&] { panel_.profileSelected(c.profile); },
                           {{kVideoQualityField, custom},
                            {kAudioModeList, custom},
                            {kAudioQualityField, custom && c.audioMode != kAudioDisabled}},
                           what);
        EXPECT_EQ(view_.text(kVideoQualityField), c.video) << what;
        EXPECT_EQ(view_.text(kAudioQualityField), c.audio) << what;
        EXPECT_EQ(view_.selected[kAudioModeList], c.audioMode) << what;
        EXPECT_EQ(settings_.getNumber(keys::kAudioMode), c.audioMode) << what;
    }

    // Under the Custom profile the audio mode decides on the audio rate.
    panel_.profileSelected(ProfileTable::kCustomRow);
    for (const int32_t mode : {kAudioDisabled, kAudioMono, kAudioDisabled, kAudioStereo}) {
        expectEnabledAfter([&] { panel_.audioModeSelected(mode); },
                           {{kAudioQualityField, mode != kAudioDisabled}},
                           "audio mode " + std::to_string(mode));
        EXPECT_EQ(settings_.getNumber(keys::kCustomAudioMode), mode);
        EXPECT_EQ(settings_.getNumber(keys::kAudioMode), mode);
    }
}

TEST_F(SettingsPanelTest, LockTakesEveryControlAndGivesBackWhatTheSettingsAllow) {
    struct Case {
        int32_t sourceMode;
        int32_t sizeMode;
        int32_t profile;
        int32_t audioMode;
    };
    for (const Case& c : {Case{kModeFile, 4, 2, kAudioStereo}, Case{kModeDirectory, 1, 4, 0},
                          Case{kModeFile, 2, 4, kAudioDisabled}}) {
        const std::string what = "mode " + std::to_string(c.sourceMode) + ", size " +
                                 std::to_string(c.sizeMode) + ", profile " +
                                 std::to_string(c.profile);
        settings_.setNumber(keys::kMode, c.sourceMode);
        settings_.setNumber(keys::kSizeMode, c.sizeMode);
        settings_.setNumber(keys::kProfile, c.profile);
        settings_.setNumber(keys::kAudioMode, c.audioMode);
        std::map<ControlId, bool> expected;
        for (const ControlId id : morvane::test::kLockedControls) {
            expected[id] = false;
        }
        expectEnabledAfter([&] { panel_.lock(false); }, expected, "locked, " + what);
        EXPECT_EQ(view_.enabled.count(kExitButton), 0U) << "Exit stays usable";

        const bool custom = c.profile == ProfileTable::kCustomRow;
        for (auto& [id, enabled] : expected) {
            enabled = true;
        }
        expected[kFileNameField] = c.sourceMode == kModeFile;
        expected[kWidthField] = expected[kHeightField] = c.sizeMode == kCustomSizeMode;
        expected[kVideoQualityField] = expected[kAudioModeList] = custom;
        expected[kAudioQualityField] = custom && c.audioMode != kAudioDisabled;
        expectEnabledAfter([&] { panel_.lock(true); }, expected, "unlocked, " + what);
    }
}

}  // namespace
}  // namespace morvane::ui
