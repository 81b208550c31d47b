// SPDX-License-Identifier: GPL-3.0-or-later
// The token items in a real Secret Service (GNOME Keyring in a private D-Bus
// session): written on connecting, read at start, removed on disconnecting;
// and the application's wiring, whose tokens expire by the real clock.
#include "TestSupport.h"

#include "ZohoTestSupport.h"
#include "app/ZohoCommand.h"
#include "app/ZohoServices.h"
#include "calendar/CalendarStore.h"
#include "settings/AppSettings.h"
#include "tools/fake-zoho/FakeZohoServer.h"
#include "zoho/QtKeychainStore.h"
#include "zoho/ZohoAuthManager.h"
#include "zoho/ZohoCache.h"

#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QSettings>

using namespace TestSupport;

class SecretServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!TestSupport::onPrivateBus())
            QSKIP("no D-Bus session: run through tests/with_secret_service.sh");
    }

    void itemsRoundTrip()
    {
        QtKeychainStore store(QStringLiteral("brivane.test"));
        QVERIFY(store.write("item", "välue with spaces & symbols"));
        QCOMPARE(QtKeychainStore(QStringLiteral("brivane.test")).read("item"),
            std::optional<QString>("välue with spaces & symbols"));
        QVERIFY(!QtKeychainStore(QStringLiteral("another.service")).read("item"));
        QVERIFY(store.remove("item"));
        QVERIFY(!store.read("item"));
        QVERIFY(store.remove("item")); // removing what is gone is fine
    }

    void connectingWritesTheTokensAndDisconnectingRemovesThem()
    {
        FakeZohoServer server;
        QVERIFY(server.start());
        server.addCode("code");
        QtKeychainStore secrets(ZohoKeychain::serviceName());
        ZohoKeychain keychain(secrets);
        QNetworkAccessManager network;
        SystemClock clock;
        const QUrl url = server.url();
        {
            ZohoAuthManager auth(keychain, network, clock, [url] { return url; });
            QVERIFY(!auth.isConnected());
            auth.exchangeCode("code");
            QVERIFY(waitFor([&] { return auth.isConnected(); }));
            QVERIFY(auth.tokensSurviveRestart());
        }
        // Read back by a fresh store, as after a restart.
        QtKeychainStore fresh(ZohoKeychain::serviceName());
        QVERIFY(fresh.read("accessToken").has_value());
        QVERIFY(fresh.read("refreshToken").has_value());
        bool isNumber = false;
        fresh.read("tokenExpiry").value_or(QString()).toDouble(&isNumber);
        QVERIFY(isNumber);

        ZohoKeychain freshKeychain(fresh);
        ZohoAuthManager restarted(freshKeychain, network, clock, [url] { return url; });
        QVERIFY(restarted.isConnected());
        restarted.disconnect();
        for (const char *account : {"accessToken", "refreshToken", "tokenExpiry"})
            QVERIFY2(!QtKeychainStore(ZohoKeychain::serviceName()).read(account), account);
    }

    // A command's `--at` moves the events' now, never the tokens' lifetime:
    // a token with half a minute left is refreshed whatever `--at` says, and
    // one with an hour left is not, even a year ahead.
    void tokenExpiryFollowsTheRealClock()
    {
        FakeZohoServer server;
        QVERIFY(server.start());
        server.addCode("code");
        server.setCalendars(QJsonArray {QJsonObject {{"uid", "work"}, {"calname", "Work"}}});
        server.setTokenLifetime(30);
        QTemporaryDir config;
        const QString settingsPath = config.path() + "/brivane.conf";
        {
            QSettings file(settingsPath, QSettings::IniFormat);
            file.setValue("zohoAccountsURL", server.url().toString());
            file.setValue("zohoCalendarURL", server.url().toString());
        }
        AppSettings settings(settingsPath);
        const QDateTime realNow = QDateTime::currentDateTimeUtc();
        auto syncWith = [&](const QDateTime &at) {
            const FixedClock commandClock(at);
            return ZohoServices(settings, commandClock, ZohoServices::Use::Command).syncAndWait();
        };
        const SystemClock systemClock;
        {
            ZohoServices zoho(settings, systemClock, ZohoServices::Use::Command);
            zoho.auth().exchangeCode("code"); // a token for 30 seconds
            QVERIFY(waitFor([&] { return zoho.auth().isConnected(); }));
        }
        server.setTokenLifetime(3600);
        QCOMPARE(syncWith(realNow.addDays(-30)), QString());
        QCOMPARE(server.refreshCount(), 1);
        const QString refreshed = QtKeychainStore(ZohoKeychain::serviceName()).read("accessToken").value_or(QString());
        QCOMPARE(server.requestsTo("/api/v1/calendars").first().headers.value("authorization"),
            "Zoho-oauthtoken " + refreshed.toUtf8());

        QCOMPARE(syncWith(realNow.addDays(365)), QString());
        QCOMPARE(server.refreshCount(), 1);
        ZohoServices(settings, systemClock, ZohoServices::Use::Command).auth().disconnect();
    }

    // The program's own wiring keeps the last sync in the cache folder: the
    // next start without the network has it at once, `zoho status` says
    // so, an agenda of another moment does not overwrite it, and
    // disconnecting removes it.
    void theLastSyncIsThereAtTheNextStart()
    {
        FakeZohoServer server;
        QVERIFY(server.start());
        server.addCode("code");
        server.setCalendars(QJsonArray {QJsonObject {{"uid", "work"}, {"calname", "Work"}}});
        const QDateTime realNow = QDateTime::currentDateTimeUtc();
        const auto zohoTime = [](const QDateTime &moment) { return moment.toString("yyyyMMdd'T'HHmmss'Z'"); };
        server.setEvents("work",
            QJsonArray {TestSupport::zohoEventJson(
                "k", "Kept", zohoTime(realNow.addSecs(3600)), zohoTime(realNow.addSecs(7200)))});
        // The shared settings, as `brivane zoho status` reads them.
        {
            QSettings file(AppSettings::defaultFilePath(), QSettings::IniFormat);
            file.setValue("zohoAccountsURL", server.url().toString());
            file.setValue("zohoCalendarURL", server.url().toString());
        }
        AppSettings &settings = AppSettings::shared();
        const SystemClock clock;
        const QString cache = ZohoCache::defaultPath();
        QVERIFY(!QFile::exists(cache));
        {
            ZohoServices zoho(settings, clock, ZohoServices::Use::Command);
            QVERIFY(!zoho.calendars().isFromCache());
            zoho.auth().exchangeCode("code");
            QVERIFY(waitFor([&] { return zoho.auth().isConnected(); }));
            QCOMPARE(zoho.syncAndWait(), QString());
        }
        QVERIFY(QFile::exists(cache));
        const QByteArray kept = readFile(cache);
        QVERIFY(!kept.contains(QtKeychainStore(ZohoKeychain::serviceName()).read("refreshToken")->toUtf8()));

        server.setCalendarsFailure(FakeZohoServer::Failure::Reset);
        {
            ZohoServices zoho(settings, clock, ZohoServices::Use::Command);
            QVERIFY(zoho.calendars().isFromCache());
            CalendarStore store;
            zoho.addProviderTo(store);
            const QList<CalendarEvent> events = store.events(realNow, realNow.addDays(1));
            QCOMPARE(events.size(), 1);
            QCOMPARE(events[0].title, QStringLiteral("Kept"));
            QCOMPARE(events[0].calendarId, QStringLiteral("zoho:work"));
            QVERIFY(!zoho.syncAndWait().isEmpty());
            QVERIFY(zoho.calendars().isFromCache());
        }
        QString out, err;
        {
            QTextStream outStream(&out), errStream(&err);
            QCOMPARE(runZohoCommand({"zoho", "status"}, outStream, errStream), 1); // the list could not be read
        }
        QVERIFY2(out.contains("Showing the last sync's calendars and events, from "), qPrintable(out));

        // A sync of another moment (`--at`) leaves the kept week as it is.
        server.setCalendarsFailure(FakeZohoServer::Failure::None);
        server.setEvents("work", QJsonArray {});
        {
            const FixedClock elsewhere(realNow.addDays(40));
            ZohoServices zoho(settings, elsewhere, ZohoServices::Use::Command);
            QCOMPARE(zoho.syncAndWait(), QString());
        }
        QCOMPARE(readFile(cache), kept);
        // The real week's sync replaces it.
        {
            ZohoServices zoho(settings, clock, ZohoServices::Use::Command);
            QCOMPARE(zoho.syncAndWait(), QString());
            QVERIFY(!zoho.calendars().isFromCache());
        }
        QVERIFY(readFile(cache) != kept);
        QVERIFY(!readFile(cache).contains("Kept"));

        ZohoServices(settings, clock, ZohoServices::Use::Command).auth().disconnect();
        QVERIFY(!QFile::exists(cache));
        ZohoServices::forgetRecordedSync();
    }

    // Settings from before the note of the connection (`zohoConnected`): a
    // recorded sync, or hidden Zoho calendars, tell that Zoho was connected;
    // the keyring is asked once and its answer noted. Without either sign it
    // is not asked at all.
    void connectionFromBeforeTheNoteIsKept()
    {
        FakeZohoServer server;
        QVERIFY(server.start());
        server.addCode("code");
        server.setCalendars(QJsonArray {QJsonObject {{"uid", "work"}, {"calname", "Work"}}});
        QTemporaryDir config;
        const QString settingsPath = config.path() + "/brivane.conf";
        {
            QSettings file(settingsPath, QSettings::IniFormat);
            file.setValue("zohoAccountsURL", server.url().toString());
            file.setValue("zohoCalendarURL", server.url().toString());
        }
        const SystemClock clock;
        {
            AppSettings settings(settingsPath);
            ZohoServices zoho(settings, clock, ZohoServices::Use::Command);
            zoho.auth().exchangeCode("code");
            QVERIFY(waitFor([&] { return zoho.auth().isConnected(); }));
            QCOMPARE(settings.zohoConnected(), std::optional<bool>(true));
            QCOMPARE(zoho.syncAndWait(), QString()); // recorded
        }
        auto forgetTheNote = [&] { QSettings(settingsPath, QSettings::IniFormat).remove("zohoConnected"); };
        auto connectedAtStart = [&] {
            AppSettings settings(settingsPath);
            return ZohoServices(settings, clock, ZohoServices::Use::Command).auth().isConnected();
        };
        forgetTheNote();
        QVERIFY(connectedAtStart());
        QCOMPARE(AppSettings(settingsPath).zohoConnected(), std::optional<bool>(true));

        forgetTheNote();
        ZohoServices::forgetRecordedSync();
        QVERIFY(!connectedAtStart());
        QVERIFY(!AppSettings(settingsPath).zohoConnected().has_value());
        QVERIFY(QtKeychainStore(ZohoKeychain::serviceName()).read("refreshToken").has_value()); // never asked

        // A file from before the note that hid a Zoho calendar, in the old key.
        QSettings(settingsPath, QSettings::IniFormat).setValue("hiddenZohoCalendarIDs", "work");
        QVERIFY(connectedAtStart());
        QCOMPARE(AppSettings(settingsPath).zohoConnected(), std::optional<bool>(true));

        AppSettings settings(settingsPath);
        ZohoServices(settings, clock, ZohoServices::Use::Command).auth().disconnect();
        QCOMPARE(settings.zohoConnected(), std::optional<bool>(false));
        QVERIFY(!QtKeychainStore(ZohoKeychain::serviceName()).read("refreshToken").has_value());
    }
};

BRIVANE_TEST_MAIN(SecretServiceTest)
#include "tst_secretservice.moc"
