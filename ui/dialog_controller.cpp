#include "ui/dialog_controller.h"

#include <algorithm>
#include <filesystem>

#include "engine/progress.h"
#include "files/output_paths.h"
#include "files/path_helpers.h"
#include "files/source_plan.h"
#include "platform/tick_count.h"
#include "settings/setting_keys.h"
#include "settings/settings_rules.h"
#include "ui/dialog_template.h"

namespace morvane::ui {

namespace {

// What the source field says of several sources: "3 files", "2 files, 1 folder".
std::string severalSourcesText(const std::vector<std::string>& paths) {
    size_t folders = 0;
    for (const std::string& path : paths) {
        std::error_code error;
        folders += std::filesystem::is_directory(path, error) ? 1 : 0;
    }
    const size_t files = paths.size() - folders;
    const auto counted = [](size_t count, const char* one, const char* many) {
        return std::to_string(count) + " " + (count == 1 ? one : many);
    };
    if (folders == 0) {
        return counted(files, "file", "files");
    }
    if (files == 0) {
        return counted(folders, "folder", "folders");
    }
    return counted(files, "file", "files") + ", " + counted(folders, "folder", "folders");
}

}  // namespace

DialogController::DialogController(EngineServices& services, ProfileTable& profiles,
                                   DialogView& view, Desktop& desktop)
    : settings_(services.settings),
      log_(services.log),
      view_(view),
      desktop_(desktop),
      panel_(services.settings, profiles, view, desktop),
      runner_(services, *this) {}

void DialogController::initialise() {
    loadAndValidate(settings_);
    panel_.fillLists();
    view_.setControlText(kSourceField, settings_.getText(keys::kSource));
    view_.setControlText(kDestinationField, settings_.getText(keys::kDestinationPath));
    view_.setControlText(kFileNameField, settings_.getText(keys::kDestinationFile));
    panel_.showStoredNumbers();
    view_.setChecked(kSubFoldersBox, settings_.getNumber(keys::kIncludeSubfolders) == 1);
    applyMode();
    panel_.profileSelected(settings_.getNumber(keys::kProfile));
    panel_.sizeSelected(settings_.getNumber(keys::kSizeMode));
    panel_.audioModeSelected(settings_.getNumber(keys::kAudioMode));
}

void DialogController::convertPressed() {
    if (!runner_.isRunning() && settings_.getNumber(keys::kMode) == kModeFile &&
        hasSeveralSources()) {
        BatchSources sources;
        sources.roots = several_;
        sources.subFolders = settings_.getNumber(keys::kIncludeSubfolders) == 1;
        sources.destination = settings_.getText(keys::kDestinationPath);
        sources.readDurations = true;
        runner_.startSources(std::move(sources));
    } else {
        runner_.convertPressed();
    }
    startOrStopBatchFigures();
}

void DialogController::startOrStopBatchFigures() {
    if (runner_.isRunning() && !figuresShown_) {
        batchProgress_.start(tickCount());
        figuresShown_ = true;
    } else if (!runner_.isRunning() && figuresShown_) {
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
        const std::vector<std::string> files = desktop_.chooseFiles("Convert file");
        if (files.size() == 1) {
            sourceModeSelected(kModeFile);  // which forgets several sources taken before
            takeSourceFile(files.front());
        } else if (files.size() > 1) {
            takeSources(files);
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
    sourceModeSelected(mode);  // which forgets several sources taken before
    if (mode == kModeFile) {
        takeSourceFile(path);
    } else {
        takeSourceFolder(path);
    }
    return true;
}

bool DialogController::canTakeSources(const std::vector<std::string>& paths) const {
    return !paths.empty() &&
           std::all_of(paths.begin(), paths.end(),
                       [this](const std::string& path) { return canTakeSource(path); });
}

bool DialogController::takeSources(const std::vector<std::string>& paths) {
    if (!canTakeSources(paths)) {
        return false;
    }
    if (paths.size() == 1) {
        return takeSource(paths.front());
    }
    const SourcePlan plan = planSources(paths);
    if (!plan.error.empty()) {
        log_.writeLine("Could not take these sources: " + plan.error + ".\n\n");
        return false;
    }
    view_.selectListItem(kSourceModeList, kModeFile);
    sourceModeSelected(kModeFile);
    takeSeveralSources(paths);
    return true;
}

void DialogController::takeSeveralSources(const std::vector<std::string>& paths) {
    several_ = paths;
    takeSourceFile(paths.front());
    std::string list;
    for (const std::string& path : paths) {
        list += (list.empty() ? "" : "\n") + path;
    }
    view_.setControlText(kSourceField, severalSourcesText(paths));
    view_.setToolTip(kSourceField, list);
    view_.setControlEnabled(kFileNameField, false);
    view_.setControlText(kFileNameField, "");  // each output has its own
}

void DialogController::forgetSeveralSources() {
    if (!several_.empty()) {
        several_.clear();
        view_.setToolTip(kSourceField, "");
        view_.setControlText(kFileNameField, settings_.getText(keys::kDestinationFile));
    }
}

void DialogController::subFoldersToggled(bool checked) {
    settings_.setNumber(keys::kIncludeSubfolders, checked ? 1 : 0);
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
    forgetSeveralSources();
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
    const BatchProgress::Figures figures = batchProgress_.tick(*job, runner_.walk(), nowTick);
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
    if (enable && hasSeveralSources()) {
        view_.setControlEnabled(kFileNameField, false);
    }
}

void DialogController::setConvertButton(std::string_view caption, bool enabled) {
    view_.setControlText(kConvertButton, caption);
    view_.setControlEnabled(kConvertButton, enabled);
}

void DialogController::applyMode() {
    const int32_t mode = settings_.getNumber(keys::kMode);
    if (mode == kModeFile) {
        view_.setControlEnabled(kFileNameField, !hasSeveralSources());
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
