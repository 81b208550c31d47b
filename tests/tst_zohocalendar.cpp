// Zoho calendars and events: reading, splitting into today and upcoming,
// failures of single calendars, overlapping syncs and event creation, against
// a fake server over HTTP.
#include "TestSupport.h"
#include "ZohoTestSupport.h"

#include "settings/AppSettings.h"
#include "zoho/ZohoAuthManager.h"
#include "zoho/ZohoCalendarManager.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");
// Now: Wednesday 25 March 2026, 10:00 in Berlin (09:00 UTC).
const QDateTime Now(QDate(2026, 3, 25), QTime(10, 0), Berlin);

QJsonObject zohoEvent(const QString &uid, const QString &title, const QJsonValue &start, const QJsonValue &end,
    const QJsonValue &allDay = QJsonValue::Undefined)
{
    QJsonObject when {{"start", start}, {"end", end}};
    if (!allDay.isUndefined())
        when.insert("allday", allDay);
    return {{"uid", uid}, {"title", title}, {"dateandtime", when}};
}

QStringList titles(const QList<ZohoEvent> &events)
{
    QStringList result;
    for (const ZohoEvent &event : events)
        result.append(event.title);
    return result;
}
} // namespace

class ZohoCalendarTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<FakeZohoServer> m_server;
    std::unique_ptr<MemorySecretStore> m_secrets;
    std::unique_ptr<ZohoKeychain> m_keychain;
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::unique_ptr<FixedClock> m_clock;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<ZohoAuthManager> m_auth;
    std::unique_ptr<ZohoCalendarManager> m_manager;

    // A connected manager (tokens obtained from the server with a code).
    ZohoCalendarManager &connect()
    {
        m_server->addCode("code");
        m_auth->exchangeCode("code");
        if (!waitFor([this] { return m_auth->isConnected(); }))
            qFatal("no connection to the fake server");
        // The connection starts a sync of its own; let it finish.
        waitFor(
            [this] { return !m_manager->isSyncing() && !m_server->requestsTo("/api/v1/calendars").isEmpty(); }, 15000);
        return *m_manager;
    }

    void syncAndWait()
    {
        bool done = false;
        m_manager->sync([&done] { done = true; });
        QVERIFY(waitFor([&done] { return done; }, 10000));
    }

private slots:
    void init()
    {
        QFile::remove(m_config.path() + "/brivane.conf");
        m_server = std::make_unique<FakeZohoServer>();
        QVERIFY(m_server->start());
        m_server->setCalendars(QJsonArray {
            QJsonObject {{"uid", "work"}, {"calname", "Work"}, {"color", "#FF0000"}, {"isdefault", true}},
            QJsonObject {{"uid", "home"}, {"calname", "Home"}},
            QJsonObject {{"uid", "nameless"}},
            QJsonObject {{"uid", "family"}, {"calname", "Family"}, {"color", "#ABC"}},
        });
        m_secrets = std::make_unique<MemorySecretStore>();
        m_keychain = std::make_unique<ZohoKeychain>(*m_secrets);
        m_network = std::make_unique<QNetworkAccessManager>();
        m_clock = std::make_unique<FixedClock>(Now, Berlin);
        m_settings = std::make_unique<AppSettings>(m_config.path() + "/brivane.conf");
        const QUrl url = m_server->url();
        m_auth = std::make_unique<ZohoAuthManager>(*m_keychain, *m_network, *m_clock, [url] { return url; });
        m_manager
            = std::make_unique<ZohoCalendarManager>(*m_auth, *m_settings, *m_network, *m_clock, [url] { return url; });
        m_auth->setRequestTimeout(3000);
        m_manager->setRequestTimeout(3000);
    }
    void cleanup()
    {
        m_manager.reset();
        m_auth.reset();
    }

    void withoutAConnectionNothingHappens()
    {
        QSignalSpy syncing(m_manager.get(), &ZohoCalendarManager::isSyncingChanged);
        syncAndWait();
        QCOMPARE(syncing.size(), 0);
        QVERIFY(m_server->requests().isEmpty());
        QVERIFY(m_manager->calendars().isEmpty());
    }

    void calendarsKeepZohosOrderAndDefaults()
    {
        connect();
        const QList<ZohoCalendar> calendars = m_manager->calendars();
        QCOMPARE(calendars.size(), 3); // the one without a name is dropped
        QCOMPARE(calendars[0].id, QStringLiteral("work"));
        QVERIFY(calendars[0].isDefault);
        QCOMPARE(calendars[1].color, QStringLiteral("#3B82F6"));
        QVERIFY(!calendars[1].isDefault);
        QCOMPARE(calendars[2].name, QStringLiteral("Family"));
        QVERIFY(m_manager->lastError().isEmpty());
    }

    void eventsAreSplitIntoTodayAndUpcoming()
    {
        m_server->setEvents("work",
            QJsonArray {
                zohoEvent("1", "Tonight", "20260325T215959Z", "20260325T223000Z"), // 23:59:59 local: still today
                zohoEvent("2", "Midnight", "20260325T230000Z", "20260325T233000Z"), // 00:00 tomorrow: upcoming
                zohoEvent("3", "Started earlier", "20260325T080000+0100", "20260325T110000+0100"),
                zohoEvent("4", "Local time", "20260327T090000", "20260327T100000"),
                zohoEvent("5", "Whole day", "20260326", "20260327", "true"),
                zohoEvent("6", "Boolean all-day", "20260326T120000Z", "20260326T130000Z", true),
                zohoEvent("7", "ISO", "2026-03-25T12:00:00.000Z", "2026-03-25T13:00:00.000Z"),
                zohoEvent("8", "Unreadable", "next week", "later"),
                QJsonObject {{"uid", "9"},
                    {"dateandtime", QJsonObject {{"start", "20260325T120000Z"}, {"end", "20260325T130000Z"}}}},
            });
        m_server->setEvents("home",
            QJsonArray {
                zohoEvent("10", "Same start, second calendar", "20260325T080000+0100", "20260325T090000+0100")});
        connect();

        QCOMPARE(titles(m_manager->todayEvents()),
            (QStringList {"Started earlier", "Same start, second calendar", "ISO", "Tonight"}));
        QCOMPARE(titles(m_manager->upcomingEvents()),
            (QStringList {"Midnight", "Whole day", "Boolean all-day", "Local time"}));

        const ZohoEvent wholeDay = m_manager->upcomingEvents()[1];
        QVERIFY(wholeDay.isAllDay);
        QCOMPARE(wholeDay.startDate, QDateTime(QDate(2026, 3, 26), QTime(0, 0), Berlin));
        QVERIFY(!m_manager->upcomingEvents()[2].isAllDay); // JSON true is not the string "true"
        QCOMPARE(m_manager->upcomingEvents()[3].startDate, QDateTime(QDate(2026, 3, 27), QTime(9, 0), Berlin));
        QCOMPARE(m_manager->todayEvents()[0].calendarColor, QColor(255, 0, 0));
        QCOMPARE(m_manager->todayEvents()[1].calendarID, QStringLiteral("home"));

        // The range asked for: now to a week from now, in UTC with milliseconds.
        const FakeZohoServer::RecordedRequest request = m_server->requestsTo("/api/v1/calendars/work/events").value(0);
        QCOMPARE(QUrl::fromPercentEncoding(request.query.toUtf8()),
            QStringLiteral("range_start=2026-03-25T09:00:00.000Z&range_end=2026-04-01T08:00:00.000Z"));
        QCOMPARE(request.headers.value("authorization"), "Zoho-oauthtoken " + m_auth->tokens()->accessToken.toUtf8());
    }

    void badColoursGiveTheDefaultBlue()
    {
        m_server->setEvents(
            "family", QJsonArray {zohoEvent("f", "Family dinner", "20260325T180000Z", "20260325T190000Z")});
        connect();
        QCOMPARE(m_manager->todayEvents().value(0).calendarColor, systemBlue());
    }

    void hiddenCalendarsAreListedButNotRead()
    {
        m_settings->setHiddenZohoCalendarIDs({"home"});
        m_server->setEvents("home", QJsonArray {zohoEvent("h", "Hidden", "20260325T120000Z", "20260325T130000Z")});
        connect();
        QCOMPARE(m_manager->calendars().size(), 3);
        QVERIFY(m_server->requestsTo("/api/v1/calendars/home").isEmpty());
        QVERIFY(m_manager->todayEvents().isEmpty());
    }

    void oneFailingCalendarLeavesTheOthersIntact_data()
    {
        QTest::addColumn<int>("failure");
        using F = FakeZohoServer::Failure;
        QTest::newRow("no answer") << int(F::NeverAnswer);
        QTest::newRow("500") << int(F::Status500);
        QTest::newRow("not JSON") << int(F::NotJson);
        QTest::newRow("array") << int(F::JsonArray);
    }
    void oneFailingCalendarLeavesTheOthersIntact()
    {
        QFETCH(int, failure);
        m_server->setEvents("work", QJsonArray {zohoEvent("w", "Work thing", "20260325T120000Z", "20260325T130000Z")});
        m_server->setEvents("home", QJsonArray {zohoEvent("h", "Home thing", "20260325T140000Z", "20260325T150000Z")});
        m_server->setEventsFailure("work", FakeZohoServer::Failure(failure));
        connect();
        QCOMPARE(titles(m_manager->todayEvents()), QStringList {"Home thing"});
        QVERIFY(m_manager->lastError().isEmpty());
    }

    void failedCalendarListKeepsThePreviousLists_data()
    {
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("error");
        using F = FakeZohoServer::Failure;
        QTest::newRow("array") << int(F::JsonArray) << QString("API error: Invalid calendars response");
        QTest::newRow("401") << int(F::Status401) << QString("API error: Invalid calendars response");
        QTest::newRow("error JSON") << int(F::ErrorJson200) << QString("API error: Invalid calendars response");
    }
    void failedCalendarListKeepsThePreviousLists()
    {
        QFETCH(int, failure);
        QFETCH(QString, error);
        m_server->setEvents("work", QJsonArray {zohoEvent("w", "Kept", "20260325T120000Z", "20260325T130000Z")});
        connect();
        QCOMPARE(titles(m_manager->todayEvents()), QStringList {"Kept"});
        m_server->setCalendarsFailure(FakeZohoServer::Failure(failure));
        syncAndWait();
        QCOMPARE(m_manager->lastError(), error);
        QCOMPARE(titles(m_manager->todayEvents()), QStringList {"Kept"});
        QCOMPARE(m_manager->calendars().size(), 3);
        QVERIFY(!m_manager->isSyncing());
    }

    void refreshFailureEndsTheSyncWithItsError()
    {
        connect();
        m_clock->advanceSeconds(3600);
        m_server->setRefreshFailure(FakeZohoServer::Failure::ErrorJson200);
        syncAndWait();
        QCOMPARE(m_manager->lastError(), QStringLiteral("Token error: invalid_code"));
        QVERIFY(m_auth->isConnected());
    }

    // An id holding "/", "?" or "#" must still name one calendar.
    void calendarIdsAreOnePathSegment()
    {
        const QString id = QStringLiteral("team/a?b#c d");
        m_server->setCalendars(QJsonArray {QJsonObject {{"uid", id}, {"calname", "Odd"}}});
        m_server->setEvents(id, QJsonArray {zohoEvent("o", "Odd one", "20260325T120000Z", "20260325T130000Z")});
        connect();
        QCOMPARE(titles(m_manager->todayEvents()), QStringList {"Odd one"});
        const QList<FakeZohoServer::RecordedRequest> requests = m_server->requestsTo("/api/v1/calendars/team");
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].path, QStringLiteral("/api/v1/calendars/team%2Fa%3Fb%23c%20d/events"));
    }

    void overlappingSyncsRunOneAfterAnother()
    {
        m_server->setEvents("work", QJsonArray {zohoEvent("w", "W", "20260325T120000Z", "20260325T130000Z")});
        connect();
        m_server->clearRequests();
        m_server->setSlowMilliseconds(200);
        m_server->setEventsFailure("work", FakeZohoServer::Failure::Slow);
        int finished = 0;
        for (int i = 0; i < 3; ++i)
            m_manager->sync([&finished] { ++finished; });
        QVERIFY(waitFor([&finished] { return finished == 3; }, 10000));
        // The first call's run, then one more for the two that came while it ran.
        QCOMPARE(
            m_server->requestsTo("/api/v1/calendars").size() - m_server->requestsTo("/api/v1/calendars/").size(), 2);
        QVERIFY(!m_manager->isSyncing());
    }

    void createdEventsAreSentThenSynced()
    {
        connect();
        std::optional<std::optional<ZohoError>> result;
        m_manager->createEvent("Lunch", QDateTime(QDate(2026, 3, 25), QTime(12, 30), Berlin),
            QDateTime(QDate(2026, 3, 25), QTime(13, 30), Berlin), false, "work",
            [&](const std::optional<ZohoError> &error) { result = error; });
        QVERIFY(waitFor([&] { return result.has_value(); }));
        QVERIFY(!result->has_value());
        const QList<FakeZohoServer::RecordedRequest> sent = m_server->requestsTo("/api/v1/calendars/work/events");
        const FakeZohoServer::RecordedRequest request = *std::find_if(
            sent.begin(), sent.end(), [](const FakeZohoServer::RecordedRequest &r) { return r.method == "POST"; });
        QCOMPARE(request.headers.value("content-type"), QByteArray("application/json"));
        const QJsonObject data = QJsonDocument::fromJson(request.body).object()["eventdata"].toObject();
        QCOMPARE(data["title"].toString(), QStringLiteral("Lunch"));
        const QJsonObject when = data["dateandtime"].toObject();
        QCOMPARE(when["start"].toString(), QStringLiteral("20260325T123000+0100"));
        QCOMPARE(when["end"].toString(), QStringLiteral("20260325T133000+0100"));
        QCOMPARE(when["timezone"].toString(), QStringLiteral("Europe/Berlin"));
        QVERIFY(!when.contains("allday"));
        // The sync after creating has the new event.
        QCOMPARE(titles(m_manager->todayEvents()), QStringList {"Lunch"});

        result.reset();
        m_manager->createEvent("Holiday", QDateTime(QDate(2026, 3, 27), QTime(0, 0), Berlin),
            QDateTime(QDate(2026, 3, 28), QTime(0, 0), Berlin), true, "work",
            [&](const std::optional<ZohoError> &error) { result = error; });
        QVERIFY(waitFor([&] { return result.has_value(); }));
        const QJsonObject stored = m_server->events("work").last().toObject()["dateandtime"].toObject();
        QCOMPARE(stored["start"].toString(), QStringLiteral("20260327"));
        QCOMPARE(stored["end"].toString(), QStringLiteral("20260328"));
        QCOMPARE(stored["allday"].toString(), QStringLiteral("true"));
    }

    void createFailureCarriesStatusAndBody()
    {
        connect();
        m_server->setCreateFailure(FakeZohoServer::Failure::Status401);
        std::optional<std::optional<ZohoError>> result;
        m_manager->createEvent(
            "x", Now, Now.addSecs(600), false, "work", [&](const std::optional<ZohoError> &error) { result = error; });
        QVERIFY(waitFor([&] { return result.has_value(); }));
        QVERIFY(result->has_value());
        QCOMPARE((*result)->description(), QStringLiteral("API error: HTTP 401: {\"error\":\"INVALID_OAUTHTOKEN\"}"));
    }

    void connectingStartsASync()
    {
        m_server->setEvents("work", QJsonArray {zohoEvent("w", "Right away", "20260325T120000Z", "20260325T130000Z")});
        m_server->addCode("c2");
        m_auth->exchangeCode("c2");
        QTRY_COMPARE_WITH_TIMEOUT(titles(m_manager->todayEvents()), QStringList {"Right away"}, 5000);
    }

    void coloursAndDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // colour name, or empty for none
        QTest::newRow("with #") << "#FF0000"
                                << "#ff0000";
        QTest::newRow("without #") << "ff0000"
                                   << "#ff0000";
        QTest::newRow("three digits") << "#ABC"
                                      << "";
        QTest::newRow("eight digits") << "#FF0000FF"
                                      << "";
        QTest::newRow("padded") << "  #00ff00 ;"
                                << "#00ff00";
        QTest::newRow("stops at non-hex") << "12345G"
                                          << "#012345";
    }
    void coloursAndDates()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const std::optional<QColor> color = hexColor(text);
        QCOMPARE(color ? color->name() : QString(), expected);
    }

    void zohoDateForms()
    {
        QCOMPARE(parseZohoDate("20260325T090000Z", Berlin), QDateTime(QDate(2026, 3, 25), QTime(10, 0), Berlin));
        QCOMPARE(parseZohoDate("20260325T090000-0230", Berlin), QDateTime(QDate(2026, 3, 25), QTime(12, 30), Berlin));
        QCOMPARE(parseZohoDate("20260325T090000", Berlin), QDateTime(QDate(2026, 3, 25), QTime(9, 0), Berlin));
        QCOMPARE(parseZohoDate("20260325", Berlin), QDateTime(QDate(2026, 3, 25), QTime(0, 0), Berlin));
        QCOMPARE(parseZohoDate("2026-03-25T09:00:00.250Z", Berlin)->toMSecsSinceEpoch() % 1000, 250);
        QVERIFY(!parseZohoDate("2026-03-25", Berlin));
        QVERIFY(!parseZohoDate("20261345", Berlin));
        QVERIFY(!parseZohoDate("", Berlin));
    }
};

BRIVANE_TEST_MAIN(ZohoCalendarTest)
#include "tst_zohocalendar.moc"
