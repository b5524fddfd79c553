#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

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
    // Calls `method` with `arguments` without waiting; `answered` gets the reply, if any.
    void call(const QString& method, const QList<QVariant>& arguments,
              std::function<void(const QDBusMessage&)> answered);
    void notify(const QString& summary, const QString& body);

    QDBusConnection bus_;
    QSet<uint> shown_;
    // Whether the service reads markup in a body, so that the body's text must be escaped;
    // asked once.
    std::optional<bool> bodyMarkup_;
};

}  // namespace morvane::ui
