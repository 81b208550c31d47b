// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DBusNotifier.h"

#include "ReminderTestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace TestSupport;

namespace {
const QString ServerConnection = QStringLiteral("fake-notification-server");

// A notification server of the test's own, on its own connection to the
// private bus: it keeps what it is asked to show and sends the signals a
// user's clicks would.
class FakeNotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call
    {
        QString appName;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        uint id = 0;
    };

    FakeNotificationServer()
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, ServerConnection))
    {
        m_bus.registerObject(DBusNotifier::Path, this, QDBusConnection::ExportScriptableSlots);
        registered = m_bus.interface()->registerService(DBusNotifier::Service).value()
            == QDBusConnectionInterface::ServiceRegistered;
    }
    ~FakeNotificationServer() override
    {
        m_bus.unregisterService(DBusNotifier::Service);
        m_bus.unregisterObject(DBusNotifier::Path);
        QDBusConnection::disconnectFromBus(ServerConnection);
    }

    void invoke(uint id, const QString &key)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            DBusNotifier::Path, QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
        signal << id << key;
        m_bus.send(signal);
    }
    void close(uint id)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            DBusNotifier::Path, QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("NotificationClosed"));
        signal << id << uint(2);
        m_bus.send(signal);
    }

    bool registered = false;
    QList<Call> calls;

public slots:
    Q_SCRIPTABLE uint Notify(const QString &appName, uint replacesId, const QString &appIcon, const QString &summary,
        const QString &body, const QStringList &actions, const QVariantMap &hints, int expireTimeout)
    {
        Q_UNUSED(replacesId);
        Q_UNUSED(expireTimeout);
        // Ids of the server's own numbering, unlike the notifier's.
        calls.append({appName, appIcon, summary, body, actions, hints, uint(100 + calls.size())});
        return calls.last().id;
    }
    Q_SCRIPTABLE QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }

private:
    QDBusConnection m_bus;
};

// Counts the warnings that reach the log.
int g_warnings = 0;
QtMessageHandler g_previous = nullptr;
void countingHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.contains(QStringLiteral("notification server")))
        ++g_warnings;
    if (g_previous)
        g_previous(type, context, message);
}
} // namespace

class RemindersBusTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!TestSupport::onPrivateBus())
            QFAIL("run through tests/with_session_bus.sh: this test owns names on the session bus");
        QVERIFY(QDBusConnection::sessionBus().isConnected());
    }

    // What the server is asked: brivane's name and icon, the actions in
    // order, the desktop entry, and a body whose markup is escaped.
    void notificationsReachTheServer()
    {
        FakeNotificationServer server;
        QVERIFY(server.registered);
        DBusNotifier notifier(QDBusConnection::sessionBus());
        Notification notification;
        notification.summary = QStringLiteral("Review <b>now</b>");
        notification.body = QStringLiteral("11:00\u201312:00 (in 10m)\nR&D <team>");
        notification.actions = {{QStringLiteral("join"), QStringLiteral("Join")},
            {QStringLiteral("snooze"), QStringLiteral("Snooze")}};
        const quint32 id = notifier.show(notification);
        QVERIFY(id != 0);
        QTRY_COMPARE(server.calls.size(), 1);
        const FakeNotificationServer::Call &call = server.calls.first();
        QCOMPARE(call.appName, QStringLiteral("brivane"));
        QCOMPARE(call.appIcon, QStringLiteral(BRIVANE_APP_ID));
        QCOMPARE(call.summary, notification.summary);
        QCOMPARE(call.body, QStringLiteral("11:00\u201312:00 (in 10m)\nR&amp;D &lt;team&gt;"));
        QCOMPARE(call.actions, (QStringList {"join", "Join", "snooze", "Snooze"}));
        QCOMPARE(call.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral(BRIVANE_APP_ID));

        // The server's signals come back under the notifier's own id.
        QSignalSpy invoked(&notifier, &Notifier::actionInvoked);
        QSignalSpy closed(&notifier, &Notifier::closed);
        server.invoke(call.id, QStringLiteral("join"));
        QVERIFY(invoked.wait(5000));
        QCOMPARE(invoked.first().at(0).value<quint32>(), id);
        QCOMPARE(invoked.first().at(1).toString(), QStringLiteral("join"));
        // Another program's notification is none of ours.
        server.invoke(call.id + 50, QStringLiteral("join"));
        server.close(call.id);
        QVERIFY(closed.wait(5000));
        QCOMPARE(invoked.size(), 1);
        QCOMPARE(closed.first().at(0).value<quint32>(), id);
    }

    // Scheduler, notifier and server together: the alarm reaches the
    // server at its time, and its Join opens the meeting.
    void aReminderIsJoinedThroughTheServer()
    {
        FakeNotificationServer server;
        QVERIFY(server.registered);
        const QTimeZone berlin("Europe/Berlin");
        ReminderRig rig(QDateTime(QDate(2026, 3, 25), QTime(10, 50), berlin));
        rig.fixture.addEvent("call.ics",
            singleEvent("UID:call\r\nSUMMARY:Standup\r\nDTSTART;TZID=Europe/Berlin:20260325T110000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T111500\r\nURL:https://meet.google.com/abc-defg-hij\r\n"
                        "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT5M\r\nEND:VALARM\r\n"));
        rig.fixture.start();
        DBusNotifier notifier(QDBusConnection::sessionBus());
        ReminderScheduler scheduler(
            *rig.fixture.store, rig.settings, rig.fixture.clock, notifier, rig.launcher, rig.cachePath);
        scheduler.start();
        QCOMPARE(scheduler.nextCheck(), QDateTime(QDate(2026, 3, 25), QTime(10, 55), berlin));
        rig.fixture.clock.setNow(QDateTime(QDate(2026, 3, 25), QTime(10, 55), berlin));
        scheduler.check();
        QTRY_COMPARE(server.calls.size(), 1);
        QCOMPARE(server.calls.first().summary, QStringLiteral("Standup"));
        QCOMPARE(server.calls.first().actions.value(0), QStringLiteral("join"));
        server.invoke(server.calls.first().id, QStringLiteral("join"));
        QTRY_COMPARE(rig.launcher.opened, QList<QUrl> {QUrl("https://meet.google.com/abc-defg-hij")});
    }

    // Without a server the first notification is warned about, once, and
    // the program goes on.
    void noServerWarnsOnce()
    {
        QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(DBusNotifier::Service).value());
        DBusNotifier notifier(QDBusConnection::sessionBus());
        QSignalSpy closed(&notifier, &Notifier::closed);
        g_warnings = 0;
        g_previous = qInstallMessageHandler(countingHandler);
        notifier.show({QStringLiteral("One"), {}, {}});
        notifier.show({QStringLiteral("Two"), {}, {}});
        const bool bothClosed = QTest::qWaitFor([&] { return closed.size() == 2; }, 10000);
        notifier.show({QStringLiteral("Three"), {}, {}});
        const bool thirdClosed = QTest::qWaitFor([&] { return closed.size() == 3; }, 10000);
        qInstallMessageHandler(g_previous);
        QVERIFY(bothClosed);
        QVERIFY(thirdClosed);
        QCOMPARE(g_warnings, 1);
    }
};

BRIVANE_TEST_MAIN(RemindersBusTest)
#include "tst_reminders_bus.moc"
