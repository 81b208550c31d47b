// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's keyring is asked for Zoho's tokens only once Zoho has been
// connected: starting brivane, or a command, never wakes it (nor starts its
// daemon) otherwise. The Secret Service here is the test's own stand-in on a
// private session bus (tests/with_session_bus.sh), which notes every call
// made to it and refuses each.
#include "TestSupport.h"

#include "app/InstanceClient.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QSettings>

using namespace TestSupport;

namespace {

class SecretServiceStandIn final : public QDBusVirtualObject
{
public:
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        calls.append(message.interface() + QLatin1Char('.') + message.member());
        connection.send(message.createErrorReply(
            QStringLiteral("org.freedesktop.DBus.Error.NotSupported"), QStringLiteral("a test's stand-in")));
        return true;
    }

    QStringList calls;
};

} // namespace

class KeyringUseTest : public QObject
{
    Q_OBJECT

    SecretServiceStandIn m_secrets;
    QString m_settingsPath;

    // Runs a command to its end while this process answers on the bus.
    static int run(const QString &program, const QStringList &arguments, const QStringList &extraEnvironment = {})
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString &assignment : extraEnvironment)
            environment.insert(assignment.section('=', 0, 0), assignment.section('=', 1));
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        if (!waitFor([&] { return process.state() == QProcess::NotRunning; }, 60000))
            return -1;
        return process.exitCode();
    }

    void setNote(const QVariant &connected)
    {
        QSettings file(m_settingsPath, QSettings::IniFormat);
        if (connected.isValid())
            file.setValue("zohoConnected", connected);
        else
            file.remove("zohoConnected");
    }

private slots:
    void initTestCase()
    {
        if (!TestSupport::onPrivateBus())
            QSKIP("needs a private D-Bus session: run through tests/with_session_bus.sh");
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.registerVirtualObject("/", &m_secrets, QDBusConnection::SubPath));
        QVERIFY(bus.registerService("org.freedesktop.secrets"));
        // The program's own folders (the test's XDG folders), so that its
        // settings are the ones written here and its instance answers.
        QStandardPaths::setTestModeEnabled(false);
        m_settingsPath = InstanceClient::settingsFilePath();
        writeFile(m_settingsPath, "[General]\nonboardingComplete=true\n");
    }

    void init() { m_secrets.calls.clear(); }

    // The check itself: a command whose settings say Zoho is connected asks.
    void connectedZohoAsksTheKeyring()
    {
        setNote(true);
        QCOMPARE(run(QStringLiteral(BRIVANE_BINARY), {"zoho", "status"}), 0);
        QVERIFY(!m_secrets.calls.isEmpty());
        setNote({});
    }

    void commandsLeaveTheKeyringAlone_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("agenda") << QStringList {"agenda", "--at", "2026-03-25T09:00:00"};
        QTest::newRow("add") << QStringList {"add", "Dentist", "--start", "2026-03-27T14:30"};
        QTest::newRow("zoho status") << QStringList {"zoho", "status"};
    }
    void commandsLeaveTheKeyringAlone()
    {
        QFETCH(QStringList, arguments);
        QCOMPARE(run(QStringLiteral(BRIVANE_BINARY), arguments, {"BRIVANE_NO_INSTANCE=1"}), 0);
        QCOMPARE(m_secrets.calls, QStringList());
        setNote(false);
        QCOMPARE(run(QStringLiteral(BRIVANE_BINARY), arguments, {"BRIVANE_NO_INSTANCE=1"}), 0);
        QCOMPARE(m_secrets.calls, QStringList());
        setNote({});
    }

    // The tray application, started as a user would, up and answering (it
    // answers agendas only once its Zoho part is made, tokens looked up).
    void startingTheApplicationLeavesTheKeyringAlone()
    {
        QProcess application;
        application.setProcessChannelMode(QProcess::ForwardedChannels);
        application.start(QStringLiteral(BRIVANE_BINARY), {});
        QVERIFY(application.waitForStarted());
        // A day the instance keeps at hand: near the real today.
        const QStringList agenda {"brivane", "--at", QDate::currentDate().toString(Qt::ISODate) + "T09:00:00"};
        QVERIFY(waitFor(
            [&] { return InstanceClient::ask(InstanceClient::socketPath(), "agenda", agenda, 200).has_value(); },
            30000));
        QCOMPARE(m_secrets.calls, QStringList());
        application.terminate();
        QVERIFY(waitFor([&] { return application.state() == QProcess::NotRunning; }, 10000));
    }
};

BRIVANE_TEST_MAIN(KeyringUseTest)
#include "tst_keyringuse.moc"
