#include "batch/batch_runner.h"

#include "files/output_paths.h"
#include "files/source_folder.h"
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
    const int32_t mode = settings.getNumber(keys::kMode);
    const std::string destination = settings.getText(keys::kDestinationPath);
    if (mode == kModeDirectory) {
        std::vector<std::string> files = listSourceFolder(settings.getText(keys::kSource));
        if (files.empty()) {
            const std::string folder = settings.getText(keys::kSource);
            services_.log.writeLine("No files found in " + folder + ".\n\n");
            panel_.lock(true);
            return false;
        }
        const std::string output = directoryBatchOutputPath(destination, files.front());
        startJob(std::move(files), output);
    } else {
        std::vector<std::string> files(1);
        if (mode == kModeFile) {
            files.front() = settings.getText(keys::kSourceFile);
        }
        settings.setText(keys::kSourceFile, files.front());
        startJob(std::move(files),
                 fileModeOutputPath(destination, settings.getText(keys::kDestinationFile)));
    }
    return true;
}

void BatchRunner::startJob(std::vector<std::string> files, const std::string& output) {
    files_ = std::move(files);
    for (size_t i = 1; i < files_.size(); ++i) {
        services_.sources.append(files_[i]);
    }
    job_ = std::make_unique<ConversionJob>(services_, files_.front(), output);
    job_->start();
    panel_.setConvertButton("Stop", true);
}

bool BatchRunner::startFiles(const std::vector<std::string>& files) {
    if (files.empty() || job_) {
        return false;
    }
    panel_.lock(false);
    SettingsStore& settings = services_.settings;
    settings.setNumber(keys::kMode, kModeFile);
    settings.setText(keys::kSourceFile, files.front());
    settings.setText(keys::kDestinationFile, defaultDestinationFile(files.front()));
    startJob(files, fileModeOutputPath(settings.getText(keys::kDestinationPath),
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
