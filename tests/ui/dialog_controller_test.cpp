// The dialog's logic over the real engine, driven as the window drives it: what the choosers
// and the settings controls store and enable, the source mode, and batches started, stopped and
// ended.
#include "ui/dialog_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <ranges>
#include <string>
#include <tuple>
#include <vector>

#include <sys/stat.h>

#include "log/conversion_log.h"
#include "platform/auto_reset_event.h"
#include "platform/tick_count.h"
#include "settings/setting_keys.h"
#include "settings/settings_file.h"
#include "tests/support/media_writer.h"
#include "tests/support/recording_log_window.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/fake_dialog.h"
#include "ui/dialog_template.h"

namespace morvane::ui {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The dialog's side of a batch: its log window and the end notice. The window can hold the
// thread that writes the next "done" until a stop (or the test) releases it, so that the batch
// is known not to end meanwhile.
class DialogSide final : public LogWindow, public BatchListener {
public:
    void appendText(std::string_view text) override {
        recorded.appendText(text);
        if (text == "done\n" && holdDone.exchange(false)) {
            EXPECT_TRUE(released.waitFor(120s)) << "\"done\" held for 120 s";
        }
    }
    void appendLink(std::string_view path) override { recorded.appendLink(path); }
    void batchEnded() override { ended.set(); }
    void keepResponsive() override { released.set(); }

    test::RecordingLogWindow recorded;
    AutoResetEvent ended;
    AutoResetEvent released;
    std::atomic<bool> holdDone{false};
};

class DialogControllerTest : public ::testing::Test {
protected:
    DialogControllerTest() {
        resetToDefaults(settings_);
        seedCustomRow(settings_, profiles_);
        log_.setWindow(&side_);
    }

    test::TempDir dir_;
    SettingsStore settings_{std::make_unique<FileSettingsBacking>(dir_ / "settings.reg")};
    ProfileTable profiles_;
    SourceFileList sources_;
    DialogSide side_;
    ConversionLog log_;
    EngineServices services_{
        settings_, profiles_, sources_,
        log_,      side_,     [](int status) { ADD_FAILURE() << "fatal end, status " << status; },
        {}};
    test::FakeDialog fake_;
    DialogController controller_{services_, profiles_, fake_, fake_};
    SettingsPanel& panel_ = controller_.panel();

    // The controls that `action` enables or disables, and how.
    template <class Action>
    std::map<ControlId, bool> enabledBy(Action action) {
        fake_.enabled.clear();
        action();
        return fake_.enabled;
    }

    // Whether the Custom row converts with this audio mode, channels included.
    bool customRowConverts(int32_t audioMode) const {
        const Profile& row = profiles_.row(ProfileTable::kCustomRow);
        return row.audioMode == audioMode && row.channels == channelsForAudioMode(audioMode);
    }
};

TEST_F(DialogControllerTest, LeavingANumberFieldBringsItsValueWithinTheLimits) {
    const std::map<ControlId, std::vector<std::string_view>> keysOf{
        {kWidthField, {keys::kWidth}},
        {kHeightField, {keys::kHeight}},
        {kVideoQualityField, {keys::kCustomVideoQuality, keys::kVideoQuality}},
        {kAudioQualityField, {keys::kCustomAudioQuality, keys::kAudioQuality}}};
    using Case = std::tuple<ControlId, std::string, int32_t>;  // the field, typed, stored
    // A negative value counts as too large, and so does a number past what 32 bits hold.
    for (const auto& [field, typed, stored] :
         {Case{kWidthField, "5000", 1024}, Case{kWidthField, "10", 50},
          Case{kWidthField, "-5", 1024}, Case{kWidthField, "", 50}, Case{kWidthField, "640", 640},
          Case{kWidthField, "99999999999", 1024}, Case{kWidthField, "-99999999999", 1024},
          Case{kHeightField, "abc", 50}, Case{kHeightField, "49", 50},
          Case{kHeightField, "1024", 1024}, Case{kVideoQualityField, "30", 40},
          Case{kVideoQualityField, "3000", 2048}, Case{kVideoQualityField, "2048", 2048},
          Case{kAudioQualityField, "8", 16}, Case{kAudioQualityField, "2000", 1024},
          Case{kAudioQualityField, "16", 16}}) {
        SCOPED_TRACE("field " + std::to_string(field) + " left with \"" + typed + "\"");
        fake_.warnings.clear();
        fake_.setControlText(field, typed);
        panel_.numberFieldLeft(field, typed);
        for (const std::string_view key : keysOf.at(field)) {
            EXPECT_EQ(settings_.getNumber(key), stored) << key;
        }
        const std::string shown = std::to_string(stored);
        EXPECT_EQ(fake_.text(field), shown);
        // Warned about unless it is what was typed, with the corrected value already in the
        // field while the box is up.
        ASSERT_EQ(fake_.warnings.size(), typed == shown ? 0U : 1U);
        for (const test::FakeDialog::Warning& warning : fake_.warnings) {
            EXPECT_EQ(warning.caption, "Warning");
            EXPECT_EQ(warning.text,
                      "This field exceeds its maximum/minimum value.\nIt will be "
                      "reduced/increased to nearist acceptable value.");
            EXPECT_EQ(warning.shown.at(field), shown);
        }
    }
}

// Initialise shows the stored settings and enables what they take; so does each choice after it,
// and a batch gives the same back.
TEST_F(DialogControllerTest, InitialiseAndTheChoicesEnableWhatTheyTakeAndABatchGivesTheSameBack) {
    settings_.setText(keys::kSourceFile, "/clips/a.avi");
    settings_.setText(keys::kDestinationPath, "/out");
    settings_.setText(keys::kDestinationFile, "a.flv");
    settings_.setNumber(keys::kProfile, 3);
    settings_.setNumber(keys::kCustomVideoQuality, 555);
    settings_.setNumber(keys::kCustomAudioQuality, 64);
    controller_.initialise();

    // Each list shows the stored choice, in the words the user reads.
    std::vector<std::string> chosen;
    for (const ControlId list : {kSourceModeList, kProfileList, kSizeList, kAudioModeList}) {
        chosen.push_back(fake_.lists[list].at(fake_.selected[list]));
    }
    EXPECT_EQ(chosen,
              (std::vector<std::string>{"FILE", "High Quality(700kbps)", "Original", "stereo"}));
    const test::ControlTexts texts{{kSourceField, "/clips/a.avi"}, {kDestinationField, "/out"},
                                   {kFileNameField, "a.flv"},      {kWidthField, "320"},
                                   {kHeightField, "240"},          {kVideoQualityField, "700"},
                                   {kAudioQualityField, "128"}};
    EXPECT_EQ(fake_.texts, texts);
    EXPECT_EQ(settings_.getText(keys::kSource), "/clips/a.avi");
    const std::map<ControlId, bool> enabled{
        {kFileNameField, true},      {kWidthField, false},        {kHeightField, false},
        {kVideoQualityField, false}, {kAudioQualityField, false}, {kAudioModeList, false}};
    EXPECT_EQ(fake_.enabled, enabled);

    // The source mode, the size, the profile, the Custom audio mode stored when the profile is
    // chosen, the rates shown (video and audio), and the audio mode shown and converted.
    using Case = std::tuple<int32_t, int32_t, int32_t, int32_t, std::string, int32_t>;
    for (const auto& [sourceMode, size, profile, customAudioMode, rates, audioMode] :
         {Case{kModeFile, kCustomSizeMode, 4, kAudioMono, "555 64", kAudioMono},
          Case{kModeDirectory, 1, 2, kAudioMono, "400 96", kAudioStereo},
          Case{kModeFile, 2, 4, kAudioDisabled, "555 64", kAudioDisabled},
          Case{kModeDirectory, 0, 0, kAudioStereo, "40 16", kAudioMono}}) {
        SCOPED_TRACE("size " + std::to_string(size) + ", profile " + std::to_string(profile));
        const bool custom = profile == ProfileTable::kCustomRow;
        std::map<ControlId, bool> expected{
            {kWidthField, size == kCustomSizeMode},
            {kHeightField, size == kCustomSizeMode},
            {kVideoQualityField, custom},
            {kAudioModeList, custom},
            {kAudioQualityField, custom && audioMode != kAudioDisabled}};
        settings_.setNumber(keys::kMode, sourceMode);
        settings_.setNumber(keys::kCustomAudioMode, customAudioMode);
        fake_.enabled.clear();
        panel_.sizeSelected(size);
        panel_.profileSelected(profile);
        EXPECT_EQ(fake_.enabled, expected);
        EXPECT_EQ(fake_.text(kVideoQualityField) + " " + fake_.text(kAudioQualityField), rates);
        EXPECT_EQ(fake_.selected[kAudioModeList], audioMode);
        EXPECT_TRUE(!custom || customRowConverts(audioMode)) << "not as shown";

        // A batch takes every control but Exit away, then gives back what the settings allow.
        for (const ControlId id :
             {kConvertButton, kSourceBrowse, kDestinationBrowse, kSourceModeList, kSubFoldersBox,
              kSizeList, kProfileList, kFormatList}) {
            expected[id] = true;
        }
        expected[kFileNameField] = sourceMode == kModeFile;
        std::map<ControlId, bool> locked = expected;
        std::ranges::fill(std::views::values(locked), false);
        EXPECT_EQ(enabledBy([&] { panel_.lock(false); }), locked) << "locked";
        EXPECT_EQ(enabledBy([&] { panel_.lock(true); }), expected) << "unlocked";
    }

    // Under the Custom profile the audio mode decides on the audio rate.
    panel_.profileSelected(ProfileTable::kCustomRow);
    for (const int32_t mode : {kAudioDisabled, kAudioMono, kAudioDisabled, kAudioStereo}) {
        EXPECT_EQ(enabledBy([&] { panel_.audioModeSelected(mode); }),
                  (std::map<ControlId, bool>{{kAudioQualityField, mode != kAudioDisabled}}))
            << "audio mode " << mode;
        EXPECT_EQ(settings_.getNumber(keys::kCustomAudioMode), mode);
        EXPECT_TRUE(customRowConverts(mode)) << "audio mode " << mode << ", not as shown";
    }
}

// The choosers set the source and the destination; so does a file or a folder given otherwise
// (dropped, or named on the command line), as its chooser would in its own mode.
TEST_F(DialogControllerTest, TheChoosersOrAGivenFileOrFolderSetTheSourceAndDestination) {
    const std::string clips = (dir_ / "clips").string();
    const std::string other = (dir_ / "other").string();
    const std::string holiday = clips + "/holiday.avi";
    const std::string party = other + "/party.mpg";
    for (const std::string& file : {holiday, party}) {
        fs::create_directories(fs::path(file).parent_path());
        test::writeFile(file, "");
    }
    ASSERT_EQ(::mkfifo((dir_ / "pipe").c_str(), 0600), 0);
    // "Source File", "Source", "Source Directory", "Destination Path" and "Destination File",
    // the mode, and the fields that show them.
    const auto expectStored = [this](const std::vector<std::string>& expected, int32_t mode) {
        std::vector<std::string> stored;
        for (const std::string_view key : {keys::kSourceFile, keys::kSource, keys::kSourceDirectory,
                                           keys::kDestinationPath, keys::kDestinationFile}) {
            stored.push_back(settings_.getText(key));
        }
        EXPECT_EQ(stored, expected);
        EXPECT_EQ(std::tuple(settings_.getNumber(keys::kMode), fake_.enabled.at(kFileNameField),
                             fake_.text(kSourceField), fake_.text(kDestinationField),
                             fake_.text(kFileNameField)),
                  std::tuple(mode, mode == kModeFile, stored[1], stored[3], stored[4]));
    };
    controller_.initialise();

    // The choosers' answers in turn; "" cancels.
    fake_.answers = {holiday, "/elsewhere", "", party, clips, ""};
    controller_.chooseSource();
    expectStored({holiday, holiday, clips, clips, "holiday.flv"}, kModeFile);
    controller_.chooseDestination();
    controller_.chooseSource();  // cancelled
    expectStored({holiday, holiday, clips, "/elsewhere", "holiday.flv"}, kModeFile);
    // A new source takes the destination back to its own folder.
    controller_.chooseSource();
    expectStored({party, party, other, other, "party.flv"}, kModeFile);

    // DIRECTORY mode shows the source folder and takes no file name.
    controller_.sourceModeSelected(kModeDirectory);
    expectStored({party, other, other, other, "party.flv"}, kModeDirectory);
    controller_.chooseSource();
    controller_.chooseDestination();  // cancelled
    expectStored({party, clips, clips, clips, "party.flv"}, kModeDirectory);

    // A given file or folder selects its mode (in the list too, which the window's drops
    // show); the rest is refused.
    ASSERT_TRUE(controller_.takeSource(holiday));
    expectStored({holiday, holiday, clips, clips, "holiday.flv"}, kModeFile);
    ASSERT_TRUE(controller_.takeSource(other));
    EXPECT_FALSE(controller_.takeSource((dir_ / "pipe").string())) << "a pipe was taken";
    expectStored({holiday, other, other, other, "holiday.flv"}, kModeDirectory);

    // Given sources open no chooser.
    const std::string toDestination = "Please choose destination folder";
    EXPECT_EQ(fake_.choosers, (test::FakeDialog::Pairs{{"Convert file", ""},
                                                       {toDestination, clips},
                                                       {"Convert file", ""},
                                                       {"Convert file", ""},
                                                       {"Please choose source folder", other},
                                                       {toDestination, clips}}));
}

// Several files picked at once are taken in FILE mode without the Filename field, shown as how
// many with their list as the tooltip, and converted each under its own name into the
// destination; two that would write one name are refused with a log line, nothing changed.
TEST_F(DialogControllerTest, SeveralFilesAreConvertedUnderTheirOwnNamesUnlessTwoWouldClash) {
    const fs::path out = dir_ / "out";
    fs::create_directories(dir_ / "clips");
    fs::create_directories(dir_ / "other");
    fs::create_directories(out);
    const std::string first = (dir_ / "clips/a.mkv").string();
    const std::string second = (dir_ / "other/b.mkv").string();
    const std::string clash = (dir_ / "other/a.avi").string();
    const test::ClipRecipe brief{.width = 160, .height = 120, .seconds = 0.4};
    for (const std::string& clip : {first, second, clash}) {
        test::writeClip(clip, brief);
    }
    controller_.initialise();

    fake_.answers = {first + "\n" + clash};
    controller_.chooseSource();
    EXPECT_NE(side_.recorded.text().find("Could not take these sources: '" + first + "' and '" +
                                         clash + "' would both write a.flv."),
              std::string::npos)
        << side_.recorded.text();
    EXPECT_EQ(settings_.getText(keys::kSourceFile), "") << "a refused choice was stored";

    fake_.answers = {first + "\n" + second};
    controller_.chooseSource();
    EXPECT_EQ(std::tuple(fake_.text(kSourceField), fake_.toolTips[kSourceField],
                         fake_.enabled.at(kFileNameField), fake_.text(kFileNameField)),
              std::tuple("2 files", first + "\n" + second, false, ""));
    settings_.setText(keys::kDestinationPath, out.string());
    controller_.convertPressed();
    ASSERT_TRUE(side_.ended.waitFor(120s)) << "the batch did not end within 120 s";
    controller_.batchEnded();
    EXPECT_EQ(test::namesIn(out), (std::vector<std::string>{"a.flv", "b.flv"}));
    EXPECT_FALSE(fake_.enabled.at(kFileNameField)) << "given back after the batch";

    ASSERT_TRUE(controller_.takeSource(second));
    EXPECT_EQ(std::tuple(fake_.text(kSourceField), fake_.toolTips[kSourceField],
                         fake_.enabled.at(kFileNameField), fake_.text(kFileNameField)),
              std::tuple(second, std::string(), true, "b.flv"));
}

// A batch that ends while the user works in another window is notified; one that ends in view,
// or on a Stop, is not. The notice of an end that comes only after a Stop and the start of the
// next batch leaves that batch running; while it runs it takes no source, and Enter does not
// stop it.
TEST_F(DialogControllerTest, BatchEndsAreNotifiedUnseenAndALateNoticeLeavesTheNextBatchRunning) {
    const fs::path clips = dir_ / "clips";
    const fs::path out = dir_ / "out";
    fs::create_directories(clips);
    fs::create_directories(out);
    const test::ClipRecipe brief{.width = 160, .height = 120, .seconds = 0.5};
    test::writeClip(clips / "a.mkv", brief);
    test::writeFile(clips / "b.avi", "not a clip");
    settings_.setNumber(keys::kMode, kModeDirectory);
    settings_.setText(keys::kSource, clips.string());
    settings_.setText(keys::kDestinationPath, out.string());
    controller_.convertPressed();
    ASSERT_TRUE(side_.ended.waitFor(120s)) << "the first batch did not end within 120 s";
    controller_.batchEnded();

    fake_.active = false;
    controller_.convertPressed();
    ASSERT_TRUE(side_.ended.waitFor(120s)) << "the second batch did not end within 120 s";
    controller_.convertPressed();  // Stop, before the notice of its end has come
    ASSERT_FALSE(controller_.isRunning());
    ASSERT_TRUE(fs::remove(out / "a.mkv.flv"));
    // The third batch cannot end before the log window lets its "done" through.
    side_.released.waitFor(0ms);  // forgets the releases of the stop
    side_.holdDone = true;
    controller_.convertPressed();
    controller_.batchEnded();  // the notice of the second batch
    ASSERT_TRUE(controller_.isRunning()) << "a late notice stopped the batch after it";
    controller_.enterPressed();
    ASSERT_TRUE(controller_.isRunning()) << "Enter stopped the batch";
    EXPECT_FALSE(controller_.takeSource((clips / "a.mkv").string()));
    EXPECT_FALSE(controller_.canTakeSource(clips.string()));
    side_.released.set();
    ASSERT_TRUE(side_.ended.waitFor(120s)) << "the third batch did not end within 120 s";
    controller_.batchEnded();
    EXPECT_FALSE(controller_.isRunning());
    EXPECT_TRUE(fs::exists(out / "a.mkv.flv")) << side_.recorded.text();
    EXPECT_GT(
        std::ranges::count(side_.recorded.entries(), "<" + (out / "a.mkv.flv").string() + ">"), 0)
        << "the output is not logged as a link";
    EXPECT_TRUE(controller_.canTakeSource(clips.string()));
    controller_.progressTick(0);
    EXPECT_EQ(fake_.progress, 0);
    EXPECT_EQ(fake_.text(kTimeLeftLabel), "00:00:00") << "the time left is not cleared";

    // A Stop takes the batch's figures and its share in the title away at once, its time left
    // too, whether or not it is known by then.
    controller_.convertPressed();
    controller_.progressTick(tickCount());
    ASSERT_NE(fake_.windowTitle, kDialogCaption) << "the title does not tell the batch's share";
    fake_.setControlText(kBatchLeftLabel, "Batch left 00:00:01");
    controller_.convertPressed();  // Stop
    EXPECT_EQ(fake_.windowTitle, kDialogCaption);
    EXPECT_EQ(fake_.text(kFileCounterLabel) + fake_.text(kBatchLeftLabel), "");
    controller_.batchEnded();
    // The third batch's end alone: not the first, which ended in view, nor the late notice.
    EXPECT_EQ(fake_.notifications,
              (test::FakeDialog::Pairs{{"1 file converted, 1 failed", out.string()}}));
    EXPECT_EQ(batchEndSummary(3, 0), "3 files converted");
}

}  // namespace
}  // namespace morvane::ui
