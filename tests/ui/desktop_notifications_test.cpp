// Notifications as the desktop's notification service receives them, on a private session bus
// (the test runs under dbus-run-session), with a fake service on a connection of its own.
#include "ui/desktop_notifications.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusMessage>
#include <QStringList>
#include <QTest>
#include <QVariantMap>
#include <string>
#include <vector>

namespace morvane::ui {
namespace {

class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    static constexpr uint kId = 42;
    std::vector<std::string> received;  // application|icon|summary|body|action|desktop entry

public Q_SLOTS:
    QStringList GetCapabilities() { return {"actions", "body", "body-markup"}; }
    uint Notify(const QString& application, uint, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int) {
        const QString entry = hints.value("desktop-entry").toString();
        const QStringList got{application, icon, summary, body, actions.value(0), entry};
        received.push_back(got.join('|').toStdString());
        return kId;
    }
};

TEST(DesktopNotifications, ReachTheServiceAndAnswerTheirOwnActivationOnly) {
    QDBusConnection serviceSide =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-notifications");
    ASSERT_TRUE(serviceSide.isConnected()) << "no session bus: run under dbus-run-session";
    FakeNotificationService service;
    ASSERT_TRUE(serviceSide.registerObject("/org/freedesktop/Notifications", &service,
                                           QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(serviceSide.registerService("org.freedesktop.Notifications"));

    DesktopNotifications notifications(QDBusConnection::sessionBus());
    int activations = 0;
    notifications.onActivated = [&activations] { ++activations; };
    notifications.send("2 files converted, 1 failed", "/home/ann/Tom & Jerry");
    ASSERT_TRUE(QTest::qWaitFor([&] { return notifications.shownCount() == 1; }, 30000))
        << "the service did not take the notification within 30 s";
    const std::string app = kApplicationId;
    // The body is escaped for a service that reads markup.
    const std::string expected =
        "Morvane|" + app + "|2 files converted, 1 failed|/home/ann/Tom &amp; Jerry|default|" + app;
    EXPECT_EQ(service.received, std::vector{expected});

    // Another program's activation, then this one's.
    for (const uint id : {FakeNotificationService::kId + 1, FakeNotificationService::kId}) {
        QDBusMessage signal = QDBusMessage::createSignal(
            "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
        signal << id << QStringLiteral("default");
        serviceSide.send(signal);
    }
    // The bus keeps the order of one sender's signals: the other program's has come by then.
    ASSERT_TRUE(QTest::qWaitFor([&] { return activations > 0; }, 30000))
        << "the activation did not arrive within 30 s";
    EXPECT_EQ(activations, 1) << "another program's notification raised the dialog";

    // Without a bus nothing is sent and nothing fails.
    DesktopNotifications unconnected(QDBusConnection(QStringLiteral("no such connection")));
    unconnected.send("1 file converted", "/tmp");
    EXPECT_EQ(unconnected.shownCount(), 0);
    QDBusConnection::disconnectFromBus("fake-notifications");
}

}  // namespace
}  // namespace morvane::ui

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "desktop_notifications_test.moc"
