// SPDX-License-Identifier: GPL-3.0-or-later
// Today's and the coming week's lists: their ranges, their caps, the hidden
// calendars and what makes them query again.
#include "TestSupport.h"

#include "calendar/CalendarEventManager.h"

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");

QByteArray timed(const char *uid, const char *title, const char *start, const char *end)
{
    return singleEvent(QByteArray("UID:") + uid + "\r\nSUMMARY:" + title + "\r\nDTSTART;TZID=Europe/Berlin:" + start
        + "\r\nDTEND;TZID=Europe/Berlin:" + end + "\r\n");
}

} // namespace

class EventManagerTest : public QObject
{
    Q_OBJECT

    // Now: Wednesday 25 March 2026, 10:00 in Berlin.
    std::unique_ptr<VdirFixture> m_fixture;

    CalendarEventManager *makeManager()
    {
        m_fixture->start();
        return new CalendarEventManager(*m_fixture->store, m_fixture->clock, {}, m_fixture->store.get());
    }

private slots:
    void init() { m_fixture = std::make_unique<VdirFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void listsCoverTheRestOfTodayAndTheComingWeek()
    {
        m_fixture->addEvent("ended.ics", timed("ended", "Ended", "20260325T080000", "20260325T090000"));
        m_fixture->addEvent("running.ics", timed("running", "Running", "20260325T093000", "20260325T103000"));
        m_fixture->addEvent("later.ics", timed("later", "Later", "20260325T150000", "20260325T160000"));
        m_fixture->addEvent("midnight.ics", timed("midnight", "Across midnight", "20260325T230000", "20260326T010000"));
        m_fixture->addEvent("tomorrow.ics", timed("tomorrow", "Tomorrow", "20260326T090000", "20260326T100000"));
        m_fixture->addEvent(
            "today-all.ics", singleEvent("UID:ta\r\nSUMMARY:Today all day\r\nDTSTART;VALUE=DATE:20260325\r\n"));
        m_fixture->addEvent(
            "tomorrow-all.ics", singleEvent("UID:tm\r\nSUMMARY:Tomorrow all day\r\nDTSTART;VALUE=DATE:20260326\r\n"));
        m_fixture->addEvent("week.ics", timed("week", "In a week", "20260401T093000", "20260401T094500"));
        m_fixture->addEvent("past-week.ics", timed("past", "Just too late", "20260401T100000", "20260401T110000"));
        CalendarEventManager *manager = makeManager();

        QCOMPARE(
            titlesOf(manager->todayEvents()), (QStringList {"Today all day", "Running", "Later", "Across midnight"}));
        // The event across midnight and today's all-day event, which ends at
        // midnight, are today's only.
        QCOMPARE(titlesOf(manager->upcomingEvents()), (QStringList {"Tomorrow all day", "Tomorrow", "In a week"}));
    }

    // An event of several days is listed once: under today while it covers
    // today, under upcoming when it starts later.
    void anEventOfSeveralDaysIsInOneListOnly_data()
    {
        QTest::addColumn<QByteArray>("dates");
        QTest::addColumn<bool>("today");
        QTest::newRow("all day, starts today")
            << QByteArray("DTSTART;VALUE=DATE:20260325\r\nDTEND;VALUE=DATE:20260328\r\n") << true;
        QTest::newRow("all day, began before today")
            << QByteArray("DTSTART;VALUE=DATE:20260323\r\nDTEND;VALUE=DATE:20260327\r\n") << true;
        QTest::newRow("all day, ends today")
            << QByteArray("DTSTART;VALUE=DATE:20260323\r\nDTEND;VALUE=DATE:20260326\r\n") << true;
        QTest::newRow("timed, began yesterday, ends tomorrow")
            << QByteArray("DTSTART;TZID=Europe/Berlin:20260324T180000\r\nDTEND;TZID=Europe/Berlin:20260326T120000\r\n")
            << true;
        QTest::newRow("all day, starts tomorrow")
            << QByteArray("DTSTART;VALUE=DATE:20260326\r\nDTEND;VALUE=DATE:20260329\r\n") << false;
        QTest::newRow("timed, starts at midnight")
            << QByteArray("DTSTART;TZID=Europe/Berlin:20260326T000000\r\nDTEND;TZID=Europe/Berlin:20260327T120000\r\n")
            << false;
    }
    void anEventOfSeveralDaysIsInOneListOnly()
    {
        QFETCH(QByteArray, dates);
        QFETCH(bool, today);
        m_fixture->addEvent("trip.ics", singleEvent("UID:trip\r\nSUMMARY:Trip\r\n" + dates));
        CalendarEventManager *manager = makeManager();
        QCOMPARE(titlesOf(manager->todayEvents()), today ? QStringList {"Trip"} : QStringList());
        QCOMPARE(titlesOf(manager->upcomingEvents()), today ? QStringList() : QStringList {"Trip"});
    }

    void eachListHoldsTheTenThatStartFirst()
    {
        for (int i = 0; i < 15; ++i) {
            const QByteArray hour = QByteArray::number(22 - i / 2).rightJustified(2, '0');
            const QByteArray minute = i % 2 ? "30" : "00";
            m_fixture->addEvent(QStringLiteral("e%1.ics").arg(i),
                timed(QByteArray("e" + QByteArray::number(i)).constData(), QByteArray("E" + hour + minute).constData(),
                    "20260325T" + hour + minute + "00", "20260325T" + hour + minute + "10"));
        }
        CalendarEventManager *manager = makeManager();
        const QList<CalendarEvent> today = manager->todayEvents();
        QCOMPARE(today.size(), 10);
        QCOMPARE(today.first().title, QStringLiteral("E1500"));
        QCOMPARE(today.last().title, QStringLiteral("E2000")); // 15:00, 16:00, 16:30 … 20:00
        QVERIFY(
            std::is_sorted(today.begin(), today.end(), [](const auto &a, const auto &b) { return a.start < b.start; }));
    }

    void hiddenCalendarsLeaveTheListsAtOnce()
    {
        m_fixture->addEvent("w.ics", timed("w", "Work", "20260325T120000", "20260325T130000"), "work");
        m_fixture->addEvent("h.ics", timed("h", "Home", "20260325T180000", "20260325T190000"), "home");
        CalendarEventManager *manager = makeManager();
        QSignalSpy todayChanged(manager, &CalendarEventManager::todayEventsChanged);

        manager->setHiddenCalendarIds({m_fixture->calendarId("work")});
        QCOMPARE(todayChanged.size(), 1); // no store change needed
        QCOMPARE(titlesOf(manager->todayEvents()), QStringList {"Home"});

        // Hiding every calendar shows them all.
        manager->setHiddenCalendarIds({m_fixture->calendarId("work"), m_fixture->calendarId("home")});
        QCOMPARE(titlesOf(manager->todayEvents()), (QStringList {"Work", "Home"}));

        // Ids of calendars that no longer exist change nothing.
        manager->setHiddenCalendarIds({QStringLiteral("local:/gone"), m_fixture->calendarId("home")});
        QCOMPARE(titlesOf(manager->todayEvents()), QStringList {"Work"});
    }

    void storeChangesAndSavesReachTheLists()
    {
        CalendarEventManager *manager = makeManager();
        QVERIFY(manager->todayEvents().isEmpty());

        // Written by another program: the store's change notice re-queries.
        QSignalSpy todayChanged(manager, &CalendarEventManager::todayEventsChanged);
        m_fixture->addEvent("x.ics", timed("x", "From outside", "20260325T140000", "20260325T150000"));
        QTRY_COMPARE(titlesOf(manager->todayEvents()), QStringList {"From outside"});

        // Saved through the store: visible to the next query at once.
        QVERIFY(m_fixture->store
                    ->saveEvent(newEvent(m_fixture->calendarId(), QStringLiteral("Saved"),
                        QDateTime(QDate(2026, 3, 27), QTime(9, 0), Berlin),
                        QDateTime(QDate(2026, 3, 27), QTime(9, 10), Berlin)))
                    .ok);
        manager->fetchEvents();
        QCOMPARE(titlesOf(manager->upcomingEvents()), QStringList {"Saved"});
    }

    void endOfDayIsTheLastSecondOfTheDay()
    {
        const QDateTime now(QDate(2026, 10, 25), QTime(1, 30), Berlin); // the day the clocks go back
        QCOMPARE(endOfDay(now), QDateTime(QDate(2026, 10, 25), QTime(23, 59, 59), Berlin));
        QCOMPARE(now.secsTo(endOfDay(now)), qint64(23 * 3600 + 29 * 60 + 59));
    }
};

BRIVANE_TEST_MAIN(EventManagerTest)
#include "tst_eventmanager.moc"
