#pragma once

#include <QString>
#include <memory>
#include <string>

#include "ui/desktop.h"

class QWidget;

namespace morvane::ui {
class DesktopNotifications;
}

namespace morvane::ui {

// Paths between the program's bytes and Qt's text, as the file system names them.
QString pathToQString(std::string_view path);
std::string pathFromQString(const QString& path);

// The real boxes and choosers, owned by a window, and the desktop's default applications.
class QtDesktop final : public Desktop {
public:
    QtDesktop();
    ~QtDesktop() override;

    // The window that owns the boxes; may be set after construction.
    void setOwner(QWidget* owner) { owner_ = owner; }

    std::vector<std::string> chooseFiles(std::string_view title) override;
    std::optional<std::string> chooseFolder(std::string_view title,
                                            std::string_view start) override;
    void warn(std::string_view caption, std::string_view text) override;
    void openAddress(std::string_view address) override;
    void openFile(std::string_view path) override;
    // Through the session bus; activating the notification raises the owner.
    void notify(std::string_view summary, std::string_view body) override;

private:
    QWidget* owner_ = nullptr;
    // Made at the first notification, so that the bus costs the window's start nothing.
    std::unique_ptr<DesktopNotifications> notifications_;
};

}  // namespace morvane::ui
