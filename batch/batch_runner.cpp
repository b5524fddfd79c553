#include "batch/batch_runner.h"

#include "files/output_paths.h"
#include "settings/setting_keys.h"

namespace morvane {

BatchRunner::BatchRunner(EngineServices& services, BatchPanel& panel)
    : services_(services), panel_(panel) {}

BatchRunner::~BatchRunner() {
    stopAndFinish();
}

void BatchRunner::convertPressed() {
    SettingsStore& settings = services_.settings;
    if (settings.getNumber(keys::kMode) == kModeFile && !settings.holds(keys::kDestinationFile)) {
        settings.setText(keys::kDestinationFile,
                         defaultDestinationFile(settings.getText(keys::kSourceFile)));
    }
    if (job_) {
        stopAndFinish();
    } else {
        startBatch();
    }
}

bool BatchRunner::startBatch() {
    SettingsStore& settings = services_.settings;
    const int32_t mode = settings.getNumber(keys::kMode);
    BatchSources sources;
    sources.destination = settings.getText(keys::kDestinationPath);
    sources.readDurations = true;
    if (mode == kModeDirectory) {
        const std::string folder = settings.getText(keys::kSource);
        sources.roots = {folder};
        sources.subFolders = settings.getNumber(keys::kIncludeSubfolders) == 1;
        sources.keepExtension = true;
        if (!startWalk(std::move(sources))) {
            services_.log.writeLine("No files found in " + folder + ".\n\n");
            return false;
        }
        return true;
    }
    const std::string file = mode == kModeFile ? settings.getText(keys::kSourceFile) : "";
    settings.setText(keys::kSourceFile, file);
    sources.roots = {file};
    sources.foldersGiveTheirFiles = false;
    sources.firstOutput =
        fileModeOutputPath(sources.destination, settings.getText(keys::kDestinationFile));
    return startWalk(std::move(sources));
}

bool BatchRunner::startSources(BatchSources sources) {
    return !job_ && startWalk(std::move(sources));
}

bool BatchRunner::startWalk(BatchSources sources) {
    panel_.lock(false);
    SourceFileList& list = services_.sources;
    list.clear();
    walk_.start(std::move(sources), list);
    // What the walk leaves out before its first file is logged now, before the job's lines.
    std::optional<SourceEntry> first;
    while ((first = list.takeNext()) && first->isNoticeOnly()) {
        services_.log.writeLine(first->notice);
    }
    if (!first) {
        walk_.stop();
        panel_.lock(true);
        return false;
    }
    if (!first->notice.empty()) {
        services_.log.writeLine(first->notice);
    }
    job_ = std::make_unique<ConversionJob>(services_, first->path, first->output);
    job_->outputRoot = first->outputRoot;
    job_->start();
    panel_.setConvertButton("Stop", true);
    return true;
}

bool BatchRunner::stopAndFinish() {
    panel_.lock(false);
    const bool stopped = job_ != nullptr;
    // The walk before the job: the session may be waiting for its next file. The job is told
    // first, so that a file the walk still adds is not begun.
    if (job_) {
        job_->requestStop();
    }
    walk_.stop();
    if (job_) {
        job_->stop();
        job_.reset();
        panel_.setConvertButton("Convert!", true);
        panel_.lock(true);
    }
    panel_.lock(true);
    return stopped;
}

bool BatchRunner::finishEndedBatch() {
    if (!job_ || !job_->endedByItself) {
        return false;
    }
    return stopAndFinish();
}

}  // namespace morvane
