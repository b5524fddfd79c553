#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batch_runner.h"
#include "engine/engine_services.h"
#include "ui/batch_progress.h"
#include "ui/desktop.h"
#include "ui/dialog_view.h"
#include "ui/settings_panel.h"

namespace morvane::ui {

// The notification's summary at the end of a batch: "3 files converted", and ", 1 failed"
// when some were not.
std::string batchEndSummary(int converted, int failed);

// The web address that the link label opens.
inline constexpr std::string_view kProductAddress = "https://quillon.example.org/morvane";

// The dialog's logic: its start, the choosers and what they store, the source mode, the file
// name, Convert!/Stop, the keyboard's Enter, the end of a batch, the progress tick and the
// close. Everything runs on the dialog's thread; the window only binds controls to it.
class DialogController final : public BatchPanel {
public:
    // `services` must outlive the controller; its listener answers the end of a batch by
    // calling batchEnded() on the dialog's thread.
    DialogController(EngineServices& services, ProfileTable& profiles, DialogView& view,
                     Desktop& desktop);
    DialogController(const DialogController&) = delete;
    DialogController& operator=(const DialogController&) = delete;

    // Validates the settings and shows them, then runs the three selection handlers on what
    // is selected, so that the derived keys are set and the right controls enabled.
    void initialise();

    void convertPressed();
    // Enter in an edit or a list. Never stops a batch: only the button and the close do.
    void enterPressed();
    // The session's notice that the batch ended by itself. While the user works in another
    // window, a notification says how many files were converted and where.
    void batchEnded();

    void chooseSource();
    // A file or a folder given to the dialog otherwise than by its chooser (dropped on it, or
    // named on the command line): FILE mode for a file, DIRECTORY mode for a folder, then the
    // same as the chooser's answer. Refused, with nothing changed, while a batch runs and for
    // what is neither a file nor a folder.
    bool canTakeSource(const std::string& path) const;
    bool takeSource(const std::string& path);
    // Several files or folders (a drop, the command line): FILE mode, converted in their order,
    // each output named after its source in the destination folder, with the Filename field
    // disabled. Refused, with a log line and nothing changed, when two would write the same
    // output name; else as takeSource(). One path is taken as takeSource() takes it.
    bool canTakeSources(const std::vector<std::string>& paths) const;
    bool takeSources(const std::vector<std::string>& paths);
    void subFoldersToggled(bool checked);
    void chooseDestination();
    void sourceModeSelected(int32_t position);
    void fileNameEdited(std::string_view text);
    void linkLabelClicked();
    void logLinkClicked(std::string_view path);

    // Every 500 ms: the current file's percentage and time left, or 0 and "00:00:00"; which
    // file of how many, the whole batch's time left, and its share in the window's title.
    void progressTick(uint32_t nowTick);

    // Stops a running batch, then writes the settings.
    void close();

    bool isRunning() const { return runner_.isRunning(); }
    SettingsPanel& panel() { return panel_; }

    // BatchPanel
    void lock(bool enable) override;
    void setConvertButton(std::string_view caption, bool enabled) override;

private:
    void applyMode();
    void startOrStopBatchFigures();
    void takeSourceFile(const std::string& file);
    void takeSourceFolder(const std::string& folder);
    void takeSeveralSources(const std::vector<std::string>& paths);
    void forgetSeveralSources();
    // The sources of a FILE batch with more than one: then the Filename field has no use.
    bool hasSeveralSources() const { return several_.size() > 1; }

    SettingsStore& settings_;
    ConversionLog& log_;
    DialogView& view_;
    Desktop& desktop_;
    SettingsPanel panel_;
    BatchRunner runner_;
    BatchProgress batchProgress_;
    bool figuresShown_ = false;
    std::vector<std::string> several_;
};

}  // namespace morvane::ui
