// morvane: the converter's window. The settings come from the settings file and go back to it
// when the window closes and again when the process ends. The files or folders named on the
// command line (as the desktop's "Open With" names them) become the source, as if dropped on
// the window.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "files/source_file_list.h"
#include "log/conversion_log.h"
#include "settings/process_settings.h"
#include "ui/accessible_names.h"
#include "ui/desktop_notifications.h"
#include "ui/main_dialog.h"
#include "ui/qt_desktop.h"

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// A desktop session always has a runtime folder; a bare X server (xvfb-run, a remote display)
// may not. Make the private one that Qt would fall back to, without its complaint.
void ensureRuntimeFolder() {
    if (isSet("XDG_RUNTIME_DIR")) {
        return;
    }
    const std::string folder = "/tmp/runtime-" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
    struct stat info {};
    if (::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
        (info.st_mode & 077) == 0) {
        ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    }
}

constexpr char kUsage[] =
    "Usage: morvane [FILE]...\n"
    "Open the window of Morvane, which converts video files into Flash Video (FLV) files.\n"
    "The FILEs (or folders) given become the sources to convert.\n"
    "To convert without a window, use morvane-batch.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("morvane (Morvane) " MORVANE_VERSION);
        return 0;
    }
    // A platform named by hand (offscreen, vnc, ...) needs no display of the desktop's.
    if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY") && !isSet("QT_QPA_PLATFORM")) {
        std::fputs(
            "morvane: there is no display to open the window on (DISPLAY and WAYLAND_DISPLAY "
            "are unset); to convert without a window, use morvane-batch.\n",
            stderr);
        return 1;
    }
    ensureRuntimeFolder();
    using namespace morvane;
    SettingsStore& settings = processSettingsStore();
    ProfileTable& profiles = processProfileTable();
    SourceFileList& sources = processSourceFileList();
    ConversionLog& log = processLog();
    log.open();

    // The command line is not the program's: none of it reaches Qt either.
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication application(qtArgc, argv);
    ui::installAccessibleNames();
    QGuiApplication::setDesktopFileName(QString::fromLatin1(ui::kApplicationId));
    QApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(ui::kApplicationId),
                                                 QIcon(QStringLiteral(":/morvane/icon.png"))));
    {
        ui::QtDesktop desktop;
        ui::MainDialog dialog(settings, profiles, sources, log, desktop);
        desktop.setOwner(&dialog);
        std::vector<std::string> given;
        for (int i = 1; i < argc; ++i) {
            std::error_code error;
            given.push_back(std::filesystem::absolute(argv[i], error).string());
        }
        if (!given.empty() && !dialog.controller().takeSources(given)) {
            std::fputs(
                "morvane: not taken as the source: each must be a file or a folder, and no "
                "two may write the same output name\n",
                stderr);
        }
        dialog.show();
        QApplication::exec();
    }
    log.close();
    return 0;
}
