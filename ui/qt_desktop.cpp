#include "ui/qt_desktop.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace morvane::ui {
namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString pathToQString(std::string_view path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string pathFromQString(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

std::optional<std::string> QtDesktop::chooseFile(std::string_view title) {
    QFileDialog dialog(owner_, fromUtf8(title));
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Shown as "All files(*.*)", but taking every file: on this system many have no dot.
    dialog.setNameFilter(QStringLiteral("All files(*.*)(*)"));
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return pathFromQString(dialog.selectedFiles().front());
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

}  // namespace morvane::ui
