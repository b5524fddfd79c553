// The dialog's logic over the real engine: what the choosers store, the source mode, and
// batches started, stopped and ended as the window drives them.
#include "ui/dialog_controller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>

#include <sys/stat.h>

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

    morvane::test::RecordingLogWindow recorded;
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

    morvane::test::TempDir dir_;
    SettingsStore settings_{std::make_unique<FileSettingsBacking>(dir_ / "settings.reg")};
    ProfileTable profiles_;
    SourceFileList sources_;
    DialogSide side_;
    ConversionLog log_;
    EngineServices services_{
        settings_, profiles_, sources_,
        log_,      side_,     [](int status) { ADD_FAILURE() << "fatal end, status " << status; },
        {}};
    morvane::test::FakeDialog fake_;
    DialogController controller_{services_, profiles_, fake_, fake_};
};

TEST_F(DialogControllerTest, InitialiseShowsTheStoredSettings) {
    settings_.setText(keys::kSourceFile, "/clips/a.avi");
    settings_.setText(keys::kDestinationPath, "/out");
    settings_.setText(keys::kDestinationFile, "a.flv");
    settings_.setNumber(keys::kProfile, 3);
    controller_.initialise();

    // Each list shows the stored choice, in the words the user reads.
    const std::map<ControlId, std::string> chosen{{kSourceModeList, "FILE"},
                                                  {kProfileList, "High Quality(700kbps)"},
                                                  {kSizeList, "Original"},
                                                  {kAudioModeList, "stereo"}};
    for (const auto& [list, item] : chosen) {
        EXPECT_EQ(fake_.lists[list].at(fake_.selected[list]), item);
    }
    const morvane::test::ControlTexts texts{
        {kSourceField, "/clips/a.avi"}, {kDestinationField, "/out"}, {kFileNameField, "a.flv"},
        {kWidthField, "320"},           {kHeightField, "240"},       {kVideoQualityField, "700"},
        {kAudioQualityField, "128"}};
    EXPECT_EQ(fake_.texts, texts);
    EXPECT_EQ(settings_.getText(keys::kSource), "/clips/a.avi");
    const std::map<ControlId, bool> enabled{
        {kFileNameField, true},      {kWidthField, false},        {kHeightField, false},
        {kVideoQualityField, false}, {kAudioQualityField, false}, {kAudioModeList, false}};
    EXPECT_EQ(fake_.enabled, enabled);
}

TEST_F(DialogControllerTest, TheChoosersAndTheSourceModeSetTheSourceAndDestination) {
    const std::string clips = (dir_ / "clips").string();
    const std::string other = (dir_ / "other").string();
    const std::string holiday = clips + "/holiday.avi";
    const std::string party = other + "/party.mpg";
    for (const std::string& file : {holiday, party}) {
        fs::create_directories(fs::path(file).parent_path());
        morvane::test::writeFile(file, "");
    }
    // "Source File", "Source", "Source Directory", "Destination Path" and "Destination File",
    // and the fields that show them.
    const auto expectStored = [this](const std::vector<std::string>& expected) {
        std::vector<std::string> stored;
        for (const std::string_view key : {keys::kSourceFile, keys::kSource, keys::kSourceDirectory,
                                           keys::kDestinationPath, keys::kDestinationFile}) {
            stored.push_back(settings_.getText(key));
        }
        EXPECT_EQ(stored, expected);
        EXPECT_EQ(fake_.text(kSourceField), stored[1]);
        EXPECT_EQ(fake_.text(kDestinationField), stored[3]);
        EXPECT_EQ(fake_.text(kFileNameField), stored[4]);
    };

    fake_.fileAnswers.push_back(holiday);
    controller_.chooseSource();
    expectStored({holiday, holiday, clips, clips, "holiday.flv"});
    controller_.chooseSource();  // cancelled
    expectStored({holiday, holiday, clips, clips, "holiday.flv"});
    fake_.folderAnswers.push_back("/elsewhere");
    controller_.chooseDestination();
    expectStored({holiday, holiday, clips, "/elsewhere", "holiday.flv"});
    // A new source takes the destination back to its own folder.
    fake_.fileAnswers.push_back(party);
    controller_.chooseSource();
    expectStored({party, party, other, other, "party.flv"});

    // DIRECTORY mode shows the source folder and takes no file name.
    controller_.sourceModeSelected(kModeDirectory);
    expectStored({party, other, other, other, "party.flv"});
    EXPECT_FALSE(fake_.isEnabled(kFileNameField));
    fake_.folderAnswers.push_back(clips);
    controller_.chooseSource();
    expectStored({party, clips, clips, clips, "party.flv"});
    controller_.chooseDestination();  // cancelled
    expectStored({party, clips, clips, clips, "party.flv"});

    const std::string toDestination = "Please choose destination folder";
    EXPECT_EQ(fake_.choosers, (std::vector<morvane::test::FakeDialog::Chooser>{
                                  {"Convert file", ""},
                                  {"Convert file", ""},
                                  {toDestination, clips},
                                  {"Convert file", ""},
                                  {"Please choose source folder", other},
                                  {toDestination, clips}}));
}

TEST_F(DialogControllerTest, AFileOrFolderGivenOtherwiseActsAsItsChooserInItsMode) {
    const fs::path clips = dir_ / "clips";
    const std::string holiday = (clips / "holiday.avi").string();
    fs::create_directories(clips);
    morvane::test::writeFile(holiday, "");
    ASSERT_EQ(::mkfifo((dir_ / "pipe").c_str(), 0600), 0);
    const auto stored = [this] {
        std::vector<std::string> values;
        for (const std::string_view key : {keys::kSourceFile, keys::kSource, keys::kSourceDirectory,
                                           keys::kDestinationPath, keys::kDestinationFile}) {
            values.push_back(settings_.getText(key));
        }
        values.push_back(std::to_string(settings_.getNumber(keys::kMode)));
        values.push_back(std::to_string(fake_.selected[kSourceModeList]));
        values.push_back(fake_.text(kSourceField) + "|" + fake_.text(kDestinationField) + "|" +
                         fake_.text(kFileNameField));
        return values;
    };
    controller_.initialise();

    controller_.sourceModeSelected(kModeDirectory);
    ASSERT_TRUE(controller_.takeSource(holiday));
    const std::vector<std::string> byFile = stored();
    EXPECT_EQ(byFile, (std::vector<std::string>{holiday, holiday, clips.string(), clips.string(),
                                                "holiday.flv", "0", "0",
                                                holiday + "|" + clips.string() + "|holiday.flv"}));
    EXPECT_TRUE(fake_.isEnabled(kFileNameField));

    ASSERT_TRUE(controller_.takeSource(clips.string()));
    const std::vector<std::string> byFolder = stored();
    // As the folder chooser leaves them, in DIRECTORY mode.
    fake_.folderAnswers.push_back(clips.string());
    controller_.chooseSource();
    EXPECT_EQ(byFolder, stored());
    EXPECT_EQ(byFolder[5], "1");
    EXPECT_EQ(byFolder[6], "1");
    EXPECT_FALSE(fake_.isEnabled(kFileNameField));

    for (const fs::path& refused : {dir_ / "missing.avi", dir_ / "pipe"}) {
        EXPECT_FALSE(controller_.takeSource(refused.string())) << refused;
        EXPECT_EQ(stored(), byFolder) << refused;
    }
    EXPECT_TRUE(fake_.choosers.size() == 1) << "a given source opened a chooser";

    // Nothing is taken while a batch runs (it cannot end before its "done" is let through).
    morvane::test::ClipRecipe brief;
    brief.width = 160;
    brief.height = 120;
    brief.seconds = 0.5;
    morvane::test::writeClip(clips / "brief.mkv", brief);
    fs::remove(holiday);
    side_.holdDone = true;
    controller_.convertPressed();
    ASSERT_TRUE(controller_.isRunning());
    EXPECT_FALSE(controller_.takeSource(holiday + ".mkv"));
    EXPECT_FALSE(controller_.canTakeSource(clips.string()));
    side_.released.set();
    ASSERT_TRUE(side_.ended.waitFor(120s)) << "the batch did not end within 120 s";
    controller_.batchEnded();
    EXPECT_TRUE(controller_.canTakeSource(clips.string()));
}

TEST_F(DialogControllerTest, ABatchEndingWhileTheUserWorksElsewhereIsNotified) {
    morvane::test::ClipRecipe brief;
    brief.width = 160;
    brief.height = 120;
    brief.seconds = 0.5;
    fs::create_directories(dir_ / "clips");
    morvane::test::writeClip(dir_ / "clips/a.mkv", brief);
    morvane::test::writeFile(dir_ / "clips/b.avi", "not a clip");
    settings_.setNumber(keys::kMode, kModeDirectory);
    settings_.setText(keys::kSource, (dir_ / "clips").string());
    settings_.setText(keys::kDestinationPath, (dir_ / "out").string());
    fs::create_directories(dir_ / "out");
    const auto convertToTheEnd = [this] {
        controller_.convertPressed();
        EXPECT_TRUE(side_.ended.waitFor(120s)) << "the batch did not end within 120 s";
        controller_.batchEnded();
    };

    fake_.active = false;
    convertToTheEnd();
    EXPECT_EQ(fake_.notifications, (std::vector<std::pair<std::string, std::string>>{
                                       {"1 file converted, 1 failed", (dir_ / "out").string()}}));

    fake_.notifications.clear();
    fake_.active = true;
    convertToTheEnd();
    EXPECT_TRUE(fake_.notifications.empty()) << "notified while the dialog was active";

    fake_.active = false;
    controller_.convertPressed();
    controller_.convertPressed();  // Stop
    controller_.batchEnded();
    EXPECT_TRUE(fake_.notifications.empty()) << "notified after a stop";

    EXPECT_EQ(batchEndSummary(3, 0), "3 files converted");
}

TEST_F(DialogControllerTest, ALateEndNoticeLeavesTheNextBatchRunning) {
    morvane::test::ClipRecipe brief;
    brief.width = 160;
    brief.height = 120;
    brief.seconds = 0.5;
    morvane::test::writeClip(dir_ / "short.mkv", brief);
    settings_.setText(keys::kSourceFile, (dir_ / "short.mkv").string());
    settings_.setText(keys::kDestinationPath, dir_.path().string());
    controller_.convertPressed();
    ASSERT_TRUE(side_.ended.waitFor(120s)) << "the first batch did not end within 120 s";
    controller_.convertPressed();  // Stop, before the notice of its end has come
    ASSERT_FALSE(controller_.isRunning());

    // The second batch cannot end before the log window lets its "done" through.
    controller_.fileNameEdited("second.flv");
    side_.released.waitFor(0ms);  // forgets the releases of the stop
    side_.holdDone = true;
    controller_.convertPressed();
    controller_.batchEnded();  // the notice of the first batch
    ASSERT_TRUE(controller_.isRunning()) << "a late notice stopped the batch after it";
    side_.released.set();
    ASSERT_TRUE(side_.ended.waitFor(120s)) << "the second batch did not end within 120 s";
    controller_.batchEnded();
    EXPECT_FALSE(controller_.isRunning());
    controller_.progressTick(0);
    EXPECT_EQ(fake_.progress, 0);
    EXPECT_EQ(fake_.text(kTimeLeftLabel), "00:00:00") << "the time left is not cleared";
    EXPECT_TRUE(fs::exists(dir_ / "second.flv")) << side_.recorded.text();
}

}  // namespace
}  // namespace morvane::ui
