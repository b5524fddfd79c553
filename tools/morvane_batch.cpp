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

// Sent by the session to the main thread at the end of the batch, so that the wait below
// ends at once rather than at its next tick.
constexpr int kEndSignal = SIGUSR1;

// Made on the main thread, which it wakes when the batch ends.
class HeadlessOwner final : public BatchListener, public BatchPanel {
public:
    void batchEnded() override {
        ended_ = true;
        ::pthread_kill(waiter_, kEndSignal);
    }
    bool ended() const { return ended_; }
    void lock(bool) override {}
    void setConvertButton(std::string_view, bool) override {}

private:
    std::atomic<bool> ended_{false};
    const pthread_t waiter_ = ::pthread_self();
};

// Waits for the end of the batch or a stop signal; true when a stop signal came.
bool waitForEndOrSignal(const HeadlessOwner& owner, const sigset_t& awaited) {
    const timespec tick{0, 50'000'000};
    while (!owner.ended()) {
        const int signal = ::sigtimedwait(&awaited, nullptr, &tick);
        if (signal > 0 && signal != kEndSignal) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main() {
    // The stop signals and the end signal are taken by the main thread alone: block them
    // before any thread exists.
    sigset_t awaited;
    sigemptyset(&awaited);
    sigaddset(&awaited, SIGINT);
    sigaddset(&awaited, SIGTERM);
    sigaddset(&awaited, kEndSignal);
    pthread_sigmask(SIG_BLOCK, &awaited, nullptr);

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
            const bool stopped = waitForEndOrSignal(owner, awaited);
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
