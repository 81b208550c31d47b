// The token items in a real Secret Service (GNOME Keyring in a private D-Bus
// session): written on connecting, read at start, removed on disconnecting.
#include "TestSupport.h"

#include "tools/fake-zoho/FakeZohoServer.h"
#include "zoho/QtKeychainStore.h"
#include "zoho/ZohoAuthManager.h"

#include <QNetworkAccessManager>

using namespace TestSupport;

class SecretServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
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
};

BRIVANE_TEST_MAIN(SecretServiceTest)
#include "tst_secretservice.moc"
