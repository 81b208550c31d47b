// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's calendars through a real, private Evolution Data Server
// (tests/with_eds.sh starts it by D-Bus activation in a session of its own).
// Calendars and events are set up and changed by another process
// (eds_fixture), as another program of the desktop would.
#include "TestSupport.h"

#include "calendar/EdsProvider.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

using namespace TestSupport;

namespace {

const QTimeZone Berlin("Europe/Berlin");

QDateTime berlin(int month, int day, int hour = 0, int minute = 0)
{
    return QDateTime(QDate(2026, month, day), QTime(hour, minute), Berlin);
}

QByteArray runFixture(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(EDS_FIXTURE), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning() << "eds_fixture" << arguments << "failed:" << process.readAllStandardError();
        return QByteArray("FAILED");
    }
    return process.readAllStandardOutput();
}

#define FIXTURE(...) QVERIFY(runFixture({__VA_ARGS__}) != "FAILED")

// Asks the private bus something with dbus-send; the answer's last word.
QString busCall(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("dbus-send"),
        QStringList {"--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus"} + arguments);
    process.waitForFinished(10000);
    const QStringList words = QString::fromUtf8(process.readAllStandardOutput()).simplified().split(QLatin1Char(' '));
    return process.exitCode() == 0 ? words.value(words.size() - 1) : QString();
}

const char *const RegistryName = "org.gnome.evolution.dataserver.Sources5";

// A calendar file on a web server of the test's own, on the loopback address.
class WebCalendar : public QTcpServer
{
public:
    explicit WebCalendar(QByteArray calendar)
        : m_calendar(std::move(calendar))
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    m_request += socket->readAll();
                    if (!m_request.contains("\r\n\r\n"))
                        return;
                    m_request.clear();
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/calendar\r\nConnection: close\r\n"
                                  "Content-Length: "
                        + QByteArray::number(m_calendar.size()) + "\r\n\r\n" + m_calendar);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/town.ics").arg(serverPort()); }

private:
    QByteArray m_calendar;
    QByteArray m_request;
};

// The starts of one series' occurrences.
QList<QDateTime> startsOf(const QString &title, const QList<CalendarEvent> &events)
{
    QList<QDateTime> starts;
    for (const CalendarEvent &event : events) {
        if (event.title == title)
            starts.append(event.start);
    }
    return starts;
}

// Stops the calendar registry and waits until its name has no owner.
bool stopRegistry()
{
    const QString pid = busCall({"org.freedesktop.DBus.GetConnectionUnixProcessID", QString("string:") + RegistryName});
    if (!pid.isEmpty())
        QProcess::execute("kill", {pid});
    return waitFor(
        [] {
            return busCall({"org.freedesktop.DBus.NameHasOwner", QString("string:") + RegistryName}) == "false";
        },
        10000);
}

// A store with the desktop provider alone, read once.
struct Desktop
{
    Desktop()
        : clock(berlin(3, 25, 10), Berlin)
    {
        provider = new EdsProvider(clock);
        store.addProvider(provider);
        provider->start();
        store.waitUntilLoaded(20000);
    }

    std::optional<CalendarInfo> calendar(const QString &uid) const { return store.calendar("eds:" + uid); }

    QList<CalendarEvent> eventsOf(const QString &uid, const QDateTime &from, const QDateTime &to) const
    {
        return store.events(from, to, {"eds:" + uid});
    }

    FixedClock clock;
    CalendarStore store;
    EdsProvider *provider = nullptr;
};

} // namespace

class EdsProviderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(TestSupport::onPrivateBus(), "run through tests/with_eds.sh");
        qputenv("TZ", "Europe/Berlin");
        // An online account (calendars under a collection whose backend EDS
        // has no module for are hidden by the registry itself, and the
        // Google and CalDAV modules would go online: Outlook's does not).
        FIXTURE("add-account", "acct-outlook", "someone@example.com", "outlook");
        FIXTURE("add-calendar", "cal-work", "Work", "acct-outlook", "#3366cc");
        FIXTURE("add-calendar", "cal-team", "Team", "acct-outlook", "rgb(16,128,64)");
        FIXTURE("add-account", "acct-family", "Family", "none");
        FIXTURE("add-calendar", "cal-family", "Home", "acct-family", "#aa0000");

        // A published calendar: EDS reads the file but takes no changes.
        m_published = m_dir.filePath("published.ics");
        writeFile(m_published,
            calendarWith("BEGIN:VEVENT\r\nUID:talk\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Published talk\r\n"
                         "DTSTART:20260326T110000Z\r\nDTEND:20260326T120000Z\r\nEND:VEVENT\r\n"));
        FIXTURE("add-calendar", "cal-readonly", "Holidays", "local-stub", "#808080", m_published);

        const QString events = m_dir.filePath("work.ics");
        writeFile(events,
            calendarWith(
                // Weekly at 09:00 Berlin across the switch to summer time on
                // 29 March, 6 April left out.
                "BEGIN:VEVENT\r\nUID:weekly\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Weekly review\r\n"
                "DTSTART;TZID=Europe/Berlin:20260316T090000\r\nDTEND;TZID=Europe/Berlin:20260316T100000\r\n"
                "RRULE:FREQ=WEEKLY;COUNT=5\r\nEXDATE;TZID=Europe/Berlin:20260406T090000\r\n"
                "DESCRIPTION:Bring the numbers\r\nEND:VEVENT\r\n"
                "BEGIN:VEVENT\r\nUID:trip\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Trip\r\n"
                "DTSTART;VALUE=DATE:20260327\r\nDTEND;VALUE=DATE:20260329\r\nEND:VEVENT\r\n"
                "BEGIN:VEVENT\r\nUID:call\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Call New York\r\n"
                "DTSTART;TZID=America/New_York:20260326T090000\r\nDTEND;TZID=America/New_York:20260326T093000\r\n"
                "LOCATION:Room 4\r\nURL:https://example.com/call\r\nDESCRIPTION:Agenda attached\r\n"
                "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Call\r\nTRIGGER;RELATED=END:-PT5M\r\nEND:VALARM\r\n"
                "BEGIN:VALARM\r\nACTION:EMAIL\r\nTRIGGER:-PT1H\r\nEND:VALARM\r\nEND:VEVENT\r\n"
                "BEGIN:VEVENT\r\nUID:wall\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Floating tea\r\n"
                "DTSTART:20260326T150000\r\nDTEND:20260326T153000\r\nEND:VEVENT\r\n"));
        FIXTURE("import", "cal-work", events);
    }

    void calendarsOfTwoAccountsAndAReadOnlyOne()
    {
        Desktop desktop;
        QVERIFY(desktop.provider->hasRegistry());
        QVERIFY(desktop.provider->isReadable());

        QMap<QString, QString> sourceTitles;
        QMap<QString, QString> services;
        for (const CalendarSource &source : desktop.store.sources()) {
            sourceTitles.insert(source.identifier, source.title);
            services.insert(source.identifier, source.service);
        }
        // The account's kind is data: the collection's backend, where it names a service.
        QCOMPARE(services.value("eds:acct-outlook"), QStringLiteral("outlook"));
        QCOMPARE(services.value("eds:acct-family"), QString()); // "none" is no service
        QCOMPARE(services.value("eds:local-stub"), QString());
        // The account named by its address gets the service's name; the
        // Integrations tab finds "outlook" in it.
        QCOMPARE(sourceTitles.value("eds:acct-outlook"), QStringLiteral("Outlook (someone@example.com)"));
        QCOMPARE(sourceTitles.value("eds:acct-family"), QStringLiteral("Family"));
        QCOMPARE(sourceTitles.value("eds:local-stub"), QStringLiteral("On This Computer"));

        const auto work = desktop.calendar("cal-work");
        const auto team = desktop.calendar("cal-team");
        const auto home = desktop.calendar("cal-family");
        const auto holidays = desktop.calendar("cal-readonly");
        QVERIFY(work && team && home && holidays);
        QCOMPARE(work->title, QStringLiteral("Work"));
        QCOMPARE(work->color, QStringLiteral("#3366CC"));
        QCOMPARE(team->color, QStringLiteral("#108040")); // GNOME Calendar writes rgb()
        QCOMPARE(work->sourceId, QStringLiteral("eds:acct-outlook"));
        QCOMPARE(team->sourceId, QStringLiteral("eds:acct-outlook"));
        QCOMPARE(home->sourceId, QStringLiteral("eds:acct-family"));
        QCOMPARE(holidays->sourceId, QStringLiteral("eds:local-stub"));
        QVERIFY(work->allowsModifications);
        QVERIFY(home->allowsModifications);
        QVERIFY(!holidays->allowsModifications);
        QCOMPARE(work->providerId, QStringLiteral("eds"));

        // The read-only calendar's event is read all the same.
        QCOMPARE(
            titlesOf(desktop.eventsOf("cal-readonly", berlin(3, 26), berlin(3, 27))), QStringList {"Published talk"});
    }

    void occurrencesInTheirZonesAcrossDaylightSaving()
    {
        Desktop desktop;
        // Inside the window kept in memory and far outside it, the same answer.
        for (const auto &[from, to] :
            {std::pair(berlin(3, 18), berlin(4, 20)), std::pair(berlin(1, 1), berlin(12, 31))}) {
            QList<CalendarEvent> weekly = desktop.eventsOf("cal-work", from, to);
            weekly.removeIf([](const CalendarEvent &event) { return event.title != "Weekly review"; });
            const QList<QDateTime> expected = from < berlin(3, 16)
                ? QList<QDateTime> {berlin(3, 16, 9), berlin(3, 23, 9), berlin(3, 30, 9), berlin(4, 13, 9)}
                : QList<QDateTime> {berlin(3, 23, 9), berlin(3, 30, 9), berlin(4, 13, 9)};
            QCOMPARE(startsOf("Weekly review", weekly), expected);
            for (const CalendarEvent &event : weekly) {
                QCOMPARE(event.start.timeZone().id(), QByteArray("Europe/Berlin"));
                QCOMPARE(event.start.time(), QTime(9, 0));
                QCOMPARE(event.end.time(), QTime(10, 0));
                QVERIFY(event.isRecurring);
                QCOMPARE(event.eventIdentifier, QStringLiteral("eds:cal-work/weekly"));
            }
            // 09:00 is 08:00 UTC before the switch and 07:00 after it.
            const CalendarEvent &afterSwitch = weekly[weekly.size() - 2];
            QCOMPARE(afterSwitch.recurrenceKey, QStringLiteral("20260330T070000Z"));
            QCOMPARE(afterSwitch.id, QStringLiteral("eds:cal-work/weekly@20260330T070000Z"));
        }

        const QList<CalendarEvent> day = desktop.eventsOf("cal-work", berlin(3, 26), berlin(3, 27));
        QCOMPARE(titlesOf(day), (QStringList {"Call New York", "Floating tea"}));
        const CalendarEvent &call = day[0];
        QCOMPARE(call.start.timeZone().id(), QByteArray("America/New_York"));
        QCOMPARE(call.start.toUTC(), QDateTime(QDate(2026, 3, 26), QTime(13, 0), QTimeZone::utc()));
        QVERIFY(!call.isRecurring);
        QVERIFY(call.recurrenceKey.isEmpty());
        // A floating time is the user's wall-clock time.
        QCOMPARE(day[1].start, berlin(3, 26, 15));

        const QList<CalendarEvent> trip = desktop.eventsOf("cal-work", berlin(3, 28), berlin(3, 29));
        QCOMPARE(titlesOf(trip), QStringList {"Trip"});
        QVERIFY(trip[0].allDay);
        QCOMPARE(trip[0].startDate, QDate(2026, 3, 27));
        QCOMPARE(trip[0].endDate, QDate(2026, 3, 29));
        QCOMPARE(trip[0].start, berlin(3, 27));
        // Both days of the trip are in the days' queries, none after it.
        QVERIFY(desktop.eventsOf("cal-work", berlin(3, 29), berlin(3, 30)).isEmpty());
    }

    // Notes, link, place and the alarms that show something, as in a
    // local file.
    void detailsComeFromTheCalendar()
    {
        Desktop desktop;
        const QList<CalendarEvent> day = desktop.eventsOf("cal-work", berlin(3, 26), berlin(3, 27));
        QVERIFY(!day.isEmpty());
        QCOMPARE(desktop.store.eventDetails(day[0]),
            (EventDetails {"Agenda attached", "https://example.com/call", "Room 4",
                {EventAlarm {EventAlarm::Anchor::End, -300, {}}}}));
        // An occurrence of a series has the series' notes.
        const QList<CalendarEvent> review = desktop.eventsOf("cal-work", berlin(3, 23), berlin(3, 24));
        QCOMPARE(titlesOf(review), QStringList {"Weekly review"});
        QCOMPARE(desktop.store.eventDetails(review[0]).notes, QStringLiteral("Bring the numbers"));
    }

    // What `brivane delete` is given: an id from a list, of any event at any time.
    void eventsAreFoundByTheirIds()
    {
        Desktop desktop;
        QList<CalendarEvent> events = desktop.eventsOf("cal-work", berlin(1, 1), berlin(12, 31));
        events += desktop.eventsOf("cal-readonly", berlin(1, 1), berlin(12, 31));
        QCOMPARE(events.size(), 4 + 3 + 1); // the weekly series, the trip, the call, the tea; the talk
        for (const CalendarEvent &event : events) {
            const std::optional<CalendarEvent> found = desktop.store.eventById(event.id);
            QVERIFY2(found, qPrintable(event.id));
            QCOMPARE(*found, event);
        }
        for (const QString &id : {QStringLiteral("eds:cal-work/nothing"), QStringLiteral("eds:cal-work/weekly"),
                 QStringLiteral("eds:cal-work/weekly@20260406T070000Z"), // left out by its EXDATE
                 QStringLiteral("eds:cal-work/trip@20260327"), QStringLiteral("eds:cal-none/trip")}) {
            QVERIFY2(!desktop.store.eventById(id), qPrintable(id));
        }
    }

    void removingOneOccurrenceKeepsTheSeries()
    {
        Desktop desktop;
        QList<CalendarEvent> weekly = desktop.eventsOf("cal-work", berlin(3, 30), berlin(3, 31));
        QCOMPARE(titlesOf(weekly), QStringList {"Weekly review"});
        const StoreResult removed = desktop.store.removeEvent(weekly[0]);
        QVERIFY2(removed.ok, qPrintable(removed.error));

        auto startsOfSeries = [](const Desktop &reader) {
            return startsOf("Weekly review", reader.eventsOf("cal-work", berlin(3, 18), berlin(4, 20)));
        };
        const QList<QDateTime> rest {berlin(3, 23, 9), berlin(4, 13, 9)};
        QCOMPARE(startsOfSeries(desktop), rest); // at once
        QSignalSpy changed(&desktop.store, &CalendarStore::changed);
        QVERIFY(changed.wait(5000)); // the calendar's own report follows
        QCOMPARE(startsOfSeries(desktop), rest);

        // The calendar keeps the series with that occurrence excluded, in UTC.
        const QByteArray stored = runFixture({"dump", "cal-work"});
        QVERIFY(stored.contains("UID:weekly"));
        QVERIFY(stored.contains("RRULE"));
        QVERIFY2(stored.contains("EXDATE:20260330T070000Z"), stored.constData());

        // A new reader sees the same.
        QCOMPARE(startsOfSeries(Desktop()), rest);
    }

    void savesNewEventsAndRefusesReadOnlyCalendars()
    {
        Desktop desktop;
        NewEventRequest timed = newEvent("eds:cal-family", "Dentist", berlin(3, 31, 14), berlin(3, 31, 15));
        timed.location = "Main street";
        const StoreResult saved = desktop.store.saveEvent(timed);
        QVERIFY2(saved.ok, qPrintable(saved.error));
        QVERIFY(saved.eventId.startsWith("eds:cal-family/"));
        // Listed right away, in its zone.
        const QList<CalendarEvent> listed = desktop.eventsOf("cal-family", berlin(3, 31), berlin(4, 1));
        QCOMPARE(titlesOf(listed), QStringList {"Dentist"});
        QCOMPARE(listed[0].start, berlin(3, 31, 14));
        QCOMPARE(listed[0].end, berlin(3, 31, 15));
        QCOMPARE(desktop.store.eventDetails(listed[0]).location, QStringLiteral("Main street"));

        // All day from the 1st to the 3rd: the 3rd is the last day.
        QVERIFY(desktop.store.saveEvent(newEvent("eds:cal-family", "Conference", berlin(4, 1), berlin(4, 3), true)).ok);
        const QByteArray stored = runFixture({"dump", "cal-family"});
        QVERIFY2(stored.contains("DTSTART;VALUE=DATE:20260401"), stored.constData());
        QVERIFY2(stored.contains("DTEND;VALUE=DATE:20260404"), stored.constData());
        QTRY_VERIFY_WITH_TIMEOUT(
            titlesOf(desktop.eventsOf("cal-family", berlin(4, 3), berlin(4, 4))).contains("Conference"), 5000);
        const CalendarEvent conference = desktop.eventsOf("cal-family", berlin(4, 3), berlin(4, 4)).constFirst();
        QCOMPARE(conference.startDate, QDate(2026, 4, 1));
        QCOMPARE(conference.endDate, QDate(2026, 4, 4));

        // A read-only calendar is refused before anything is written.
        const QByteArray publishedBefore = readFile(m_published);
        NewEventRequest refused = timed;
        refused.calendarId = "eds:cal-readonly";
        const StoreResult result = desktop.store.saveEvent(refused);
        QVERIFY(!result.ok);
        QCOMPARE(result.error, QStringLiteral("The calendar \"Holidays\" is read-only."));
        const CalendarEvent talk = desktop.eventsOf("cal-readonly", berlin(3, 26), berlin(3, 27)).constFirst();
        QVERIFY(!desktop.store.removeEvent(talk).ok);
        QCOMPARE(readFile(m_published), publishedBefore);

        NewEventRequest backwards = timed;
        backwards.end = timed.start.addSecs(-60);
        QVERIFY(!desktop.store.saveEvent(backwards).ok);
        NewEventRequest nowhere = timed;
        nowhere.calendarId = "eds:no-such-calendar";
        QVERIFY(!desktop.store.saveEvent(nowhere).ok);
    }

    void unreachableCalendarsShowWhatWasKept()
    {
        // A calendar subscribed to on the web, read once while its server answers.
        WebCalendar web(calendarWith("BEGIN:VEVENT\r\nUID:festival\r\nDTSTAMP:20260101T000000Z\r\n"
                                     "SUMMARY:Town festival\r\nDTSTART:20260327T170000Z\r\n"
                                     "DTEND:20260327T220000Z\r\nEND:VEVENT\r\n"));
        QVERIFY(web.listen(QHostAddress::LocalHost));
        FIXTURE("add-remote", "cal-web", "Town", web.url(), "webcal");
        {
            Desktop desktop;
            QVERIFY(
                waitFor([&] { return !desktop.eventsOf("cal-web", berlin(3, 27), berlin(3, 28)).isEmpty(); }, 20000));
        }
        web.close();

        // A CalDAV calendar whose server never answered (nothing listens there).
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const QString nowhere = QStringLiteral("http://127.0.0.1:%1/calendar/").arg(probe.serverPort());
        probe.close();
        FIXTURE("add-remote", "cal-remote", "Remote", nowhere);

        FixedClock clock(berlin(3, 25, 10), Berlin);
        CalendarStore store;
        auto *provider = new EdsProvider(clock);
        provider->setLoadTimeout(120000);
        store.addProvider(provider);
        provider->start();
        // Loaded without the load timeout: EDS hands unreachable calendars
        // over offline, with what it has kept of them.
        QVERIFY(store.waitUntilLoaded(120000));
        QCOMPARE(titlesOf(store.events(berlin(3, 27), berlin(3, 28), {"eds:cal-web"})), QStringList {"Town festival"});
        const auto remote = store.calendar("eds:cal-remote");
        QVERIFY(remote);
        QVERIFY(!remote->allowsModifications);
        QVERIFY(store.events(berlin(3, 1), berlin(5, 1), {"eds:cal-remote"}).isEmpty());
        QVERIFY(!store.events(berlin(3, 26), berlin(3, 27), {"eds:cal-work"}).isEmpty());
        FIXTURE("remove-source", "cal-remote");
        FIXTURE("remove-source", "cal-web");
    }

    void changesByOtherProgramsAreSeen()
    {
        Desktop desktop;
        QSignalSpy changed(&desktop.store, &CalendarStore::changed);

        // An event changed elsewhere.
        FIXTURE("retitle", "cal-work", "call", "Call Boston");
        QVERIFY(waitFor([&] {
            return titlesOf(desktop.eventsOf("cal-work", berlin(3, 26), berlin(3, 27))).contains("Call Boston");
        }));
        QVERIFY(!changed.isEmpty());

        // A calendar added in the desktop's settings shows up without a restart.
        FIXTURE("add-calendar", "cal-later", "Later", "local-stub", "#123456");
        QVERIFY(waitFor([&] { return desktop.calendar("cal-later").has_value(); }, 5000));
        QVERIFY(waitFor([&] { return desktop.calendar("cal-later")->allowsModifications; }, 5000));
        FIXTURE("rename", "cal-later", "Later on");
        QVERIFY(waitFor([&] { return desktop.calendar("cal-later")->title == "Later on"; }, 5000));
        FIXTURE("remove-source", "cal-later");
        QVERIFY(waitFor([&] { return !desktop.calendar("cal-later"); }, 5000));
    }

    void defaultCalendarFollowsTheDesktop()
    {
        Desktop desktop;
        // EDS's own default: its "Personal" calendar.
        QCOMPARE(desktop.store.defaultCalendarForNewEvents()->identifier, QStringLiteral("eds:system-calendar"));
        QSignalSpy changed(&desktop.store, &CalendarStore::changed);
        FIXTURE("set-default", "cal-team");
        QVERIFY(waitFor([&] { return desktop.provider->defaultCalendarId() == "eds:cal-team"; }, 5000));
        QVERIFY(!changed.isEmpty());
        // A read-only default cannot take new events: a writable one stands in.
        FIXTURE("set-default", "cal-readonly");
        QVERIFY(waitFor([&] { return desktop.provider->defaultCalendarId() != "eds:cal-team"; }, 5000));
        const auto standIn = desktop.store.calendar(desktop.provider->defaultCalendarId());
        QVERIFY(standIn && standIn->allowsModifications);
        FIXTURE("set-default", "system-calendar");
    }

    void agendaAndStatusShowBothProviders()
    {
        const QString data = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
        writeFile(data + "/brivane/calendars/local/personal/standup.ics",
            singleEvent("UID:standup\r\nSUMMARY:Standup\r\nDTSTART;TZID=Europe/Berlin:20260326T081500\r\n"
                        "DTEND;TZID=Europe/Berlin:20260326T083000\r\n"));
        auto run = [](const QStringList &arguments) {
            QProcess process;
            process.start(QStringLiteral(BRIVANE_BINARY), arguments);
            process.waitForFinished(60000);
            return process.readAllStandardOutput();
        };
        const QJsonObject agenda
            = QJsonDocument::fromJson(run({"agenda", "--json", "--at", "2026-03-26T08:00:00"})).object();
        QStringList order;
        for (const QJsonValue &value : agenda["today"].toArray()) {
            const QJsonObject event = value.toObject();
            order.append(event["title"].toString() + " " + event["source"].toString());
        }
        // The local stand-up at 08:15 among the desktop's events of the day.
        QCOMPARE(order, (QStringList {"Standup local", "Published talk eds", "Call Boston eds", "Floating tea eds"}));

        const QJsonObject status
            = QJsonDocument::fromJson(run({"status", "--json", "--at", "2026-03-26T13:50:00"})).object();
        QCOMPARE(status["text"].toString(), QString("Call Boston \u00B7 in 10m"));
    }

    // Beside the desktop's calendars, whose default takes new events,
    // brivane makes no folder of its own; one that is there stays. Its
    // "Personal" and the desktop's are then named with their accounts
    // wherever one is chosen, and `--calendar Personal` is refused.
    void ownFolderAndSharedNamesBesideTheDesktop()
    {
        QTemporaryDir home;
        struct Run
        {
            int exitCode = -1;
            QString out;
            QString err;
        };
        auto run = [&home](const QStringList &arguments) {
            QProcess process;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
                environment.insert(name, home.filePath(name));
            environment.insert("BRIVANE_NO_INSTANCE", "1");
            process.setProcessEnvironment(environment);
            process.start(QStringLiteral(BRIVANE_BINARY), arguments);
            process.waitForFinished(60000);
            return Run {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
        };
        const QString ownRoot = home.filePath("XDG_DATA_HOME") + "/brivane/calendars";
        const Run dentist = run({"add", "Dentist", "--start", "2026-04-20T14:00"});
        QCOMPARE(dentist.exitCode, 0);
        QVERIFY2(dentist.out.startsWith("eds:system-calendar/"), qPrintable(dentist.out));
        QVERIFY(run({"agenda", "--at", "2026-04-20T09:00"}).out.contains("Dentist  (Personal)\n"));
        QVERIFY(!QFileInfo::exists(ownRoot));

        writeFile(ownRoot + "/local/displayname", "Local");
        writeFile(ownRoot + "/local/personal/displayname", "Personal");
        writeFile(ownRoot + "/local/personal/gym.ics",
            singleEvent("UID:gym\r\nSUMMARY:Gym\r\nDTSTART;TZID=Europe/Berlin:20260420T180000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260420T190000\r\n"));
        const Run refused = run({"add", "X", "--start", "2026-04-20T10:00", "--calendar", "Personal"});
        QCOMPARE(refused.exitCode, 2);
        QVERIFY2(refused.err.contains("  Personal \u2014 On This Computer  (eds:system-calendar)\n"),
            qPrintable(refused.err));
        QVERIFY2(refused.err.contains("  Personal \u2014 Local  (local:"), qPrintable(refused.err));

        const Run agenda = run({"agenda", "--at", "2026-04-20T09:00"});
        QVERIFY2(agenda.out.contains("Dentist  (Personal \u2014 On This Computer)\n"), qPrintable(agenda.out));
        QVERIFY2(agenda.out.contains("Gym  (Personal \u2014 Local)\n"), qPrintable(agenda.out));
        const Run checkup
            = run({"add", "Checkup", "--start", "2026-04-20T16:00", "--calendar", "Personal \u2014 On This Computer"});
        QCOMPARE(checkup.exitCode, 0);
        QVERIFY2(checkup.out.startsWith("eds:system-calendar/"), qPrintable(checkup.out));
        QCOMPARE(QDir(ownRoot + "/local/personal").entryList({"*.ics"}), QStringList {"gym.ics"});
    }

    void registryGoingAwayAndComingBack()
    {
        Desktop desktop;
        QVERIFY(desktop.calendar("cal-work"));
        QVERIFY(stopRegistry());

        // What was read stays, and the calendars go on answering.
        QVERIFY(waitFor([&] { return !desktop.provider->hasRegistry(); }, 5000));
        QVERIFY(desktop.calendar("cal-work"));
        QVERIFY(!desktop.eventsOf("cal-work", berlin(3, 26), berlin(3, 27)).isEmpty());

        // Another program brings the registry back (by D-Bus activation)
        // and adds a calendar; the provider follows.
        FIXTURE("add-calendar", "cal-back", "Back", "local-stub", "#00ff00");
        QVERIFY(waitFor([&] { return desktop.calendar("cal-back").has_value(); }, 10000));
        QVERIFY(desktop.provider->hasRegistry());
        QVERIFY(desktop.calendar("cal-work"));
    }

    void absentRegistryIsPickedUpWhenItAppears()
    {
        // The registry gone and no way to start it: the provider is absent.
        const QString services = QString::fromLocal8Bit(qgetenv("BRIVANE_EDS_SERVICES"));
        const QString service = services + "/org.gnome.evolution.dataserver.Sources5.service";
        QVERIFY(QFile::rename(service, service + ".off"));
        busCall({"org.freedesktop.DBus.ReloadConfig"});
        QVERIFY(stopRegistry());

        Desktop desktop;
        QVERIFY(desktop.provider->isLoaded());
        QVERIFY(!desktop.provider->hasRegistry());
        QVERIFY(!desktop.provider->isReadable());
        QVERIFY(desktop.store.calendars().isEmpty());
        QVERIFY(desktop.provider->defaultCalendarId().isEmpty());

        // The registry starts later: picked up without a restart.
        QVERIFY(QFile::rename(service + ".off", service));
        busCall({"org.freedesktop.DBus.ReloadConfig"});
        QSignalSpy changed(&desktop.store, &CalendarStore::changed);
        busCall({"org.freedesktop.DBus.StartServiceByName", QString("string:") + RegistryName, "uint32:0"});
        QVERIFY(waitFor([&] { return desktop.calendar("cal-work").has_value(); }, 10000));
        QVERIFY(desktop.provider->hasRegistry());
        QVERIFY(waitFor([&] { return !desktop.eventsOf("cal-work", berlin(3, 26), berlin(3, 27)).isEmpty(); }, 10000));
        QVERIFY(!changed.isEmpty());
    }

private:
    QTemporaryDir m_dir;
    QString m_published;
};

BRIVANE_TEST_MAIN(EdsProviderTest)
#include "tst_edsprovider.moc"
