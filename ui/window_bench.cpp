// The window: how long it takes from nothing to its first paint, and what a long batch's log
// costs it. Targets: the first paint within 300 ms; 10,000 log lines shown without the window
// slowing down (the last line appended costs about what the first did).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>

#include "bench/steady_runs.h"
#include "settings/settings_file.h"
#include "settings/settings_rules.h"
#include "tests/support/temp_dir.h"
#include "ui/log_view.h"
#include "ui/main_dialog.h"

namespace morvane {
namespace {

constexpr int kLogLines = 10000;

// Notices the first paint of a widget.
class PaintWatch final : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
        painted = painted || event->type() == QEvent::Paint;
        return QObject::eventFilter(watched, event);
    }
};

// Nothing to the first paint: the settings are read, the dialog is made, shown and painted.
void dialogToFirstPaint(benchmark::State& state) {
    test::TempDir dir;
    for (auto _ : state) {
        SettingsStore settings(std::make_unique<FileSettingsBacking>(dir / "settings.reg"));
        ProfileTable profiles;
        SourceFileList sources;
        ConversionLog log;
        struct : ui::Desktop {
            std::vector<std::string> chooseFiles(std::string_view) override { return {}; }
            std::optional<std::string> chooseFolder(std::string_view, std::string_view) override {
                return {};
            }
            void warn(std::string_view, std::string_view) override {}
            void openAddress(std::string_view) override {}
            void openFile(std::string_view) override {}
            void notify(std::string_view, std::string_view) override {}
        } desktop;
        PaintWatch watch;
        ui::MainDialog dialog(settings, profiles, sources, log, desktop);
        dialog.installEventFilter(&watch);
        dialog.show();
        while (!watch.painted) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
        state.PauseTiming();
        dialog.removeEventFilter(&watch);
        state.ResumeTiming();
    }
}

// One file's texts, as a batch logs them, and three more lines: eight lines in all.
void logOneFile(LogWindow& window, int file) {
    const std::string source = "/home/ann/clips/holiday " + std::to_string(file) + ".avi";
    window.appendText("Converting initialization: ");
    window.appendLink(source);
    window.appendText("... done\nConverting process... ");
    window.appendText("done\n");
    window.appendText("Output filename: ");
    window.appendLink("/home/ann/flv/holiday " + std::to_string(file) + ".flv");
    window.appendText("\n");
    window.appendText("Real bitrate: 512.00 KBps\n\n");
    window.appendText("The next file\nfollows\n");
}

constexpr int kLinesPerFile = 8;

// A whole batch's log, from empty to 10,000 lines shown.
void tenThousandLines(benchmark::State& state) {
    for (auto _ : state) {
        ui::LogView view;
        view.resize(700, 120);
        view.show();
        for (int file = 0; file < kLogLines / kLinesPerFile; ++file) {
            logOneFile(view, file);
            QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
    }
    state.counters["lines"] = kLogLines;
}

// One more file's lines, shown, with 10,000 lines already there or none.
void oneMoreFile(benchmark::State& state) {
    ui::LogView view;
    view.resize(700, 120);
    view.show();
    for (int file = 0; file < state.range(0) / kLinesPerFile; ++file) {
        logOneFile(view, file);
    }
    QCoreApplication::processEvents();
    int file = 0;
    for (auto _ : state) {
        logOneFile(view, ++file);
        QCoreApplication::processEvents();
    }
}

BENCHMARK(dialogToFirstPaint)->Apply(steadily)->Iterations(5);
BENCHMARK(tenThousandLines)->Apply(steadily)->Iterations(1);
BENCHMARK(oneMoreFile)->Arg(0)->Arg(kLogLines)->Apply(steadily);

}  // namespace
}  // namespace morvane

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
