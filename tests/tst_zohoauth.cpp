// SPDX-License-Identifier: GPL-3.0-or-later
// Connecting to Zoho: the code exchange, the token store, refreshing, and
// every way the accounts server can answer, hostile ones included, against a
// fake server over HTTP that speaks either the original contract or Zoho's
// published API (every test runs with both).
#include "TestSupport.h"
#include "ZohoTestSupport.h"

#include "zoho/ZohoAuthManager.h"

#include <QNetworkAccessManager>

namespace {
const QTimeZone Berlin("Europe/Berlin");
using SecretItems = QHash<QString, QString>;
using Failure = FakeZohoServer::Failure;
} // namespace

class ZohoAuthTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeZohoServer> m_server;
    std::unique_ptr<MemorySecretStore> m_secrets;
    std::unique_ptr<ZohoKeychain> m_keychain;
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::unique_ptr<FixedClock> m_clock;
    QUrl m_accountsUrl;

    std::unique_ptr<ZohoAuthManager> makeManager()
    {
        m_keychain = std::make_unique<ZohoKeychain>(*m_secrets);
        auto manager
            = std::make_unique<ZohoAuthManager>(*m_keychain, *m_network, *m_clock, [this] { return m_accountsUrl; });
        manager->setRequestTimeout(3000);
        return manager;
    }

    // Runs an exchange to its end.
    static void exchange(ZohoAuthManager &manager, const QString &code)
    {
        manager.exchangeCode(code);
        QTRY_VERIFY_WITH_TIMEOUT(!manager.isExchanging(), 5000);
    }

    // A manager connected with a code the server knows.
    std::unique_ptr<ZohoAuthManager> connectedManager()
    {
        m_server->addCode(QStringLiteral("c"));
        auto manager = makeManager();
        exchange(*manager, QStringLiteral("c"));
        return manager;
    }

    static ZohoAuthManager::TokenResult tokenFrom(ZohoAuthManager &manager)
    {
        std::optional<ZohoAuthManager::TokenResult> result;
        manager.validAccessToken([&](const ZohoAuthManager::TokenResult &r) { result = r; });
        if (!TestSupport::waitFor([&] { return result.has_value(); }))
            return {{}, ZohoError::other(QStringLiteral("no answer in time"))};
        return *result;
    }

    void storeTokens(qint64 secondsLeft, const QString &refreshToken = QStringLiteral("refresh-known"))
    {
        m_secrets->items = {{"accessToken", "stored-access"}, {"refreshToken", refreshToken},
            {"tokenExpiry", ZohoKeychain::expiryText(m_clock->now().addSecs(secondsLeft))}};
    }

private slots:
    void initTestCase_data()
    {
        QTest::addColumn<int>("dialect");
        QTest::newRow("original") << int(FakeZohoServer::Dialect::Original);
        QTest::newRow("documented") << int(FakeZohoServer::Dialect::Documented);
    }

    void init()
    {
        QFETCH_GLOBAL(int, dialect);
        m_server = std::make_unique<FakeZohoServer>();
        m_server->setDialect(FakeZohoServer::Dialect(dialect));
        m_server->setTrickleMilliseconds(100);
        QVERIFY(m_server->start());
        m_accountsUrl = m_server->url();
        m_secrets = std::make_unique<MemorySecretStore>();
        m_network = std::make_unique<QNetworkAccessManager>();
        m_clock = std::make_unique<FixedClock>(QDateTime(QDate(2026, 3, 25), QTime(10, 0), Berlin), Berlin);
    }

    void blankCodeChangesNothingAndSendsNothing()
    {
        auto manager = makeManager();
        QSignalSpy exchanging(manager.get(), &ZohoAuthManager::isExchangingChanged);
        manager->exchangeCode(QStringLiteral("  \n\t "));
        QCOMPARE(exchanging.size(), 0);
        QVERIFY(!manager->isConnected());
        // A real exchange after it: its request is the only one the server saw.
        m_server->addCode(QStringLiteral("c"));
        exchange(*manager, QStringLiteral("c"));
        QVERIFY(manager->isConnected());
        QCOMPARE(m_server->requests().size(), 1);
    }

    void exchangeStoresTokensAndAnnouncesTheConnection()
    {
        m_server->addCode(QStringLiteral("1000.abc"));
        auto manager = makeManager();
        QSignalSpy connected(manager.get(), &ZohoAuthManager::zohoConnected);
        manager->setShowingCodeEntry(true);
        exchange(*manager, QStringLiteral("  1000.abc\n"));

        QVERIFY2(manager->error().isEmpty(), qPrintable(manager->error()));
        QVERIFY(manager->isConnected());
        QVERIFY(!manager->showingCodeEntry());
        QCOMPARE(connected.size(), 1);
        QCOMPARE(m_secrets->items.value("accessToken"), manager->tokens()->accessToken);
        QCOMPARE(m_secrets->items.value("refreshToken"), manager->tokens()->refreshToken);
        QCOMPARE(
            m_secrets->items.value("tokenExpiry").toDouble(), double(m_clock->now().addSecs(3600).toSecsSinceEpoch()));

        const FakeZohoServer::RecordedRequest request = m_server->requestsTo("/oauth/v2/token").value(0);
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.headers.value("content-type"), QByteArray("application/x-www-form-urlencoded"));
        QVERIFY(request.body.contains("code=1000.abc&") || request.body.endsWith("code=1000.abc"));
        QVERIFY(request.body.contains("grant_type=authorization_code"));
        QVERIFY(request.body.contains("client_id=YOUR_CLIENT_ID"));

        // A new manager over the same store is connected at once.
        auto restarted = makeManager();
        QVERIFY(restarted->isConnected());
        QCOMPARE(restarted->tokens()->accessToken, manager->tokens()->accessToken);
    }

    void statedLifetimeIsBounded()
    {
        m_server->addCode(QStringLiteral("good"));
        m_server->setExchangeBody(R"({"access_token":"a","refresh_token":"r","expires_in":9007199254740992})");
        auto manager = makeManager();
        exchange(*manager, QStringLiteral("good"));
        QVERIFY2(manager->isConnected(), qPrintable(manager->error()));
        QCOMPARE(manager->tokens()->expiryDate, m_clock->now().addSecs(ZohoAuthManager::LongestTokenLifetimeSeconds));
    }

    // Codes and tokens hold characters that mean something in a form body.
    void formValuesAreEncoded()
    {
        const QString code = QStringLiteral("1000.a&b=c+d/e%f g");
        m_server->addCode(code);
        auto manager = makeManager();
        exchange(*manager, code);
        QVERIFY2(manager->isConnected(), qPrintable(manager->error()));
    }

    void exchangeFailures_data()
    {
        QTest::addColumn<int>("failure");
        QTest::addColumn<QByteArray>("exchangeBody");
        QTest::addColumn<QString>("expectedError"); // prefix
        using F = FakeZohoServer::Failure;
        QTest::newRow("error string") << int(F::ErrorJson200) << QByteArray() << QString("Token error: invalid_code");
        QTest::newRow("unknown code") << int(F::None) << QByteArray() << QString("Token error: invalid_code");
        QTest::newRow("JSON array") << int(F::JsonArray) << QByteArray() << QString("Token error: Invalid response");
        QTest::newRow("no refresh token")
            << int(F::None) << QByteArray(R"({"access_token":"secret-access","expires_in":3600})")
            << QString(R"(Token error: Unexpected response: {"access_token":"…","expires_in":3600})");
        QTest::newRow("expires_in as text")
            << int(F::None) << QByteArray(R"({"access_token":"a","refresh_token":"r","expires_in":"3600"})")
            << QString("Token error: Unexpected response: ");
        QTest::newRow("expires_in beyond any integer")
            << int(F::None) << QByteArray(R"({"access_token":"a","refresh_token":"r","expires_in":3.6e31})")
            << QString("Token error: Unexpected response: ");
        QTest::newRow("expires_in a fraction")
            << int(F::None) << QByteArray(R"({"access_token":"a","refresh_token":"r","expires_in":3600.5})")
            << QString("Token error: Unexpected response: ");
        QTest::newRow("not JSON") << int(F::NotJson) << QByteArray()
                                  << QString("Token error: Zoho answered with something that is not JSON");
        QTest::newRow("status 500") << int(F::Status500) << QByteArray()
                                    << QString("Token error: Zoho answered 500 Internal Server Error");
        QTest::newRow("no answer") << int(F::NeverAnswer) << QByteArray() << QString("The request timed out.");
        QTest::newRow("trickle") << int(F::Trickle) << QByteArray() << QString("The request timed out.");
        QTest::newRow("reset") << int(F::Reset) << QByteArray() << QString("Connection reset by the server");
        QTest::newRow("large") << int(F::LargeBody) << QByteArray()
                               << QString("Zoho's answer is larger than 4 MB; it was not read");
        // A token that would end its header and smuggle a request in.
        QTest::newRow("token with CR LF") << int(F::TokenWithCrLf) << QByteArray()
                                          << QString(R"(Token error: Unexpected response: {"access_token":"…")");
        QTest::newRow("token with a space")
            << int(F::None) << QByteArray(R"({"access_token":"a b","refresh_token":"r","expires_in":3600})")
            << QString("Token error: Unexpected response: ");
        QTest::newRow("refresh token with a tab")
            << int(F::None) << QByteArray(R"({"access_token":"a","refresh_token":"r\tX: y","expires_in":3600})")
            << QString("Token error: Unexpected response: ");
        QTest::newRow("long body is cut short")
            << int(F::None) << QByteArray("{\"note\":\"" + QByteArray(5000, 'n') + "\"}")
            << QString("Token error: Unexpected response: {\"note\":\"nnnn");
    }
    void exchangeFailures()
    {
        QFETCH(int, failure);
        QFETCH(QByteArray, exchangeBody);
        QFETCH(QString, expectedError);
        if (QByteArray(QTest::currentDataTag()) != "unknown code")
            m_server->addCode(QStringLiteral("good"));
        m_server->setTokenFailure(FakeZohoServer::Failure(failure));
        m_server->setExchangeBody(exchangeBody);
        auto manager = makeManager();
        QSignalSpy connected(manager.get(), &ZohoAuthManager::zohoConnected);
        exchange(*manager, QStringLiteral("good"));

        QVERIFY(!manager->error().isEmpty());
        QVERIFY2(manager->error().startsWith(expectedError), qPrintable(manager->error()));
        QVERIFY(!manager->error().contains("secret-access"));
        QVERIFY(!manager->error().contains("access-"));
        QVERIFY2(manager->error().size() < 200, qPrintable(manager->error()));
        QVERIFY(!manager->isConnected());
        QVERIFY(m_secrets->items.isEmpty());
        QCOMPARE(connected.size(), 0);
    }

    void unreachableServerIsReported()
    {
        m_server.reset(); // nothing listens there any more
        auto manager = makeManager();
        exchange(*manager, QStringLiteral("code"));
        QVERIFY(!manager->error().isEmpty());
        QVERIFY(!manager->isConnected());
    }

    void plainHttpIsRefusedExceptOnThisMachine()
    {
        m_accountsUrl = QUrl("http://accounts.example.com");
        auto manager = makeManager();
        exchange(*manager, QStringLiteral("code"));
        QVERIFY2(manager->error().contains("https"), qPrintable(manager->error()));
        QVERIFY(m_server->requests().isEmpty());
    }

    void tokenIsRefreshedOnlyInTheLastMinute()
    {
        auto manager = connectedManager();
        const QString first = manager->tokens()->accessToken;

        m_clock->setNow(m_clock->now().addSecs(3600 - 61)); // 61 s left
        ZohoAuthManager::TokenResult result = tokenFrom(*manager);
        QCOMPARE(result.token, first);
        QCOMPARE(m_server->refreshCount(), 0);

        m_clock->advanceSeconds(2); // 59 s left
        result = tokenFrom(*manager);
        QVERIFY(result.ok());
        QVERIFY(result.token != first);
        QCOMPARE(m_server->refreshCount(), 1);
        QCOMPARE(m_secrets->items.value("accessToken"), result.token);
        // The refresh token is kept as it was.
        QCOMPARE(manager->tokens()->refreshToken, m_secrets->items.value("refreshToken"));
        QVERIFY(!m_server->requestsTo("/oauth/v2/token").last().body.contains("code="));
    }

    void concurrentCallersShareOneRefresh()
    {
        auto manager = connectedManager();
        m_clock->advanceSeconds(3600);
        QStringList tokens;
        for (int i = 0; i < 3; ++i)
            manager->validAccessToken([&](const ZohoAuthManager::TokenResult &r) { tokens.append(r.token); });
        QTRY_COMPARE(tokens.size(), 3);
        QCOMPARE(m_server->refreshCount(), 1);
        QCOMPARE(tokens.count(tokens.first()), 3);
    }

    void failedRefreshKeepsTheConnection()
    {
        auto manager = connectedManager();
        m_clock->advanceSeconds(3600);
        m_server->setRefreshFailure(FakeZohoServer::Failure::ErrorJson200);
        ZohoAuthManager::TokenResult result = tokenFrom(*manager);
        QVERIFY(!result.ok());
        QCOMPARE(result.error->description(), QStringLiteral("Token error: invalid_code"));
        QVERIFY(manager->isConnected());
        QVERIFY(manager->tokens().has_value());

        m_server->setRefreshFailure(FakeZohoServer::Failure::JsonArray);
        result = tokenFrom(*manager);
        QCOMPARE(result.error->description(), QStringLiteral("Token error: Refresh failed"));

        m_server->setRefreshFailure(FakeZohoServer::Failure::None); // tried again, and it works
        result = tokenFrom(*manager);
        QVERIFY(result.ok());
        QCOMPARE(m_server->refreshCount(), 3);
    }

    // A revoked or expired refresh token can never work again: the
    // connection ends, instead of failing at every sync forever.
    void revokedRefreshTokenDisconnects()
    {
        auto manager = connectedManager();
        m_clock->advanceSeconds(3600);
        m_server->setRefreshFailure(Failure::InvalidGrant);
        QSignalSpy connectedChanged(manager.get(), &ZohoAuthManager::isConnectedChanged);
        const ZohoAuthManager::TokenResult result = tokenFrom(*manager);
        QCOMPARE(result.error->description(), QStringLiteral("Zoho access was revoked: connect again"));
        QVERIFY(!manager->isConnected());
        QCOMPARE(connectedChanged.size(), 1);
        QVERIFY(!manager->tokens());
        QVERIFY(m_secrets->items.isEmpty());
        QCOMPARE(manager->error(), QStringLiteral("Zoho access was revoked: connect again"));
        QCOMPARE(tokenFrom(*manager).error->description(), QStringLiteral("Not authenticated with Zoho"));
        QCOMPARE(m_server->refreshCount(), 1);
    }

    // The code, the client secret and the refresh token stay with the
    // accounts server they were meant for.
    void tokenRequestsAreNotRedirectedElsewhere()
    {
        FakeZohoServer elsewhere;
        QVERIFY(elsewhere.start());
        m_server->setRedirectTarget(elsewhere.url());
        m_server->addCode(QStringLiteral("c"));
        m_server->setTokenFailure(Failure::Redirect);
        auto manager = makeManager();
        exchange(*manager, QStringLiteral("c"));
        QCOMPARE(manager->error(),
            QStringLiteral("Zoho redirected the request to another server (%1); it was not followed")
                .arg(elsewhere.url().toString()));
        QVERIFY(!manager->isConnected());

        m_server->setTokenFailure(Failure::None);
        m_server->addCode(QStringLiteral("c"));
        exchange(*manager, QStringLiteral("c"));
        QVERIFY(manager->isConnected());
        m_clock->advanceSeconds(3600);
        m_server->setRefreshFailure(Failure::Redirect);
        const ZohoAuthManager::TokenResult result = tokenFrom(*manager);
        QVERIFY2(result.error->description().startsWith("Zoho redirected the request to another server"),
            qPrintable(result.error->description()));
        QVERIFY(elsewhere.requests().isEmpty());
    }

    void storeContentsDecideTheStartingState_data()
    {
        QTest::addColumn<SecretItems>("items");
        QTest::addColumn<bool>("connected");
        QTest::newRow("all three") << SecretItems {{"accessToken", "a"}, {"refreshToken", "r"},
            {"tokenExpiry", "1774400000.5"}}
                                   << true;
        QTest::newRow("expired still counts")
            << SecretItems {{"accessToken", "a"}, {"refreshToken", "r"}, {"tokenExpiry", "1"}} << true;
        // Beyond any date (or no number at all once read): expired, so the
        // first use refreshes instead of overflowing the date.
        QTest::newRow("expiry beyond any date")
            << SecretItems {{"accessToken", "a"}, {"refreshToken", "r"}, {"tokenExpiry", "1e300"}} << true;
        QTest::newRow("expiry infinite") << SecretItems {{"accessToken", "a"}, {"refreshToken", "r"},
            {"tokenExpiry", "-inf"}} << true;
        QTest::newRow("expiry not a number")
            << SecretItems {{"accessToken", "a"}, {"refreshToken", "r"}, {"tokenExpiry", "soon"}} << false;
        QTest::newRow("no refresh token") << SecretItems {{"accessToken", "a"}, {"tokenExpiry", "1774400000"}} << false;
        QTest::newRow("token holding CR LF")
            << SecretItems {{"accessToken", "a\r\nX-Injected: yes"}, {"refreshToken", "r"}, {"tokenExpiry", "1"}}
            << false;
    }
    void storeContentsDecideTheStartingState()
    {
        QFETCH(SecretItems, items);
        QFETCH(bool, connected);
        m_secrets->items = items;
        auto manager = makeManager();
        QCOMPARE(manager->isConnected(), connected);
        if (connected) {
            const QDateTime expiry = manager->tokens()->expiryDate;
            QVERIFY(expiry.isValid());
            QVERIFY(expiry.toSecsSinceEpoch() <= 1774400001);
        }
    }

    void disconnectForgetsEverything()
    {
        storeTokens(3600);
        auto manager = makeManager();
        QVERIFY(manager->isConnected());
        manager->disconnect();
        QVERIFY(!manager->isConnected());
        QVERIFY(m_secrets->items.isEmpty());
        const ZohoAuthManager::TokenResult result = tokenFrom(*manager);
        QCOMPARE(result.error->description(), QStringLiteral("Not authenticated with Zoho"));
        QVERIFY(m_server->requests().isEmpty()); // nothing is revoked
    }

    // Whether the store holds tokens is noted outside it (in the settings):
    // while the note says no, the store is never asked (asking wakes the
    // desktop's keyring), whatever it holds; connecting notes yes,
    // disconnecting no, and a store found empty corrects the note.
    void storeIsAskedOnlyWhenTheNoteSaysSo()
    {
        struct MemoryNote final : ZohoKeychain::Note
        {
            std::optional<bool> holds;
            bool mayHoldTokens() const override { return holds.value_or(false); }
            void setHoldsTokens(bool tokens) override { holds = tokens; }
        } note;
        std::vector<std::unique_ptr<ZohoKeychain>> keychains; // one per manager, as long as the test
        auto managerWithNote = [&] {
            keychains.push_back(std::make_unique<ZohoKeychain>(*m_secrets, &note));
            return std::make_unique<ZohoAuthManager>(
                *keychains.back(), *m_network, *m_clock, [this] { return m_accountsUrl; });
        };
        storeTokens(3600);
        QVERIFY(!managerWithNote()->isConnected());
        QCOMPARE(m_secrets->reads, 0);
        QVERIFY(!note.holds.has_value());

        note.holds = true;
        auto restarted = managerWithNote();
        QVERIFY(restarted->isConnected());
        QVERIFY(m_secrets->reads > 0);
        restarted->disconnect();
        QCOMPARE(note.holds, std::optional<bool>(false));
        const int readsBefore = m_secrets->reads;
        QVERIFY(!managerWithNote()->isConnected());
        QCOMPARE(m_secrets->reads, readsBefore);

        m_server->addCode(QStringLiteral("c"));
        auto connecting = managerWithNote();
        exchange(*connecting, QStringLiteral("c"));
        QVERIFY(connecting->isConnected());
        QCOMPARE(note.holds, std::optional<bool>(true));
        QVERIFY(managerWithNote()->isConnected());

        // Emptied by another program (a keyring tool): noted as no.
        m_secrets->items.clear();
        QVERIFY(!managerWithNote()->isConnected());
        QCOMPARE(note.holds, std::optional<bool>(false));

        // A store that could not keep the tokens: nothing to ask it next time.
        m_secrets->refuseWrites = true;
        m_server->addCode(QStringLiteral("d"));
        auto unkept = managerWithNote();
        exchange(*unkept, QStringLiteral("d"));
        QVERIFY(unkept->isConnected());
        QCOMPARE(note.holds, std::optional<bool>(false));
    }

    void aStoreThatCannotKeepTokensStillConnects()
    {
        m_secrets->refuseWrites = true;
        auto manager = connectedManager();
        QVERIFY(manager->isConnected());
        QVERIFY(!manager->tokensSurviveRestart());
        QVERIFY(tokenFrom(*manager).ok());
    }
};

BRIVANE_TEST_MAIN(ZohoAuthTest)
#include "tst_zohoauth.moc"
