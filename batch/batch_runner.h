#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "batch/source_walk.h"
#include "engine/conversion_job.h"
#include "engine/engine_services.h"

namespace morvane {

// The dialog's side of a batch: the settings controls and the Convert!/Stop button.
class BatchPanel {
public:
    virtual ~BatchPanel() = default;
    // false disables every settings control and the button; true enables the button and
    // whatever the current settings allow.
    virtual void lock(bool enable) = 0;
    virtual void setConvertButton(std::string_view caption, bool enabled) = 0;
};

// What the Convert!/Stop button does. Runs on the thread that owns the batch (the dialog's);
// the conversion threads take the further files from the source list themselves, while the
// walk of the sources goes on adding to it.
class BatchRunner {
public:
    BatchRunner(EngineServices& services, BatchPanel& panel);
    BatchRunner(const BatchRunner&) = delete;
    BatchRunner& operator=(const BatchRunner&) = delete;
    ~BatchRunner();

    // The button: starts a batch, or stops the one running. In FILE mode a "Destination File"
    // that was never stored is first made from "Source File".
    void convertPressed();
    // Starts the batch that the settings name, its sources walked as it goes (the files of
    // "Source", and of its sub-folders when "Include Subfolders" says so, in DIRECTORY mode).
    // False when there was nothing to convert ("No files found in ...").
    bool startBatch();
    // Starts a batch of the given sources, in their order, whatever the stored mode. False
    // when none of them gives a file to convert.
    bool startSources(BatchSources sources);
    // Stops and destroys the running job, if any, and gives the panel back. True when a job
    // was ended. Called for the button, the dialog's close and the end-of-batch notice.
    bool stopAndFinish();
    // The end-of-batch notice, which arrives on the owner's thread some time after the batch
    // ended: Stop and finish, but only for a job whose batch has ended by itself, so that a
    // late notice never stops a batch started since.
    bool finishEndedBatch();

    const ConversionJob* currentJob() const { return job_.get(); }
    bool isRunning() const { return job_ != nullptr; }
    // The files of the running (or last) batch, in the order they are converted, and their
    // durations as far as they are known: both grow while the sources are walked.
    const SourceWalk& walk() const { return walk_; }

private:
    // Walks the sources, makes the job of the first file found and starts it; false when the
    // walk found none.
    bool startWalk(BatchSources sources);

    EngineServices& services_;
    BatchPanel& panel_;
    std::unique_ptr<ConversionJob> job_;
    SourceWalk walk_;
};

}  // namespace morvane
