// The dialog's logic over the real engine: what the choosers store, the source mode, and
// batches started, stopped and ended as the window drives them.
#include "ui/dialog_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>

#include "log/conversion_log.h"
#include "platform/auto_reset_event.h"
#include "settings/setting_keys.h"
#include "settings/settings_file.h"
#include "tests/support/media_writer.h"
#include "tests/support/recording_log_window.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/fake_dialog.h"

namespace morvane::ui {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The dialog's side of a batch: its log window and the end notice. The window can hold the
// thread that writes a given text until a stop (or the test) releases it, so that the batch is
// known not to end meanwhile.
class DialogSide final : public LogWindow, public BatchListener {
public:
    void holdAt(std::string text) {
        released.waitFor(0ms);  // forgets the releases of earlier stops
        std::lock_guard lock(mutex_);
        holdAt_ = std::move(text);
    }
    void appendText(std::string_view text) override {
        recorded.appendText(text);
        std::unique_lock lock(mutex_);
        if (!holdAt_.empty() && text == holdAt_) {
            holdAt_.clear();
            lock.unlock();
            EXPECT_TRUE(released.waitFor(120s)) << "\"" << text << "\" held for 120 s";
        }
    }
    void appendLink(std::string_view path) override { recorded.appendLink(path); }
    void batchEnded() override { ended.set(); }
    void keepResponsive() override { released.set(); }

    morvane::test::RecordingLogWindow recorded;
    AutoResetEvent ended;
    AutoResetEvent released;

private:
    std::mutex mutex_;
    std::string holdAt_;  // guarded by mutex_
};

class DialogControllerTest : public ::testing::Test {
protected:
    DialogControllerTest() {
        resetToDefaults(settings_);
        seedCustomRow(settings_, profiles_);
        log_.setWindow(&side_);
        fs::create_directories(outputFolder());
    }

    fs::path outputFolder() const { return dir_ / "out"; }

    // Chooses the source file and the output folder with the dialog's choosers.
    void choose(const fs::path& source) {
        desktop_.fileAnswers.push_back(source.string());
        controller_.chooseSource();
        desktop_.folderAnswers.push_back(outputFolder().string());
        controller_.chooseDestination();
    }

    // Waits for the notice of the session, then answers it as the window does on its thread.
    void finishWhenEnded() {
        ASSERT_TRUE(side_.ended.waitFor(120s)) << "the batch did not end within 120 s";
        controller_.batchEnded();
    }

    morvane::test::TempDir dir_;
    SettingsStore settings_{std::make_unique<FileSettingsBacking>(dir_ / "settings.reg")};
    ProfileTable profiles_;
    SourceFileList sources_;
    DialogSide side_;
    ConversionLog log_;
    EngineServices services_{
        settings_, profiles_, sources_,
        log_,      side_,     [](int status) { ADD_FAILURE() << "fatal end, status " << status; }};
    morvane::test::FakeDialogView view_;
    morvane::test::FakeDesktop desktop_{view_};
    DialogController controller_{services_, profiles_, view_, desktop_};
};

TEST_F(DialogControllerTest, InitialiseShowsTheStoredSettings) {
    settings_.setText(keys::kSourceFile, "/clips/a.avi");
    settings_.setText(keys::kDestinationPath, "/out");
    settings_.setText(keys::kDestinationFile, "a.flv");
    controller_.initialise();

    using Items = std::vector<std::string>;
    EXPECT_EQ(view_.lists[kSourceModeList], (Items{"FILE", "DIRECTORY"}));
    EXPECT_EQ(view_.lists[kProfileList],
              (Items{"Modem Quality (40kbps)", "Low Quality(150kbps)", "Medium Quality(400kbps)",
                     "High Quality(700kbps)", "Custom Quality"}));
    EXPECT_EQ(view_.lists[kSizeList],
              (Items{"Quarter (x0.25)", "Half (x0.5)", "Original", "Double (x2)", "Custom"}));
    EXPECT_EQ(view_.lists[kAudioModeList], (Items{"mono", "stereo", "disabled"}));
    const std::map<ControlId, int> selected{
        {kSourceModeList, kModeFile}, {kProfileList, 2}, {kSizeList, 2}, {kAudioModeList, 1}};
    EXPECT_EQ(view_.selected, selected);
    const std::map<ControlId, std::string> texts{
        {kSourceField, "/clips/a.avi"}, {kDestinationField, "/out"}, {kFileNameField, "a.flv"},
        {kWidthField, "320"},           {kHeightField, "240"},       {kVideoQualityField, "400"},
        {kAudioQualityField, "96"}};
    EXPECT_EQ(view_.texts, texts);
    // The keys that follow from the others.
    EXPECT_EQ(settings_.getText(keys::kSource), "/clips/a.avi");
    EXPECT_EQ(settings_.getNumber(keys::kVideoQuality), 400);
    EXPECT_EQ(settings_.getNumber(keys::kAudioQuality), 96);
    EXPECT_EQ(settings_.getNumber(keys::kAudioMode), kAudioStereo);
    for (const ControlId id :
         {kWidthField, kHeightField, kVideoQualityField, kAudioQualityField, kAudioModeList}) {
        EXPECT_FALSE(view_.isEnabled(id)) << "control " << id;
    }
    EXPECT_TRUE(view_.isEnabled(kFileNameField));
}

TEST_F(DialogControllerTest, TheCustomAudioModeShownIsTheOneConverted) {
    // Stored: the Medium profile (stereo) and a mono custom audio mode. Start-up seeds the
    // Custom row from them before the window exists; the window then hands stereo on.
    settings_.setNumber(keys::kCustomAudioMode, kAudioMono);
    seedCustomRow(settings_, profiles_);
    controller_.initialise();
    controller_.panel().profileSelected(ProfileTable::kCustomRow);
    const int32_t shown = view_.selected[kAudioModeList];
    const Profile& converted = profiles_.row(ProfileTable::kCustomRow);
    EXPECT_EQ(converted.audioMode, shown);
    EXPECT_EQ(converted.channels, channelsForAudioMode(shown)) << "the list shows mode " << shown;
}

TEST_F(DialogControllerTest, TheChoosersAndTheSourceModeSetTheSourceAndDestination) {
    const std::string clipsFolder = (dir_ / "clips").string();
    const std::string otherFolder = (dir_ / "other").string();
    const std::string holiday = clipsFolder + "/holiday.avi";
    const std::string party = otherFolder + "/party.mpg";
    fs::create_directories(clipsFolder);
    fs::create_directories(otherFolder);
    morvane::test::writeFile(holiday, "");
    morvane::test::writeFile(party, "");
    const auto stored = [this] {
        std::vector<std::string> texts;
        for (const std::string_view key : {keys::kSourceFile, keys::kSource, keys::kSourceDirectory,
                                           keys::kDestinationPath, keys::kDestinationFile}) {
            texts.push_back(settings_.getText(key));
        }
        return texts;
    };
    const auto expectChooser = [this](std::string_view title, std::string_view start) {
        ASSERT_FALSE(desktop_.choosers.empty());
        EXPECT_EQ(desktop_.choosers.back().title, title);
        EXPECT_EQ(desktop_.choosers.back().start, start);
    };

    desktop_.fileAnswers.push_back(holiday);
    controller_.chooseSource();
    expectChooser("Convert file", "");
    const std::vector<std::string> chosen{holiday, holiday, clipsFolder, clipsFolder,
                                          "holiday.flv"};
    EXPECT_EQ(stored(), chosen);
    const std::map<ControlId, std::string> shown{
        {kSourceField, holiday}, {kDestinationField, clipsFolder}, {kFileNameField, "holiday.flv"}};
    EXPECT_EQ(view_.texts, shown);
    controller_.chooseSource();  // cancelled
    EXPECT_EQ(stored(), chosen);
    EXPECT_EQ(view_.texts, shown);

    desktop_.folderAnswers.push_back("/elsewhere");
    controller_.chooseDestination();
    expectChooser("Please choose destination folder", clipsFolder);
    EXPECT_EQ(settings_.getText(keys::kDestinationPath), "/elsewhere");
    EXPECT_EQ(view_.text(kDestinationField), "/elsewhere");
    // A new source takes the destination back to its own folder.
    desktop_.fileAnswers.push_back(party);
    controller_.chooseSource();
    EXPECT_EQ(settings_.getText(keys::kDestinationPath), otherFolder);
    EXPECT_EQ(view_.text(kDestinationField), otherFolder);

    // DIRECTORY mode shows the source folder and takes no file name; FILE mode gives them back.
    controller_.sourceModeSelected(kModeDirectory);
    EXPECT_FALSE(view_.isEnabled(kFileNameField));
    EXPECT_EQ(view_.text(kSourceField), otherFolder);
    EXPECT_EQ(settings_.getText(keys::kSource), otherFolder);
    controller_.sourceModeSelected(kModeFile);
    EXPECT_TRUE(view_.isEnabled(kFileNameField));
    EXPECT_EQ(view_.text(kSourceField), party);
    EXPECT_EQ(settings_.getText(keys::kSource), party);
    controller_.sourceModeSelected(kModeDirectory);
    EXPECT_EQ(settings_.getNumber(keys::kMode), kModeDirectory);
    desktop_.folderAnswers.push_back(clipsFolder);
    controller_.chooseSource();
    expectChooser("Please choose source folder", otherFolder);
    EXPECT_EQ(stored(), (std::vector<std::string>{party, clipsFolder, clipsFolder, clipsFolder,
                                                  "party.flv"}));
    EXPECT_EQ(view_.text(kSourceField), clipsFolder);
    EXPECT_EQ(view_.text(kDestinationField), clipsFolder);
    controller_.chooseDestination();  // cancelled
    expectChooser("Please choose destination folder", clipsFolder);
    EXPECT_EQ(settings_.getText(keys::kDestinationPath), clipsFolder);
}

TEST_F(DialogControllerTest, ALateEndNoticeLeavesTheNextBatchRunning) {
    morvane::test::ClipSpec brief;
    brief.width = 160;
    brief.height = 120;
    brief.seconds = 0.5;
    morvane::test::writeClip(dir_ / "short.mkv", brief);
    choose(dir_ / "short.mkv");
    controller_.convertPressed();
    ASSERT_TRUE(side_.ended.waitFor(120s)) << "the first batch did not end within 120 s";
    controller_.convertPressed();  // Stop, before the notice of its end has come
    ASSERT_FALSE(controller_.isRunning());

    // The second batch cannot end before the log window lets its "done" through.
    controller_.fileNameEdited("second.flv");
    side_.holdAt("done\n");
    controller_.convertPressed();
    controller_.batchEnded();  // the notice of the first batch
    ASSERT_TRUE(controller_.isRunning()) << "a late notice stopped the batch after it";
    side_.released.set();
    finishWhenEnded();
    EXPECT_FALSE(controller_.isRunning());
    EXPECT_TRUE(fs::exists(outputFolder() / "second.flv")) << side_.recorded.text();
}

}  // namespace
}  // namespace morvane::ui
