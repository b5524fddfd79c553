#include "ui/desktop_notifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace morvane::ui {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");

}  // namespace

DesktopNotifications::DesktopNotifications(const QDBusConnection& bus) : bus_(bus) {
    if (bus_.isConnected()) {
        bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                     SLOT(actionInvoked(uint, QString)));
    }
}

void DesktopNotifications::send(const QString& summary, const QString& body) {
    if (!bus_.isConnected()) {
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QString id = QString::fromLatin1(kApplicationId);
    call << QStringLiteral("Morvane") << 0u << id << summary << body
         << QStringList{kDefaultAction, QStringLiteral("Show Morvane")}
         << QVariantMap{{QStringLiteral("desktop-entry"), id}} << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                const QDBusPendingReply<uint> reply = *finished;
                if (reply.isValid()) {
                    shown_.insert(reply.value());
                }
                finished->deleteLater();
            });
}

void DesktopNotifications::actionInvoked(uint id, const QString& action) {
    if (action == kDefaultAction && shown_.contains(id) && onActivated) {
        onActivated();
    }
}

}  // namespace morvane::ui
