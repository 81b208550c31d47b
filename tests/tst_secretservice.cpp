// SPDX-License-Identifier: GPL-3.0-or-later
// The token items in a real Secret Service (GNOME Keyring in a private D-Bus
// session): written on connecting, read at start, removed on disconnecting;
// and the application's wiring, whose tokens expire by the real clock.
#include "TestSupport.h"

#include "app/ZohoServices.h"
#include "settings/AppSettings.h"
#include "tools/fake-zoho/FakeZohoServer.h"
#include "zoho/QtKeychainStore.h"
#include "zoho/ZohoAuthManager.h"

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
