#include "batch/batch_runner.h"

#include "batch/output_paths.h"
#include "batch/source_folder.h"
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
    panel_.lock(false);
    SettingsStore& settings = services_.settings;
    SourceFileList& sources = services_.sources;
    const int32_t mode = settings.getNumber(keys::kMode);
    if (mode == kModeFile) {
        sources.append(settings.getText(keys::kSourceFile));
    } else if (mode == kModeDirectory) {
        for (std::string& path : listSourceFolder(settings.getText(keys::kSource))) {
            sources.append(std::move(path));
        }
    }
    const std::string first = sources.takeFront();
    const std::string destination = settings.getText(keys::kDestinationPath);
    if (mode == kModeDirectory) {
        if (first.empty()) {
            const std::string folder = settings.getText(keys::kSource);
            services_.log.writeLine("No files found in " + folder + ".\n\n");
            panel_.lock(true);
            return false;
        }
        startJob(first, directoryBatchOutputPath(destination, first));
    } else {
        settings.setText(keys::kSourceFile, first);
        startJob(first, fileModeOutputPath(destination, settings.getText(keys::kDestinationFile)));
    }
    return true;
}

void BatchRunner::startJob(const std::string& source, const std::string& output) {
    job_ = std::make_unique<ConversionJob>(services_, source, output);
    job_->start();
    panel_.setConvertButton("Stop", true);
}

bool BatchRunner::startFiles(const std::vector<std::string>& files) {
    if (files.empty() || job_) {
        return false;
    }
    panel_.lock(false);
    SettingsStore& settings = services_.settings;
    SourceFileList& sources = services_.sources;
    for (const std::string& file : files) {
        sources.append(file);
    }
    const std::string first = sources.takeFront();
    settings.setNumber(keys::kMode, kModeFile);
    settings.setText(keys::kSourceFile, first);
    settings.setText(keys::kDestinationFile, defaultDestinationFile(first));
    startJob(first, fileModeOutputPath(settings.getText(keys::kDestinationPath),
                                       settings.getText(keys::kDestinationFile)));
    return true;
}

bool BatchRunner::stopAndFinish() {
    panel_.lock(false);
    const bool stopped = job_ != nullptr;
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
