// morvane-batch: converts the files and folders named on its command line with the options
// given there, or, without arguments, does what pressing "Convert!" does with the stored
// settings. The log goes to "morvane.log" (or --log) and to standard output, and a progress
// line to standard error when that is a terminal. Exits 0 when every file was converted, 1
// otherwise, 2 for a wrong command line. SIGINT and SIGTERM act as the Stop button.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batch_runner.h"
#include "files/source_file_list.h"
#include "files/source_plan.h"
#include "log/console_log_window.h"
#include "log/conversion_log.h"
#include "platform/tick_count.h"
#include "settings/process_settings.h"
#include "settings/settings_location.h"
#include "settings/settings_rules.h"
#include "tools/command_line.h"
#include "tools/progress_line.h"

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

// Whether the terminal takes the escape that erases a line: not a "dumb" one (an editor's
// shell buffer, for one).
bool understandsEscapes() {
    const char* term = std::getenv("TERM");
    return term != nullptr && term[0] != '\0' && std::string_view(term) != "dumb";
}

// Where the log text goes: standard output, with the progress line on standard error when
// that is a terminal; nowhere when quiet (the log file still gets it).
class Console {
public:
    explicit Console(bool quiet) : quiet_(quiet) {
        if (!quiet && ::isatty(STDERR_FILENO) && understandsEscapes()) {
            progress_.emplace(stdout, stderr);
        }
    }
    LogWindow* window() {
        if (quiet_) {
            return nullptr;
        }
        return progress_ ? static_cast<LogWindow*>(&*progress_) : &plain_;
    }
    // Redraws the progress line, if there is one, from the running batch.
    void showProgress(const BatchRunner& runner) {
        if (progress_ && runner.isRunning()) {
            const ProgressFigures figures =
                progressFiguresOf(*runner.currentJob(), runner.walk(), tickCount());
            progress_->draw(progressLineText(figures, progress_->columns()));
        }
    }
    // Erases the progress line and prints the log text it held back; called before the log
    // lets go of the window and before the process ends.
    void clearProgress() {
        if (progress_) {
            progress_->clear();
        }
    }

private:
    const bool quiet_;
    ConsoleLogWindow plain_{stdout};
    std::optional<TerminalProgress> progress_;
};

// Waits for the end of the batch or a stop signal, redrawing the progress line a few times a
// second; true when a stop signal came.
bool waitForEndOrSignal(const HeadlessOwner& owner, const sigset_t& awaited, Console& console,
                        const BatchRunner& runner) {
    const timespec tick{0, 250'000'000};
    while (!owner.ended()) {
        console.showProgress(runner);
        const int signal = ::sigtimedwait(&awaited, nullptr, &tick);
        if (signal > 0 && signal != kEndSignal) {
            return true;
        }
    }
    return false;
}

int usageError(const std::string& problem) {
    std::fprintf(stderr, "morvane-batch: %s\nTry 'morvane-batch --help' for more information.\n",
                 problem.c_str());
    return 2;
}

// Runs the batch that `start` begins until it ends or a stop signal comes; 0 when it ended by
// itself with every file its walk found done and nothing left out, or when it found nothing
// and `nothingIsDone`; 1 otherwise.
template <typename Start>
int runBatch(EngineServices& services, HeadlessOwner& owner, const sigset_t& awaited,
             Console& console, bool nothingIsDone, Start start) {
    BatchRunner runner(services, owner);
    start(runner);
    if (!runner.isRunning()) {
        return nothingIsDone && runner.walk().leftOut() == 0 ? 0 : 1;
    }
    const bool stopped = waitForEndOrSignal(owner, awaited, console, runner);
    console.clearProgress();
    const ConversionJob& job = *runner.currentJob();
    const bool allDone = !stopped && job.filesNotDone == 0 && job.filesDone > 0 &&
                         static_cast<size_t>(job.filesDone) == runner.walk().fileCount() &&
                         runner.walk().leftOut() == 0;
    runner.stopAndFinish();
    return allDone ? 0 : 1;
}

// The stored settings, as the window's Convert! uses them; written back at the end.
int convertStored(const sigset_t& awaited) {
    std::error_code error;
    if (!std::filesystem::exists(defaultSettingsFilePath(), error)) {
        std::fprintf(stderr,
                     "morvane-batch: nothing to convert: no settings are stored. Name the files "
                     "to convert (morvane-batch --help), or choose them in the window.\n");
        return 2;
    }
    SettingsStore& settings = processSettingsStore();
    ConversionLog& log = processLog();
    Console console(false);
    log.open();
    log.setWindow(console.window());
    loadAndValidate(settings);

    HeadlessOwner owner;
    EngineServices services{settings,
                            processProfileTable(),
                            processSourceFileList(),
                            log,
                            owner,
                            [&settings, &console](int status) {
                                console.clearProgress();
                                endProcess(settings, status);
                            }};
    const int status = runBatch(services, owner, awaited, console, false,
                                [](BatchRunner& runner) { runner.convertPressed(); });
    settings.writeAll();
    console.clearProgress();
    log.setWindow(nullptr);
    log.close();
    return status;
}

// The files and options of the command line, from the built-in defaults; no settings written.
int convertNamed(const CommandLineOptions& options, const sigset_t& awaited) {
    // The sources and the names of their outputs are checked before anything starts; with
    // --recursive, the sub-folders' files as the walk reaches them.
    const SourcePlan plan = planSources(options.sources);
    if (!plan.error.empty()) {
        return usageError(plan.error);
    }
    std::error_code error;
    std::filesystem::create_directories(options.outputFolder, error);
    if (!std::filesystem::is_directory(options.outputFolder, error)) {
        std::fprintf(stderr, "morvane-batch: cannot make the output folder '%s'\n",
                     options.outputFolder.c_str());
        return 1;
    }
    SettingsStore settings(nullptr);
    ProfileTable profiles;
    applyOptions(options, settings, profiles);
    ConversionLog log;
    Console console(options.quiet);
    log.open(options.logPath);
    log.setWindow(console.window());

    SourceFileList sources;
    HeadlessOwner owner;
    EngineServices services{settings, profiles, sources, log, owner, [&console](int exitStatus) {
                                console.clearProgress();
                                ::_exit(exitStatus);
                            }};
    if (options.threads >= 0) {
        services.encoderThreads = options.threads;
    }
    switch (options.watermark) {
        case WatermarkChoice::Searched:
            break;
        case WatermarkChoice::File:
            services.watermarkSearch = {options.watermarkPath};
            break;
        case WatermarkChoice::None:
            services.watermarkSearch.clear();
            break;
    }
    BatchSources batch;
    batch.roots = options.sources;
    batch.subFolders = options.recursive;
    batch.destination = options.outputFolder;
    // An output that exists is left alone unless --overwrite says otherwise.
    batch.skipExisting = !options.overwrite;
    const int status = runBatch(services, owner, awaited, console, true,
                                [&batch](BatchRunner& runner) { runner.startSources(batch); });
    console.clearProgress();
    log.setWindow(nullptr);
    log.close();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const ParsedCommandLine parsed =
        parseCommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
    switch (parsed.action) {
        case ParsedCommandLine::Action::Help:
            std::fputs(helpText().c_str(), stdout);
            return 0;
        case ParsedCommandLine::Action::Version:
            std::puts("morvane-batch (Morvane) " MORVANE_VERSION);
            return 0;
        case ParsedCommandLine::Action::UsageError:
            return usageError(parsed.error);
        case ParsedCommandLine::Action::ConvertStored:
        case ParsedCommandLine::Action::Convert:
            break;
    }

    // The stop signals and the end signal are taken by the main thread alone: block them
    // before any thread exists.
    sigset_t awaited;
    sigemptyset(&awaited);
    sigaddset(&awaited, SIGINT);
    sigaddset(&awaited, SIGTERM);
    sigaddset(&awaited, kEndSignal);
    pthread_sigmask(SIG_BLOCK, &awaited, nullptr);
    return parsed.action == ParsedCommandLine::Action::ConvertStored
               ? convertStored(awaited)
               : convertNamed(parsed.options, awaited);
}
