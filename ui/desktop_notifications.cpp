#include "ui/desktop_notifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
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
    if (bodyMarkup_) {
        notify(summary, body);
        return;
    }
    call(QStringLiteral("GetCapabilities"), {}, [this, summary, body](const QDBusMessage& reply) {
        if (reply.type() != QDBusMessage::ReplyMessage) {
            return;  // no service
        }
        bodyMarkup_ =
            reply.arguments().value(0).toStringList().contains(QStringLiteral("body-markup"));
        notify(summary, body);
    });
}

void DesktopNotifications::notify(const QString& summary, const QString& body) {
    const QString id = QString::fromLatin1(kApplicationId);
    // Where the service reads markup, a folder named "Tom & Jerry" must still show as such.
    const QString shownBody = bodyMarkup_.value_or(false) ? body.toHtmlEscaped() : body;
    call(QStringLiteral("Notify"),
         {QStringLiteral("Morvane"), 0u, id, summary, shownBody,
          QStringList{kDefaultAction, QStringLiteral("Show Morvane")},
          QVariantMap{{QStringLiteral("desktop-entry"), id}}, -1},
         [this](const QDBusMessage& reply) {
             if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                 shown_.insert(reply.arguments().front().toUInt());
             }
         });
}

void DesktopNotifications::call(const QString& method, const QList<QVariant>& arguments,
                                std::function<void(const QDBusMessage&)> answered) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [answered = std::move(answered)](QDBusPendingCallWatcher* finished) {
                answered(finished->reply());
                finished->deleteLater();
            });
}

void DesktopNotifications::actionInvoked(uint id, const QString& action) {
    if (action == kDefaultAction && shown_.contains(id) && onActivated) {
        onActivated();
    }
}

}  // namespace morvane::ui
