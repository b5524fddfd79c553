#include "ui/dialog_controller.h"

#include <algorithm>
#include <filesystem>

#include "engine/progress.h"
#include "files/output_paths.h"
#include "files/path_helpers.h"
#include "platform/tick_count.h"
#include "settings/setting_keys.h"
#include "settings/settings_rules.h"
#include "source/media_duration.h"
#include "ui/dialog_template.h"

namespace morvane::ui {

DialogController::DialogController(EngineServices& services, ProfileTable& profiles,
                                   DialogView& view, Desktop& desktop,
                                   BatchProgress::DurationProbe probe)
    : settings_(services.settings),
      view_(view),
      desktop_(desktop),
      panel_(services.settings, profiles, view, desktop),
      runner_(services, *this),
      batchProgress_(probe ? std::move(probe) : BatchProgress::DurationProbe(&probeDurationMs)) {}

void DialogController::initialise() {
    loadAndValidate(settings_);
    panel_.fillLists();
    view_.setControlText(kSourceField, settings_.getText(keys::kSource));
    view_.setControlText(kDestinationField, settings_.getText(keys::kDestinationPath));
    view_.setControlText(kFileNameField, settings_.getText(keys::kDestinationFile));
    panel_.showStoredNumbers();
    applyMode();
    panel_.profileSelected(settings_.getNumber(keys::kProfile));
    panel_.sizeSelected(settings_.getNumber(keys::kSizeMode));
    panel_.audioModeSelected(settings_.getNumber(keys::kAudioMode));
}

void DialogController::convertPressed() {
    runner_.convertPressed();
    startOrStopBatchFigures();
}

void DialogController::startOrStopBatchFigures() {
    if (runner_.isRunning() && !figuresShown_) {
        batchProgress_.start(runner_.batchFiles(), tickCount());
        figuresShown_ = true;
    } else if (!runner_.isRunning() && figuresShown_) {
        batchProgress_.stop();
        figuresShown_ = false;
        view_.setControlText(kFileCounterLabel, "");
        view_.setControlText(kBatchLeftLabel, "");
        view_.setTitle(kDialogCaption);
    }
}

void DialogController::enterPressed() {
    if (!runner_.isRunning()) {
        runner_.stopAndFinish();
    }
}

std::string batchEndSummary(int converted, int failed) {
    std::string summary =
        std::to_string(converted) + (converted == 1 ? " file converted" : " files converted");
    if (failed > 0) {
        summary += ", " + std::to_string(failed) + " failed";
    }
    return summary;
}

void DialogController::batchEnded() {
    const ConversionJob* job = runner_.currentJob();
    const int converted = job != nullptr ? job->filesDone.load() : 0;
    const int failed = job != nullptr ? job->filesNotDone.load() : 0;
    if (runner_.finishEndedBatch() && !view_.isActive()) {
        desktop_.notify(batchEndSummary(converted, failed),
                        settings_.getText(keys::kDestinationPath));
    }
    startOrStopBatchFigures();
}

void DialogController::chooseSource() {
    const int32_t mode = settings_.getNumber(keys::kMode);
    if (mode == kModeFile) {
        if (const std::optional<std::string> file = desktop_.chooseFile("Convert file")) {
            takeSourceFile(*file);
        }
    } else if (mode == kModeDirectory) {
        if (const std::optional<std::string> folder = desktop_.chooseFolder(
                "Please choose source folder", settings_.getText(keys::kSource))) {
            takeSourceFolder(*folder);
        }
    }
}

bool DialogController::canTakeSource(const std::string& path) const {
    std::error_code error;
    return !runner_.isRunning() && (std::filesystem::is_regular_file(path, error) ||
                                    std::filesystem::is_directory(path, error));
}

bool DialogController::takeSource(const std::string& path) {
    if (!canTakeSource(path)) {
        return false;
    }
    std::error_code error;
    const int32_t mode = std::filesystem::is_directory(path, error) ? kModeDirectory : kModeFile;
    view_.selectListItem(kSourceModeList, mode);
    sourceModeSelected(mode);
    if (mode == kModeFile) {
        takeSourceFile(path);
    } else {
        takeSourceFolder(path);
    }
    return true;
}

void DialogController::takeSourceFile(const std::string& file) {
    settings_.setText(keys::kSourceFile, file);
    settings_.setText(keys::kSourceDirectory, DirectoryOf(file));
    settings_.setText(keys::kSource, file);
    view_.setControlText(kSourceField, settings_.getText(keys::kSourceFile));
    settings_.setText(keys::kDestinationPath, DirectoryOf(settings_.getText(keys::kSourceFile)));
    view_.setControlText(kDestinationField, settings_.getText(keys::kDestinationPath));
    settings_.setText(keys::kDestinationFile,
                      defaultDestinationFile(settings_.getText(keys::kSourceFile)));
    view_.setControlText(kFileNameField, settings_.getText(keys::kDestinationFile));
}

void DialogController::takeSourceFolder(const std::string& folder) {
    settings_.setText(keys::kSourceDirectory, folder);
    settings_.setText(keys::kSource, folder);
    view_.setControlText(kSourceField, settings_.getText(keys::kSourceDirectory));
    settings_.setText(keys::kDestinationPath, DirectoryOf(settings_.getText(keys::kSource)));
    view_.setControlText(kDestinationField, settings_.getText(keys::kDestinationPath));
}

void DialogController::chooseDestination() {
    const std::optional<std::string> folder = desktop_.chooseFolder(
        "Please choose destination folder", settings_.getText(keys::kDestinationPath));
    if (!folder) {
        return;
    }
    settings_.setText(keys::kDestinationPath, *folder);
    view_.setControlText(kDestinationField, settings_.getText(keys::kDestinationPath));
}

void DialogController::sourceModeSelected(int32_t position) {
    settings_.setNumber(keys::kMode, position);
    applyMode();
}

void DialogController::fileNameEdited(std::string_view text) {
    settings_.setText(keys::kDestinationFile, text);
}

void DialogController::linkLabelClicked() {
    desktop_.openAddress(kProductAddress);
}

void DialogController::logLinkClicked(std::string_view path) {
    desktop_.openFile(path);
}

void DialogController::progressTick(uint32_t nowTick) {
    startOrStopBatchFigures();
    const ConversionJob* job = runner_.currentJob();
    if (job == nullptr) {
        view_.setProgress(0);
        view_.setControlText(kTimeLeftLabel, "00:00:00");
        return;
    }
    view_.setProgress(std::clamp(progressPercent(*job), 0, 100));
    view_.setControlText(kTimeLeftLabel, timeLeftText(*job, nowTick));
    const BatchProgress::Figures figures = batchProgress_.tick(*job, nowTick);
    view_.setControlText(kFileCounterLabel, figures.counter);
    view_.setControlText(kBatchLeftLabel, figures.left);
    view_.setTitle(std::to_string(figures.percent) + "% \u2014 " + std::string(kDialogCaption));
}

void DialogController::close() {
    if (runner_.isRunning()) {
        runner_.stopAndFinish();
    }
    startOrStopBatchFigures();
    settings_.writeAll();
}

void DialogController::lock(bool enable) {
    panel_.lock(enable);
}

void DialogController::setConvertButton(std::string_view caption, bool enabled) {
    view_.setControlText(kConvertButton, caption);
    view_.setControlEnabled(kConvertButton, enabled);
}

void DialogController::applyMode() {
    const int32_t mode = settings_.getNumber(keys::kMode);
    if (mode == kModeFile) {
        view_.setControlEnabled(kFileNameField, true);
        settings_.setText(keys::kSource, settings_.getText(keys::kSourceFile));
    } else if (mode == kModeDirectory) {
        view_.setControlEnabled(kFileNameField, false);
        settings_.setText(keys::kSource, settings_.getText(keys::kSourceDirectory));
    } else {
        return;
    }
    view_.setControlText(kSourceField, settings_.getText(keys::kSource));
}

}  // namespace morvane::ui
