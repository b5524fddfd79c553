#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "batch/batch_runner.h"
#include "files/output_paths.h"
#include "log/conversion_log.h"
#include "platform/auto_reset_event.h"
#include "settings/profiles.h"
#include "settings/settings_file.h"
#include "settings/settings_rules.h"
#include "tests/support/recording_log_window.h"
#include "tests/support/temp_dir.h"

namespace morvane::test {

// The engine and batch runner as the dialog drives them, over a settings file, a log and a
// source list of the test's own; also the log's window.
class EngineHarness final : public BatchListener, public BatchPanel, public LogWindow {
public:
    EngineHarness()
        : settings_(std::make_unique<FileSettingsBacking>(dir_ / "settings.reg")),
          services_{settings_, profiles_, sources_, log_, *this, &fatalEnd, {}} {
        log_.setWindow(this);
        resetToDefaults(settings_);
        std::filesystem::create_directories(outputFolder());
        settings_.setText("Destination Path", outputFolder().string());
    }
    ~EngineHarness() override {
        runner_.reset();
        log_.setWindow(nullptr);
    }

    const TempDir& dir() const { return dir_; }
    std::filesystem::path outputFolder() const { return dir_ / "out"; }
    SettingsStore& settings() { return settings_; }
    ProfileTable& profiles() { return profiles_; }
    SourceFileList& sources() { return sources_; }
    EngineServices& services() { return services_; }
    std::string logText() const { return recorded_.text(); }
    BatchRunner& runner() {
        if (!runner_) {
            runner_ = std::make_unique<BatchRunner>(services_, *this);
        }
        return *runner_;
    }

    // As choosing the file in the dialog does: the output keeps its base name.
    void convertFile(const std::filesystem::path& source) {
        settings_.setNumber("Mode", kModeFile);
        settings_.setText("Source File", source.string());
        settings_.setText("Destination File", defaultDestinationFile(source.string()));
    }
    void convertFolder(const std::filesystem::path& folder) {
        settings_.setNumber("Mode", kModeDirectory);
        settings_.setText("Source", folder.string());
    }

    // Presses Convert! and waits for the batch to end by itself; then Stop and finish as the
    // dialog does on the end-of-batch notice. False, and a failure, when the batch did not end
    // in time.
    bool convert(std::chrono::seconds bound = std::chrono::seconds(120)) {
        const bool ended = convertWithoutFinishing(bound);
        runner().stopAndFinish();
        return ended;
    }
    // The same, but leaves the ended job to the caller's eyes until Stop and finish.
    bool convertWithoutFinishing(std::chrono::seconds bound = std::chrono::seconds(120)) {
        runner().convertPressed();
        const bool ended = !runner().isRunning() || ended_.waitFor(bound);
        EXPECT_TRUE(ended) << "the batch did not end within " << bound.count() << " s";
        return ended;
    }

    // Called with each text logged, on the thread that logs it; set before the batch starts.
    std::function<void(std::string_view text)> onText;

    // LogWindow
    void appendText(std::string_view text) override {
        if (onText) {
            onText(text);
        }
        recorded_.appendText(text);
    }
    void appendLink(std::string_view path) override { recorded_.appendLink(path); }

    // BatchListener
    void batchEnded() override {
        ++endNotices_;
        ended_.set();
    }
    int endNotices() const { return endNotices_; }

    // BatchPanel
    void lock(bool) override {}
    void setConvertButton(std::string_view caption, bool) override { button_ = caption; }
    const std::string& button() const { return button_; }

private:
    static void fatalEnd(int status) { ADD_FAILURE() << "fatal end, status " << status; }

    TempDir dir_;
    SettingsStore settings_;
    ProfileTable profiles_;
    SourceFileList sources_;
    ConversionLog log_;
    RecordingLogWindow recorded_;
    EngineServices services_;
    std::unique_ptr<BatchRunner> runner_;
    AutoResetEvent ended_;
    std::atomic<int> endNotices_{0};
    std::string button_ = "Convert!";
};

}  // namespace morvane::test
