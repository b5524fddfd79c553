#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QSet>
#include <QString>
#include <functional>

namespace morvane::ui {

// The program's application id: its desktop entry's name, its icon's name.
inline constexpr char kApplicationId[] = "org.morvane.Morvane";

// Notifications through the desktop's notification service (org.freedesktop.Notifications)
// on a bus. Nothing happens without a bus or a service, and nothing waits for them: the calls
// are asynchronous.
class DesktopNotifications final : public QObject {
    Q_OBJECT

public:
    explicit DesktopNotifications(const QDBusConnection& bus);

    // Shows a notification whose default action, when the user activates it, calls onActivated.
    void send(const QString& summary, const QString& body);
    // How many notifications the service has taken.
    qsizetype shownCount() const { return shown_.size(); }

    std::function<void()> onActivated;

private Q_SLOTS:
    void actionInvoked(uint id, const QString& action);

private:
    QDBusConnection bus_;
    QSet<uint> shown_;
};

}  // namespace morvane::ui
