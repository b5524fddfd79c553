#include "ui/qt_desktop.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>
#include <QWidget>
#include <cstdlib>
#include <filesystem>

#include "ui/desktop_notifications.h"

namespace morvane::ui {
namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Whether a session bus is known. Without one, libdbus would try to start a bus of its own.
bool hasSessionBus() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && address[0] != '\0') {
        return true;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code error;
    return runtime != nullptr && runtime[0] == '/' &&
           std::filesystem::is_socket(std::filesystem::path(runtime) / "bus", error);
}

}  // namespace

QString pathToQString(std::string_view path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string pathFromQString(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

std::vector<std::string> QtDesktop::chooseFiles(std::string_view title) {
    QFileDialog dialog(owner_, fromUtf8(title));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    // Shown as "All files(*.*)", but taking every file: on this system many have no dot.
    dialog.setNameFilter(QStringLiteral("All files(*.*)(*)"));
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    std::vector<std::string> files;
    if (dialog.exec() == QDialog::Accepted) {
        for (const QString& file : dialog.selectedFiles()) {
            files.push_back(pathFromQString(file));
        }
    }
    return files;
}

std::optional<std::string> QtDesktop::chooseFolder(std::string_view title, std::string_view start) {
    const QString folder =
        QFileDialog::getExistingDirectory(owner_, fromUtf8(title), pathToQString(start));
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return pathFromQString(folder);
}

void QtDesktop::warn(std::string_view caption, std::string_view text) {
    QMessageBox::warning(owner_, fromUtf8(caption), fromUtf8(text));
}

void QtDesktop::openAddress(std::string_view address) {
    QDesktopServices::openUrl(QUrl(fromUtf8(address)));
}

void QtDesktop::openFile(std::string_view path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(pathToQString(path)));
}

QtDesktop::QtDesktop() = default;
QtDesktop::~QtDesktop() = default;

void QtDesktop::notify(std::string_view summary, std::string_view body) {
    if (!notifications_) {
        if (!hasSessionBus()) {
            return;
        }
        notifications_ = std::make_unique<DesktopNotifications>(QDBusConnection::sessionBus());
        notifications_->onActivated = [this] {
            if (owner_ != nullptr) {
                owner_->showNormal();
                owner_->raise();
                owner_->activateWindow();
            }
        };
    }
    notifications_->send(fromUtf8(summary), fromUtf8(body));
}

}  // namespace morvane::ui
