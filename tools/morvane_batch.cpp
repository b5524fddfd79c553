// morvane-batch: does what pressing "Convert!" does, with the stored settings, without a
// window. The log goes to "morvane.log" and to standard output. Exits 0 when every file of the
// batch was done, 1 otherwise. SIGINT and SIGTERM act as the Stop button.
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <ctime>

#include "batch/batch_runner.h"
#include "batch/source_file_list.h"
#include "log/console_log_window.h"
#include "log/conversion_log.h"
#include "settings/process_settings.h"
#include "settings/settings_rules.h"

namespace {

using namespace morvane;

class HeadlessOwner final : public BatchListener, public BatchPanel {
public:
    void batchEnded() override { ended_ = true; }
    bool ended() const { return ended_; }
    void lock(bool) override {}
    void setConvertButton(std::string_view, bool) override {}

private:
    std::atomic<bool> ended_{false};
};

// Waits for the end of the batch or a stop signal; true when a signal came.
bool waitForEndOrSignal(const HeadlessOwner& owner, const sigset_t& stopSignals) {
    const timespec tick{0, 50'000'000};
    while (!owner.ended()) {
        if (::sigtimedwait(&stopSignals, nullptr, &tick) > 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main() {
    // The stop signals are taken by the main thread alone: block them before any thread exists.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    SettingsStore& settings = processSettingsStore();
    SourceFileList& sources = processSourceFileList();
    ProfileTable& profiles = processProfileTable();
    ConversionLog& log = processLog();
    ConsoleLogWindow window(stdout);
    log.open();
    log.setWindow(&window);
    loadAndValidate(settings);

    HeadlessOwner owner;
    EngineServices services{settings, profiles,
                            sources,  log,
                            owner,    [&settings](int status) { endProcess(settings, status); }};
    int status = 1;
    {
        BatchRunner runner(services, owner);
        runner.convertPressed();
        if (runner.isRunning()) {
            const bool stopped = waitForEndOrSignal(owner, stopSignals);
            const ConversionJob& job = *runner.currentJob();
            const bool allDone = !stopped && job.filesNotDone == 0 && job.filesDone > 0;
            runner.stopAndFinish();
            status = allDone ? 0 : 1;
        }
    }
    settings.writeAll();
    log.setWindow(nullptr);
    log.close();
    return status;
}
