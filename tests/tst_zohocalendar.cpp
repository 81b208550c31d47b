// SPDX-License-Identifier: GPL-3.0-or-later
// Zoho calendars and events: reading, splitting into today and upcoming,
// failures of single calendars, hostile answers, limits, overlapping syncs and
// event creation, against a fake server over HTTP that speaks either the
// original request contract or Zoho's published API (every test runs with both).
#include "TestSupport.h"
#include "ZohoTestSupport.h"

#include "calendar/CalendarEventManager.h"
#include "calendar/CalendarStore.h"
#include "calendar/EventCreation.h"
#include "calendar/EventRemoval.h"
#include "calendar/StatusTitle.h"
#include "settings/AppSettings.h"
#include "zoho/ZohoAuthManager.h"
#include "zoho/ZohoCache.h"
#include "zoho/ZohoCalendarManager.h"
#include "zoho/ZohoProvider.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QUrlQuery>

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");
// Now: Wednesday 25 March 2026, 10:00 in Berlin (09:00 UTC).
const QDateTime Now(QDate(2026, 3, 25), QTime(10, 0), Berlin);

using Failure = FakeZohoServer::Failure;
using Dialect = FakeZohoServer::Dialect;

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
        // The connection starts a sync of its own (the tests that read
        // events right after this one find it done); let it finish.
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

    QString cachePath() const { return m_config.path() + "/cache/brivane/zoho-calendars.json"; }
    std::unique_ptr<ZohoCache> cacheOf(const QString &account = QStringLiteral("account A")) const
    {
        return std::make_unique<ZohoCache>(cachePath(), account);
    }
    // Another start of the program: a manager of its own over the same
    // connection (the tokens in the keyring), its cache read at once.
    std::unique_ptr<ZohoCalendarManager> restarted(std::unique_ptr<ZohoCache> cache)
    {
        const QUrl url = m_server->url();
        auto manager = std::make_unique<ZohoCalendarManager>(*m_auth, *m_network, *m_clock, [url] { return url; });
        manager->stopAutomaticSync();
        manager->setRequestTimeout(3000);
        manager->useCache(std::move(cache), true);
        return manager;
    }
    static void syncAndWait(ZohoCalendarManager &manager)
    {
        bool done = false;
        manager.sync([&done] { done = true; });
        QVERIFY(waitFor([&done] { return done; }, 10000));
    }

    int calendarListRequests() const
    {
        return m_server->requestsTo("/api/v1/calendars").size() - m_server->requestsTo("/api/v1/calendars/").size();
    }

private slots:
    void initTestCase_data()
    {
        QTest::addColumn<int>("dialect");
        QTest::newRow("original") << int(Dialect::Original);
        QTest::newRow("documented") << int(Dialect::Documented);
    }

    void init()
    {
        QFETCH_GLOBAL(int, dialect);
        QFile::remove(m_config.path() + "/brivane.conf");
        QFile::remove(cachePath());
        m_server = std::make_unique<FakeZohoServer>();
        m_server->setDialect(Dialect(dialect));
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
        m_manager = std::make_unique<ZohoCalendarManager>(*m_auth, *m_network, *m_clock, [url] { return url; });
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
                zohoEventJson("1", "Tonight", "20260325T215959Z", "20260325T223000Z"), // 23:59:59 local: still today
                zohoEventJson("2", "Midnight", "20260325T230000Z", "20260325T233000Z"), // 00:00 tomorrow: upcoming
                zohoEventJson("3", "Started earlier", "20260325T080000+0100", "20260325T110000+0100"),
                zohoEventJson("4", "Local time", "20260327T090000", "20260327T100000"),
                zohoEventJson("5", "Whole day", "20260326", "20260327", "true"),
                zohoEventJson("6", "Boolean all-day", "20260326T120000Z", "20260326T130000Z", true),
                zohoEventJson("7", "ISO", "2026-03-25T12:00:00.000Z", "2026-03-25T13:00:00.000Z"),
                zohoEventJson("8", "Unreadable", "next week", "later"),
                QJsonObject {{"uid", "9"},
                    {"dateandtime", QJsonObject {{"start", "20260325T120000Z"}, {"end", "20260325T130000Z"}}}},
            });
        QJsonObject published = zohoEventJson("11", "Published all-day", "20260328", "20260329");
        published.insert("isallday", true); // Zoho's published form
        m_server->setEvents("home",
            QJsonArray {
                zohoEventJson("10", "Same start, second calendar", "20260325T080000+0100", "20260325T090000+0100"),
                published});
        connect();

        QCOMPARE(titlesOf(m_manager->todayEvents()),
            (QStringList {"Started earlier", "Same start, second calendar", "ISO", "Tonight"}));
        QCOMPARE(titlesOf(m_manager->upcomingEvents()),
            (QStringList {"Midnight", "Whole day", "Boolean all-day", "Local time", "Published all-day"}));
        QVERIFY(m_manager->upcomingEvents()[4].isAllDay);

        const ZohoEvent wholeDay = m_manager->upcomingEvents()[1];
        QVERIFY(wholeDay.isAllDay);
        QCOMPARE(wholeDay.startDate, QDateTime(QDate(2026, 3, 26), QTime(0, 0), Berlin));
        QVERIFY(!m_manager->upcomingEvents()[2].isAllDay); // JSON true is not the string "true"
        QCOMPARE(m_manager->upcomingEvents()[3].startDate, QDateTime(QDate(2026, 3, 27), QTime(9, 0), Berlin));
        QCOMPARE(m_manager->todayEvents()[0].calendarColor, QColor(255, 0, 0));
        QCOMPARE(m_manager->todayEvents()[1].calendarId, QStringLiteral("home"));

        // The range asked for: now to a week from now, in UTC with milliseconds,
        // and as Zoho's published API takes it.
        const FakeZohoServer::RecordedRequest request = m_server->requestsTo("/api/v1/calendars/work/events").value(0);
        const QUrlQuery query(request.query);
        QCOMPARE(query.queryItemValue("range_start", QUrl::FullyDecoded), "2026-03-25T09:00:00.000Z");
        QCOMPARE(query.queryItemValue("range_end", QUrl::FullyDecoded), "2026-04-01T08:00:00.000Z");
        const QJsonObject range
            = QJsonDocument::fromJson(query.queryItemValue("range", QUrl::FullyDecoded).toUtf8()).object();
        QCOMPARE(range, (QJsonObject {{"start", "20260325T090000Z"}, {"end", "20260401T080000Z"}}));
        QCOMPARE(request.headers.value("authorization"), "Zoho-oauthtoken " + m_auth->tokens()->accessToken.toUtf8());
    }

    void badColoursGiveTheDefaultBlue()
    {
        m_server->setEvents(
            "family", QJsonArray {zohoEventJson("f", "Family dinner", "20260325T180000Z", "20260325T190000Z")});
        connect();
        QCOMPARE(m_manager->todayEvents().value(0).calendarColor, systemBlue());
    }

    void everyCalendarIsRead()
    {
        // Hidden or not: which are shown is decided by the store's filter.
        m_settings->setHiddenCalendarIds({ZohoProvider::calendarIdOf("home")});
        m_server->setEvents("home", QJsonArray {zohoEventJson("h", "Hidden", "20260325T120000Z", "20260325T130000Z")});
        connect();
        QCOMPARE(m_manager->calendars().size(), 3);
        QCOMPARE(m_server->requestsTo("/api/v1/calendars/home/events").size(), 1);
        QCOMPARE(titlesOf(m_manager->todayEvents()), QStringList {"Hidden"});
    }

    // Zoho among the store's providers: its calendars, its occurrences
    // (ids apart from every other provider's), one account.
    void theStoreHoldsZohosCalendarsAndEvents()
    {
        m_server->setEvents("work",
            QJsonArray {zohoEventJson("w1", "Standup", "20260325T090000Z", "20260325T093000Z"),
                zohoEventJson("w2", "Offsite", "20260327", "20260328", "true")});
        m_server->setEvents(
            "home", QJsonArray {zohoEventJson("h1", "Dentist", "20260326T150000Z", "20260326T160000Z")});
        CalendarStore store;
        auto *provider = new ZohoProvider(*m_manager);
        store.addProvider(provider);
        provider->start();
        QVERIFY(store.isLoaded()); // answers with what it holds, nothing before a sync
        QVERIFY(store.calendars().isEmpty());
        QVERIFY(store.sources().isEmpty());
        QSignalSpy changed(&store, &CalendarStore::changed);
        connect();
        QTRY_VERIFY(!changed.isEmpty());

        const QList<CalendarSource> sources = store.sources();
        QCOMPARE(sources.size(), 1);
        QCOMPARE(sources[0].service, QStringLiteral("zoho"));
        QCOMPARE(sources[0].providerId, QStringLiteral("zoho"));
        const QList<CalendarInfo> calendars = store.calendars();
        QCOMPARE(calendars.size(), 3);
        QCOMPARE(calendars[0].identifier, QStringLiteral("zoho:work"));
        QCOMPARE(calendars[0].title, QStringLiteral("Work"));
        QCOMPARE(calendars[0].color, QStringLiteral("#FF0000"));
        QCOMPARE(calendars[0].sourceId, sources[0].identifier);
        QVERIFY(calendars[0].allowsModifications);
        QCOMPARE(calendars[2].color, QString()); // "#ABC" is no colour
        QCOMPARE(ZohoProvider::zohoCalendarId(calendars[1].identifier), QStringLiteral("home"));
        QCOMPARE(ZohoProvider::zohoCalendarId(QStringLiteral("/home/me/calendars/work")), QString());

        const QList<CalendarEvent> week = store.events(Now.addSecs(-3600), Now.addDays(7));
        QStringList ids;
        for (const CalendarEvent &event : week)
            ids.append(event.id);
        QCOMPARE(ids, (QStringList {"zoho_w1", "zoho_h1", "zoho_w2"}));
        QCOMPARE(week[0].calendarId, QStringLiteral("zoho:work"));
        QCOMPARE(week[0].calendarTitle, QStringLiteral("Work"));
        QCOMPARE(week[0].calendarColor, QStringLiteral("#FF0000"));
        QCOMPARE(week[0].providerId, QStringLiteral("zoho"));
        QCOMPARE(week[1].calendarColor, QStringLiteral("#3B82F6")); // Home has none: Zoho's default
        // An all-day event keeps its dates; the end is the day after, as iCalendar's.
        QVERIFY(week[2].allDay);
        QCOMPARE(week[2].startDate, QDate(2026, 3, 27));
        QCOMPARE(week[2].endDate, QDate(2026, 3, 28));
        // A range and a calendar filter, as any provider's.
        QCOMPARE(store.events(Now.addSecs(-3600), Now.addDays(7), {"zoho:home"}).size(), 1);

        // Across the change to summer time (29 March in Berlin): the all-day
        // day keeps its date, a short day of 23 hours; a timed event keeps
        // its instants, shown in summer time.
        m_server->setEvents("family",
            QJsonArray {zohoEventJson("d1", "Clocks change", "20260329", "20260330", "true"),
                zohoEventJson("d2", "Early", "20260329T003000Z", "20260329T013000Z")});
        syncAndWait();
        QTRY_VERIFY(store.eventById("zoho_d2").has_value());
        const CalendarEvent change = *store.eventById("zoho_d1");
        QVERIFY(change.allDay);
        QCOMPARE(change.startDate, QDate(2026, 3, 29));
        QCOMPARE(change.endDate, QDate(2026, 3, 30));
        QCOMPARE(change.start.secsTo(change.end), 23 * 3600);
        const CalendarEvent early = *store.eventById("zoho_d2");
        QVERIFY(!early.allDay);
        QCOMPARE(early.start.toTimeZone(Berlin).time(), QTime(1, 30)); // still winter time
        QCOMPARE(early.end.toTimeZone(Berlin).time(), QTime(3, 30)); // summer time: one hour later
        QCOMPARE(store
                     .events(QDateTime(QDate(2026, 3, 29), QTime(0, 0), Berlin),
                         QDateTime(QDate(2026, 3, 30), QTime(0, 0), Berlin), {"zoho:family"})
                     .size(),
            2);
        QVERIFY(store.events(Now.addDays(1).addSecs(3 * 3600), Now.addDays(1).addSecs(4 * 3600)).isEmpty());

        const std::optional<CalendarEvent> found = store.eventById("zoho_h1");
        QVERIFY(found);
        QCOMPARE(found->title, QStringLiteral("Dentist"));
        QVERIFY(!store.eventById("zoho_none"));
        QVERIFY(!store.eventById("w1")); // Zoho's own uid is not the store's id
        QCOMPARE(store.eventDetails(*found), EventDetails {});
        // Zoho's events are only shown.
        const StoreResult removed = store.removeEvent(*found);
        QVERIFY(!removed.ok);
        QCOMPARE(removed.error, EventRemoval::zohoRefusal());
    }

    // A new event through the store, as the form and `brivane add` make it:
    // the store's answer comes from the event loop once Zoho has it.
    void theStoreCreatesInAZohoCalendar()
    {
        CalendarStore store;
        auto *provider = new ZohoProvider(*m_manager);
        store.addProvider(provider);
        provider->start();
        connect();
        QTRY_COMPARE(store.calendars().size(), 3);

        NewEventRequest request;
        request.calendarId = QStringLiteral("zoho:home");
        request.title = QStringLiteral("Lunch");
        request.start = QDateTime(QDate(2026, 3, 25), QTime(12, 30), Berlin);
        request.end = request.start.addSecs(3600);
        // Zoho cannot answer at once: the synchronous save says so.
        const StoreResult direct = store.saveEvent(request);
        QVERIFY(!direct.ok);
        QVERIFY(!direct.error.isEmpty());
        QVERIFY(m_server->events("home").isEmpty());

        std::optional<StoreResult> saved;
        store.saveEventLater(request, [&saved](const StoreResult &result) { saved = result; });
        QVERIFY(!saved); // never from inside the call
        QVERIFY(waitFor([&saved] { return saved.has_value(); }));
        QVERIFY2(saved->ok, qPrintable(saved->error));
        const QString uid = m_server->events("home").at(0).toObject().value("uid").toString();
        QVERIFY(!uid.isEmpty());
        QCOMPARE(saved->eventId, "zoho_" + uid);
        // The sync after the creation has it in the store already.
        QVERIFY(store.eventById(saved->eventId));

        // Through the form's path, choosing the Zoho calendar as any other.
        const QList<CalendarTarget> targets = EventCreation::targets(store);
        QCOMPARE(targets.size(), 3);
        QVERIFY(targets[0].isZoho());
        QCOMPARE(targets[0].calendar().identifier, QStringLiteral("zoho:work"));
        std::optional<EventCreation::Result> result;
        EventCreation::save({"  Review  ", request.start.addDays(1), request.end.addDays(1), false}, targets[0], store,
            [&result](const EventCreation::Result &answer) { result = answer; });
        QVERIFY(waitFor([&result] { return result.has_value(); }));
        QVERIFY(result->ok);
        QCOMPARE(m_server->events("work").last().toObject().value("title").toString(), QStringLiteral("Review"));

        // Zoho's refusal is the answer, from the event loop too.
        m_server->setCreateFailure(Failure::Status500);
        result.reset();
        EventCreation::save({"Refused", request.start, request.end, false}, targets[0], store,
            [&result](const EventCreation::Result &answer) { result = answer; });
        QVERIFY(!result);
        QVERIFY(waitFor([&result] { return result.has_value(); }));
        QVERIFY(!result->ok);
        QVERIFY(result->error.contains("500"));

        // A calendar that is gone is told from the event loop as well.
        request.calendarId = QStringLiteral("zoho:gone");
        saved.reset();
        store.saveEventLater(request, [&saved](const StoreResult &answer) { saved = answer; });
        QVERIFY(!saved);
        QVERIFY(waitFor([&saved] { return saved.has_value(); }));
        QVERIFY(!saved->ok);
    }

    // ---- the last sync kept for a start without the network

    void theLastSyncIsKeptForAStartWithoutTheNetwork()
    {
        m_server->setEvents("work",
            QJsonArray {zohoEventJson("w1", "Standup", "20260325T090000Z", "20260325T093000Z"),
                zohoEventJson("w2", "Offsite", "20260327", "20260328", "true")});
        m_server->setEvents(
            "home", QJsonArray {zohoEventJson("h1", "Dentist", "20260326T150000Z", "20260326T160000Z")});
        // Across the change to summer time, kept as read.
        m_server->setEvents("family",
            QJsonArray {zohoEventJson("d1", "Clocks change", "20260329", "20260330", "true"),
                zohoEventJson("d2", "Early", "20260329T003000Z", "20260329T013000Z")});
        m_manager->useCache(cacheOf(), true);
        QVERIFY(!QFile::exists(cachePath())); // nothing before a sync
        connect();
        QVERIFY(QFile::exists(cachePath()));
        // For the user alone: the file 0600, its folder 0700.
        QCOMPARE(
            QFile::permissions(cachePath()), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        QCOMPARE(QFile::permissions(QFileInfo(cachePath()).path()),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser | QFile::WriteUser
                | QFile::ExeUser);
        const QByteArray kept = readFile(cachePath());
        QVERIFY(!kept.contains(m_auth->tokens()->accessToken.toUtf8()));
        QVERIFY(!kept.contains(m_auth->tokens()->refreshToken.toUtf8()));
        QVERIFY(!m_manager->isFromCache());
        QCOMPARE(m_manager->lastSynced(), Now);

        // The next start finds no network: the kept lists are there at once.
        m_server->setCalendarsFailure(Failure::Reset);
        std::unique_ptr<ZohoCalendarManager> offline = restarted(cacheOf());
        QVERIFY(offline->isFromCache());
        QCOMPARE(offline->lastSynced(), Now);
        QCOMPARE(offline->calendars(), m_manager->calendars());
        QCOMPARE(offline->todayEvents(), m_manager->todayEvents());
        QCOMPARE(offline->upcomingEvents(), m_manager->upcomingEvents());
        CalendarStore store;
        auto *provider = new ZohoProvider(*offline);
        store.addProvider(provider);
        provider->start();
        QCOMPARE(store.calendars().size(), 3);
        QCOMPARE(store.events(Now.addSecs(-3600), Now.addDays(7)).size(), 5);
        const std::optional<CalendarEvent> offsite = store.eventById("zoho_w2");
        QVERIFY(offsite && offsite->allDay);
        QCOMPARE(offsite->startDate, QDate(2026, 3, 27));
        const std::optional<CalendarEvent> change = store.eventById("zoho_d1");
        QVERIFY(change && change->allDay);
        QCOMPARE(change->startDate, QDate(2026, 3, 29));
        QCOMPARE(change->endDate, QDate(2026, 3, 30));
        QCOMPARE(store.eventById("zoho_d2")->end.toTimeZone(Berlin).time(), QTime(3, 30));
        // A sync that fails keeps them, still the last sync's.
        syncAndWait(*offline);
        QVERIFY(!offline->lastError().isEmpty());
        QVERIFY(offline->isFromCache());
        QCOMPARE(titlesOf(offline->todayEvents()), QStringList {"Standup"});
        QVERIFY(QFile::exists(cachePath()));

        // The next sync that works replaces them, on screen and on disk.
        m_server->setCalendarsFailure(Failure::None);
        m_server->setEvents("work", QJsonArray {zohoEventJson("w3", "Moved", "20260325T130000Z", "20260325T133000Z")});
        m_server->setEvents("home", QJsonArray {});
        m_server->setEvents("family", QJsonArray {});
        m_clock->setNow(Now.addSecs(600));
        syncAndWait(*offline);
        QVERIFY(offline->lastError().isEmpty());
        QVERIFY(!offline->isFromCache());
        QCOMPARE(offline->lastSynced(), Now.addSecs(600));
        QCOMPARE(titlesOf(offline->todayEvents()), QStringList {"Moved"});
        QVERIFY(offline->upcomingEvents().isEmpty());
        const std::optional<ZohoCache::Snapshot> rewritten = cacheOf()->read(Berlin);
        QVERIFY(rewritten);
        QCOMPARE(rewritten->events.size(), 1);
        QCOMPARE(rewritten->events[0].title, QStringLiteral("Moved"));
        QCOMPARE(rewritten->synced, Now.addSecs(600));

        // Disconnecting forgets them.
        m_auth->disconnect();
        QVERIFY(!QFile::exists(cachePath()));
    }

    // A cache that is not this account's, not this format, or not whole is none.
    void aCacheThatDoesNotFitIsIgnored_data()
    {
        QTest::addColumn<QByteArray>("from"); // "account", "version", or the text of a damaged file
        QTest::newRow("another account") << QByteArray("account");
        QTest::newRow("another version") << QByteArray("version");
        QTest::newRow("not JSON") << QByteArray("{\"format\": 1, \"acc");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("an array") << QByteArray("[1, 2]");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe{}", 5);
        QTest::newRow("a broken event") << QByteArray("event");
        QTest::newRow("a bad time") << QByteArray("time");
        QTest::newRow("a calendar without a name") << QByteArray("calendar");
    }
    void aCacheThatDoesNotFitIsIgnored()
    {
        QFETCH(QByteArray, from);
        m_server->setEvents(
            "work", QJsonArray {zohoEventJson("w1", "Standup", "20260325T090000Z", "20260325T093000Z")});
        m_manager->useCache(cacheOf(), true);
        connect();
        QVERIFY(QFile::exists(cachePath()));
        QString account = QStringLiteral("account A");
        if (from == "account") {
            account = QStringLiteral("account B");
        } else {
            QJsonObject root = QJsonDocument::fromJson(readFile(cachePath())).object();
            QVERIFY(!root.isEmpty());
            if (from == "version") {
                root["format"] = ZohoCache::FormatVersion + 1;
            } else if (from == "event" || from == "time") {
                QJsonArray events = root["events"].toArray();
                QJsonObject event = events[0].toObject();
                if (from == "event")
                    event.remove("calendar");
                else
                    event["start"] = "next Tuesday";
                events[0] = event;
                root["events"] = events;
            } else if (from == "calendar") {
                QJsonArray calendars = root["calendars"].toArray();
                QJsonObject calendar = calendars[1].toObject();
                calendar["name"] = 7;
                calendars[1] = calendar;
                root["calendars"] = calendars;
            }
            const bool edited = from == "version" || from == "event" || from == "time" || from == "calendar";
            writeFile(cachePath(), edited ? QJsonDocument(root).toJson() : from);
        }
        m_server->setCalendarsFailure(Failure::Reset);
        std::unique_ptr<ZohoCalendarManager> offline = restarted(cacheOf(account));
        QVERIFY(!offline->isFromCache());
        QVERIFY(offline->calendars().isEmpty());
        QVERIFY(offline->todayEvents().isEmpty());
        QVERIFY(!offline->lastSynced().isValid());
        QVERIFY(!cacheOf(account)->read(Berlin));
        // The same file for the account and version it was written by still reads.
        if (from == "account")
            QVERIFY(cacheOf()->read(Berlin));
    }

    void theAccountKeyTellsAccountsApartWithoutSecrets()
    {
        const QUrl eu("https://accounts.zoho.eu");
        const QUrl com("https://accounts.zoho.com");
        const QUrl calendar("https://calendar.zoho.eu");
        const QString key = ZohoCache::accountKey(eu, calendar, "1000.CLIENTID");
        QCOMPARE(ZohoCache::accountKey(eu, calendar, "1000.CLIENTID"), key);
        QVERIFY(ZohoCache::accountKey(com, calendar, "1000.CLIENTID") != key);
        QVERIFY(ZohoCache::accountKey(eu, QUrl("https://calendar.zoho.com"), "1000.CLIENTID") != key);
        QVERIFY(ZohoCache::accountKey(eu, calendar, "1000.OTHER") != key);
        QVERIFY(!key.contains("CLIENTID"));
    }

    // A cache is read only where an account is connected.
    void noCacheWithoutAConnection()
    {
        m_manager->useCache(cacheOf(), true);
        connect();
        QVERIFY(QFile::exists(cachePath()));
        const QByteArray kept = readFile(cachePath());
        m_auth->disconnect();
        QVERIFY(!QFile::exists(cachePath()));
        writeFile(cachePath(), kept); // as if left from before
        std::unique_ptr<ZohoCalendarManager> disconnected = restarted(cacheOf());
        QVERIFY(disconnected->calendars().isEmpty());
        QVERIFY(!disconnected->isFromCache());
    }

    // Hiding a Zoho calendar is the store's filter: at once, with no request.
    void hidingTakesEffectWithoutASync()
    {
        m_server->setEvents(
            "work", QJsonArray {zohoEventJson("w1", "Standup", "20260325T120000Z", "20260325T123000Z")});
        m_server->setEvents(
            "home", QJsonArray {zohoEventJson("h1", "Dentist", "20260325T150000Z", "20260325T160000Z")});
        CalendarStore store;
        auto *provider = new ZohoProvider(*m_manager);
        store.addProvider(provider);
        provider->start();
        connect();
        QTRY_COMPARE(store.calendars().size(), 3);
        CalendarEventManager events(store, *m_clock, m_settings->hiddenCalendarIds());
        events.fetchEvents();
        QCOMPARE(events.todayEvents().size(), 2);
        const qsizetype requests = m_server->requests().size();
        m_settings->toggleCalendar(ZohoProvider::calendarIdOf("home"));
        events.setHiddenCalendarIds(m_settings->hiddenCalendarIds());
        QCOMPARE(events.todayEvents().size(), 1);
        QCOMPARE(events.todayEvents()[0].title, QStringLiteral("Standup"));
        m_settings->toggleCalendar(ZohoProvider::calendarIdOf("home"));
        events.setHiddenCalendarIds(m_settings->hiddenCalendarIds());
        QCOMPARE(events.todayEvents().size(), 2);
        QCOMPARE(m_server->requests().size(), requests);
        // The status title leaves Zoho's events out.
        QCOMPARE(StatusTitleBuilder::compute(store, {}, Now, QLocale::c()).state, StatusTitle::State::Idle);
    }

    void oneFailingCalendarIsNamedAndTheOthersListed_data()
    {
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("error");
        QTest::newRow("no answer") << int(Failure::NeverAnswer) << "Work: The request timed out.";
        QTest::newRow("trickle") << int(Failure::Trickle) << "Work: The request timed out.";
        QTest::newRow("reset") << int(Failure::Reset) << "Work: Connection reset by the server";
        QTest::newRow("500") << int(Failure::Status500) << "Work: Zoho answered 500 Internal Server Error";
        QTest::newRow("401") << int(Failure::Status401)
                             << R"(Work: Zoho refused access: 401 Unauthorized: {"error":"INVALID_OAUTHTOKEN"})";
        QTest::newRow("not JSON") << int(Failure::NotJson) << "Work: Zoho answered with something that is not JSON";
        QTest::newRow("array") << int(Failure::JsonArray) << "Work: Invalid events response";
        QTest::newRow("large") << int(Failure::LargeBody) << "Work: Zoho's answer is larger than 4 MB; it was not read";
    }
    void oneFailingCalendarIsNamedAndTheOthersListed()
    {
        QFETCH(int, failure);
        QFETCH(QString, error);
        m_server->setEvents(
            "work", QJsonArray {zohoEventJson("w", "Work thing", "20260325T120000Z", "20260325T130000Z")});
        m_server->setEvents(
            "home", QJsonArray {zohoEventJson("h", "Home thing", "20260325T140000Z", "20260325T150000Z")});
        m_server->setEventsFailure("work", Failure(failure));
        m_server->setTrickleMilliseconds(100); // never silent long enough for an inactivity timer
        connect();
        QCOMPARE(titlesOf(m_manager->todayEvents()), QStringList {"Home thing"});
        QCOMPARE(m_manager->lastError(), error);
        QVERIFY(!m_manager->isSyncing());
    }

    void failedCalendarListKeepsThePreviousLists_data()
    {
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("error");
        QTest::newRow("array") << int(Failure::JsonArray) << QString("API error: Invalid calendars response");
        QTest::newRow("error JSON") << int(Failure::ErrorJson200) << QString("API error: Invalid calendars response");
        QTest::newRow("401") << int(Failure::Status401)
                             << R"(API error: Zoho refused access: 401 Unauthorized: {"error":"INVALID_OAUTHTOKEN"})";
        QTest::newRow("500") << int(Failure::Status500) << "API error: Zoho answered 500 Internal Server Error";
        QTest::newRow("not JSON") << int(Failure::NotJson)
                                  << "API error: Zoho answered with something that is not JSON";
        QTest::newRow("reset") << int(Failure::Reset) << "Connection reset by the server";
        QTest::newRow("trickle") << int(Failure::Trickle) << "The request timed out.";
        QTest::newRow("large") << int(Failure::LargeBody) << "Zoho's answer is larger than 4 MB; it was not read";
    }
    void failedCalendarListKeepsThePreviousLists()
    {
        QFETCH(int, failure);
        QFETCH(QString, error);
        m_server->setEvents("work", QJsonArray {zohoEventJson("w", "Kept", "20260325T120000Z", "20260325T130000Z")});
        connect();
        QCOMPARE(titlesOf(m_manager->todayEvents()), QStringList {"Kept"});
        m_server->setCalendarsFailure(Failure(failure));
        m_server->setTrickleMilliseconds(100);
        syncAndWait();
        QCOMPARE(m_manager->lastError(), error);
        QCOMPARE(titlesOf(m_manager->todayEvents()), QStringList {"Kept"});
        QCOMPARE(m_manager->calendars().size(), 3);
        QVERIFY(!m_manager->isSyncing());
    }

    // A 401 gets one new access token and one more try; the sync succeeds.
    void refusedTokenIsRenewedOnce()
    {
        m_server->setEvents(
            "home", QJsonArray {zohoEventJson("h", "Home thing", "20260325T140000Z", "20260325T150000Z")});
        connect();
        m_server->setCalendarsFailure(Failure::Status401Once);
        syncAndWait();
        QCOMPARE(m_manager->lastError(), QString());
        QCOMPARE(m_server->refreshCount(), 1);
        QCOMPARE(titlesOf(m_manager->todayEvents()), QStringList {"Home thing"});

        m_server->setEventsFailure("work", Failure::Status401Once);
        syncAndWait();
        QCOMPARE(m_manager->lastError(), QString());
        QCOMPARE(m_server->refreshCount(), 2);
        QCOMPARE(titlesOf(m_manager->todayEvents()), QStringList {"Home thing"});

        // Refused again after the new token: one refresh, one retry, then the error.
        m_server->clearRequests();
        m_server->setCalendarsFailure(Failure::Status401);
        syncAndWait();
        QVERIFY2(m_manager->lastError().startsWith("API error: Zoho refused access: 401"),
            qPrintable(m_manager->lastError()));
        QCOMPARE(m_server->refreshCount(), 3);
        QCOMPARE(calendarListRequests(), 2);
    }

    void refreshFailureEndsTheSyncWithItsError_data()
    {
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("staysConnected");
        QTest::newRow("error") << int(Failure::ErrorJson200) << "Token error: invalid_code" << true;
        QTest::newRow("invalid_grant") << int(Failure::InvalidGrant) << "Zoho access was revoked: connect again"
                                       << false;
        QTest::newRow("token with CR LF")
            << int(Failure::TokenWithCrLf) << "Token error: Unexpected response: " << true;
    }
    void refreshFailureEndsTheSyncWithItsError()
    {
        QFETCH(int, failure);
        QFETCH(QString, error);
        QFETCH(bool, staysConnected);
        m_server->setEvents("work", QJsonArray {zohoEventJson("w", "Kept", "20260325T120000Z", "20260325T130000Z")});
        connect();
        const QString stored = m_secrets->items.value("accessToken");
        m_clock->advanceSeconds(3600);
        m_server->clearRequests();
        m_server->setRefreshFailure(Failure(failure));
        syncAndWait();
        QVERIFY2(m_manager->lastError().startsWith(error), qPrintable(m_manager->lastError()));
        QVERIFY(!m_manager->lastError().contains("access-")); // no token in the message
        QCOMPARE(m_auth->isConnected(), staysConnected);
        QCOMPARE(m_secrets->items.value("accessToken"), staysConnected ? stored : QString());
        QCOMPARE(m_server->requestsTo("/api/v1/").size(), 0);
        QCOMPARE(titlesOf(m_manager->todayEvents()), QStringList {"Kept"});
    }

    // Credentials never leave for another origin; the same origin is fine.
    void redirectsStayOnTheServer()
    {
        FakeZohoServer elsewhere;
        QVERIFY(elsewhere.start());
        m_server->setRedirectTarget(elsewhere.url());
        m_server->setEvents(
            "home", QJsonArray {zohoEventJson("h", "Home thing", "20260325T140000Z", "20260325T150000Z")});
        connect();

        m_server->setCalendarsFailure(Failure::Redirect);
        syncAndWait();
        QCOMPARE(m_manager->lastError(),
            QStringLiteral("Zoho redirected the request to another server (%1); it was not followed")
                .arg(elsewhere.url().toString()));
        m_server->setCalendarsFailure(Failure::None);
        m_server->setEventsFailure("home", Failure::Redirect);
        syncAndWait();
        QVERIFY2(m_manager->lastError().startsWith("Home: Zoho redirected the request to another server"),
            qPrintable(m_manager->lastError()));
        QVERIFY(elsewhere.requests().isEmpty());

        m_server->clearRequests();
        m_server->setEventsFailure("home", Failure::RedirectHere);
        syncAndWait();
        QCOMPARE(m_manager->lastError(), QString());
        QCOMPARE(titlesOf(m_manager->todayEvents()), QStringList {"Home thing"});
        const QList<FakeZohoServer::RecordedRequest> legs = m_server->requestsTo("/api/v1/calendars/home/events");
        QCOMPARE(legs.size(), 2);
        QCOMPARE(legs[1].headers.value("authorization"), legs[0].headers.value("authorization"));
    }

    void limitsLeaveTheRestOutWithAWarning()
    {
        QJsonArray calendars;
        for (int i = 1; i <= ZohoCalendarManager::MaxCalendars + 2; ++i)
            calendars.append(QJsonObject {{"uid", QString("c%1").arg(i)}, {"calname", QString("Cal %1").arg(i)}});
        m_server->setCalendars(calendars);
        QJsonArray events;
        for (int i = 0; i <= ZohoCalendarManager::MaxEventsPerCalendar; ++i) {
            const QString start = QDateTime(QDate(2026, 3, 25), QTime(9, 0), QTimeZone::utc())
                                      .addSecs(i * 60)
                                      .toString("yyyyMMdd'T'HHmmss'Z'");
            events.append(zohoEventJson(QString::number(i), QString("E%1").arg(i), start, start));
        }
        m_server->setEvents("c1", events);
        connect();
        QCOMPARE(m_manager->calendars().size(), ZohoCalendarManager::MaxCalendars);
        QCOMPARE(m_manager->calendars().last().name, QStringLiteral("Cal 100"));
        QCOMPARE(m_server->requestsTo("/api/v1/calendars/c").size(), ZohoCalendarManager::MaxCalendars);
        QCOMPARE(m_manager->todayEvents().size() + m_manager->upcomingEvents().size(),
            ZohoCalendarManager::MaxEventsPerCalendar);
        QCOMPARE(m_manager->upcomingEvents().last().title, QStringLiteral("E1999"));
        QCOMPARE(m_manager->lastWarning(),
            QStringLiteral("Only the first 100 of 102 Zoho calendars are read; left out: Cal 101, Cal 102; "
                           "Cal 1: only the first 2000 events are read; 1 left out"));
        QCOMPARE(m_manager->lastError(), QString());
    }

    // An id holding "/", "?" or "#" must still name one calendar.
    void calendarIdsAreOnePathSegment()
    {
        const QString id = QStringLiteral("team/a?b#c d");
        m_server->setCalendars(QJsonArray {QJsonObject {{"uid", id}, {"calname", "Odd"}}});
        m_server->setEvents(id, QJsonArray {zohoEventJson("o", "Odd one", "20260325T120000Z", "20260325T130000Z")});
        connect();
        QCOMPARE(titlesOf(m_manager->todayEvents()), QStringList {"Odd one"});
        const QList<FakeZohoServer::RecordedRequest> requests = m_server->requestsTo("/api/v1/calendars/team");
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].path, QStringLiteral("/api/v1/calendars/team%2Fa%3Fb%23c%20d/events"));
    }

    void overlappingSyncsRunOneAfterAnother()
    {
        m_server->setEvents("work", QJsonArray {zohoEventJson("w", "W", "20260325T120000Z", "20260325T130000Z")});
        connect();
        m_server->clearRequests();
        m_server->setSlowMilliseconds(200);
        m_server->setEventsFailure("work", FakeZohoServer::Failure::Slow);
        int finished = 0;
        for (int i = 0; i < 3; ++i)
            m_manager->sync([&finished] { ++finished; });
        QVERIFY(waitFor([&finished] { return finished == 3; }, 10000));
        // The first call's run, then one more for the two that came while it ran.
        QCOMPARE(calendarListRequests(), 2);
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
        // The same event in the query, as Zoho's published API takes it ("+" encoded).
        QVERIFY(request.query.contains("%2B0100"));
        QCOMPARE(
            QJsonDocument::fromJson(QUrlQuery(request.query).queryItemValue("eventdata", QUrl::FullyDecoded).toUtf8())
                .object(),
            data);
        QCOMPARE(data["title"].toString(), QStringLiteral("Lunch"));
        const QJsonObject when = data["dateandtime"].toObject();
        QCOMPARE(when["start"].toString(), QStringLiteral("20260325T123000+0100"));
        QCOMPARE(when["end"].toString(), QStringLiteral("20260325T133000+0100"));
        QCOMPARE(when["timezone"].toString(), QStringLiteral("Europe/Berlin"));
        QVERIFY(!when.contains("allday"));
        // The sync after creating has the new event.
        QCOMPARE(titlesOf(m_manager->todayEvents()), QStringList {"Lunch"});

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

    void coloursAndDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // colour name, or empty for none
        const std::pair<const char *, const char *> rows[] {{"#FF0000", "#ff0000"}, {"ff0000", "#ff0000"}, {"#ABC", ""},
            {"#FF0000FF", ""}, {"  #00ff00 ;", "#00ff00"}, {"orange", ""}, {"#12345", ""}, {"12345G", ""},
            {"0x1234", ""}};
        for (const auto &[text, expected] : rows)
            QTest::newRow(text) << QString(text) << QString(expected);
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
