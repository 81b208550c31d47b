// Reading and expanding events: recurrence, the four kinds of time, zones
// and the range rule, through the store as the program uses it.
#include "TestSupport.h"

#include "calendar/IcsParser.h"
#include "calendar/RecurrenceExpander.h"

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");
const QTimeZone NewYork("America/New_York");

QList<QDate> startDates(const QList<CalendarEvent> &events, const QTimeZone &zone)
{
    QList<QDate> dates;
    for (const CalendarEvent &e : events)
        dates.append(e.start.toTimeZone(zone).date());
    return dates;
}
} // namespace

class RecurrenceTest : public QObject
{
    Q_OBJECT

private slots:
    void weeklySeriesKeepsItsWallClockAcrossDst_data()
    {
        QTest::addColumn<QByteArray>("zoneId");
        QTest::addColumn<QDate>("before");
        QTest::addColumn<QDate>("after");
        QTest::addColumn<int>("utcHourBefore");
        QTest::addColumn<int>("utcHourAfter");
        QTest::newRow("Europe/Berlin") << QByteArray("Europe/Berlin") << QDate(2026, 3, 23) << QDate(2026, 3, 30) << 8
                                       << 7;
        QTest::newRow("America/New_York")
            << QByteArray("America/New_York") << QDate(2026, 3, 2) << QDate(2026, 3, 9) << 14 << 13;
    }
    void weeklySeriesKeepsItsWallClockAcrossDst()
    {
        QFETCH(QByteArray, zoneId);
        QFETCH(QDate, before);
        QFETCH(QDate, after);
        QFETCH(int, utcHourBefore);
        QFETCH(int, utcHourAfter);
        const QTimeZone zone(zoneId);
        VdirFixture fixture(zone, QDateTime(before, QTime(8, 0), zone));
        const QByteArray start = before.addDays(-7).toString(QStringLiteral("yyyyMMdd")).toLatin1();
        fixture.addEvent("weekly.ics",
            singleEvent("UID:weekly\r\nSUMMARY:Standup\r\nDTSTART;TZID=" + zoneId + ":" + start
                + "T090000\r\nDTEND;TZID=" + zoneId + ":" + start + "T093000\r\nRRULE:FREQ=WEEKLY;COUNT=4\r\n"));
        fixture.start();

        const QList<CalendarEvent> events = fixture.eventsOn(before, after.addDays(1));
        QCOMPARE(events.size(), 2);
        QCOMPARE(events[0].start.toTimeZone(zone).time(), QTime(9, 0));
        QCOMPARE(events[1].start.toTimeZone(zone).time(), QTime(9, 0));
        QCOMPARE(events[0].start.toUTC().time().hour(), utcHourBefore);
        QCOMPARE(events[1].start.toUTC().time().hour(), utcHourAfter);
        QCOMPARE(events[1].start.secsTo(events[1].end), 1800);
        // Seen from another zone, the same instants.
        QCOMPARE(events[1].start.toUTC(), QDateTime(after, QTime(9, 0), zone).toUTC());
    }

    void eventThroughTheDstGapLastsItsRealLength()
    {
        VdirFixture fixture;
        fixture.addEvent("night.ics",
            singleEvent("UID:night\r\nDTSTART;TZID=Europe/Berlin:20260329T010000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260329T040000\r\nSUMMARY:Night shift\r\n"));
        fixture.start();
        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 29), QDate(2026, 3, 30));
        QCOMPARE(events.size(), 1);
        QCOMPARE(events[0].start.secsTo(events[0].end), 2 * 3600);
        QCOMPARE(events[0].end.toTimeZone(Berlin).time(), QTime(4, 0));
    }

    void exdatesAndOverridesShapeTheSeries()
    {
        VdirFixture fixture;
        fixture.addEvent("daily.ics",
            calendarWith("BEGIN:VEVENT\r\nUID:daily\r\nSUMMARY:Daily\r\n"
                         "DTSTART;TZID=Europe/Berlin:20260323T100000\r\nDURATION:PT1H\r\n"
                         "RRULE:FREQ=DAILY;COUNT=6\r\n"
                         "EXDATE;TZID=Europe/Berlin:20260324T100000\r\n"
                         "EXDATE:20260328T090000Z\r\n" // the same instant written in UTC
                         "END:VEVENT\r\n"
                         "BEGIN:VEVENT\r\nUID:daily\r\nSUMMARY:Moved\r\n"
                         "RECURRENCE-ID;TZID=Europe/Berlin:20260325T100000\r\n"
                         "DTSTART;TZID=Europe/Berlin:20260325T150000\r\nDTEND;TZID=Europe/Berlin:20260325T153000\r\n"
                         "END:VEVENT\r\n"
                         "BEGIN:VEVENT\r\nUID:daily\r\nSTATUS:CANCELLED\r\n"
                         "RECURRENCE-ID;TZID=Europe/Berlin:20260326T100000\r\n"
                         "DTSTART;TZID=Europe/Berlin:20260326T100000\r\n"
                         "END:VEVENT\r\n"));
        fixture.start();
        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 20), QDate(2026, 4, 5));
        QCOMPARE(
            startDates(events, Berlin), (QList<QDate> {QDate(2026, 3, 23), QDate(2026, 3, 25), QDate(2026, 3, 27)}));
        QCOMPARE(events[1].title, QStringLiteral("Moved"));
        QCOMPARE(events[1].start.toTimeZone(Berlin).time(), QTime(15, 0));
        QCOMPARE(events[1].start.secsTo(events[1].end), 1800);
        QCOMPARE(events[0].start.secsTo(events[0].end), 3600);
        // Every occurrence is told apart; the series shares one identifier.
        QVERIFY(events[0].id != events[1].id && events[1].id != events[2].id);
        QCOMPARE(events[0].eventIdentifier, events[2].eventIdentifier);
        QCOMPARE(events[1].eventIdentifier, events[0].eventIdentifier);
    }

    void repeatedOverrideOfOneOccurrenceCountsOnce()
    {
        VdirFixture fixture;
        const QByteArray override
            = "BEGIN:VEVENT\r\nUID:w\r\nSUMMARY:%1\r\nSEQUENCE:%2\r\nRECURRENCE-ID;VALUE=DATE:20260330\r\n"
              "DTSTART;VALUE=DATE:20260331\r\nEND:VEVENT\r\n";
        fixture.addEvent("w.ics",
            calendarWith("BEGIN:VEVENT\r\nUID:w\r\nSUMMARY:Weekly\r\nDTSTART;VALUE=DATE:20260323\r\n"
                         "RRULE:FREQ=WEEKLY;COUNT=3\r\nEND:VEVENT\r\n"
                + QString::fromLatin1(override).arg("Old").arg(2).toLatin1()
                + QString::fromLatin1(override).arg("Newest").arg(3).toLatin1()
                + QString::fromLatin1(override).arg("Stale").arg(1).toLatin1()));
        fixture.start();
        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 23), QDate(2026, 4, 13));
        QCOMPARE(events.size(), 3);
        QCOMPARE(events[1].title, QStringLiteral("Newest"));
        QCOMPARE(events[1].startDate, QDate(2026, 3, 31));
    }

    void utcUntilOfZonedSeriesKeepsTheLastOccurrence()
    {
        VdirFixture fixture;
        fixture.addEvent("until.ics",
            singleEvent("UID:until\r\nDTSTART;TZID=Europe/Berlin:20260323T100000\r\n"
                        "RRULE:FREQ=DAILY;UNTIL=20260325T090000Z\r\n"));
        fixture.start();
        QCOMPARE(fixture.eventsOn(QDate(2026, 3, 20), QDate(2026, 4, 1)).size(), 3);
    }

    void allDayDatesNeverShift_data()
    {
        QTest::addColumn<QByteArray>("userZone");
        QTest::newRow("Auckland") << QByteArray("Pacific/Auckland");
        QTest::newRow("Los Angeles") << QByteArray("America/Los_Angeles");
        QTest::newRow("UTC") << QByteArray("UTC");
    }
    void allDayDatesNeverShift()
    {
        QFETCH(QByteArray, userZone);
        const QTimeZone zone(userZone);
        VdirFixture fixture(zone, QDateTime(QDate(2026, 3, 30), QTime(12, 0), zone));
        fixture.addEvent("day.ics", singleEvent("UID:day\r\nSUMMARY:Holiday\r\nDTSTART;VALUE=DATE:20260401\r\n"));
        fixture.addEvent("trip.ics",
            singleEvent("UID:trip\r\nSUMMARY:Trip\r\nDTSTART;VALUE=DATE:20260401\r\n"
                        "DTEND;VALUE=DATE:20260404\r\n"));
        fixture.start();

        const QList<CalendarEvent> first = fixture.eventsOn(QDate(2026, 4, 1), QDate(2026, 4, 2));
        QCOMPARE(first.size(), 2);
        for (const CalendarEvent &e : first) {
            QVERIFY(e.allDay);
            QCOMPARE(e.startDate, QDate(2026, 4, 1));
        }
        const auto holiday
            = std::find_if(first.begin(), first.end(), [](const CalendarEvent &e) { return e.title == "Holiday"; });
        QCOMPARE(holiday->endDate, QDate(2026, 4, 2)); // no DTEND: one day
        // The trip covers the 3rd but not the 4th (DTEND is exclusive).
        QCOMPARE(fixture.eventsOn(QDate(2026, 4, 3), QDate(2026, 4, 4)).size(), 1);
        QCOMPARE(fixture.eventsOn(QDate(2026, 4, 4), QDate(2026, 4, 5)).size(), 0);
        QCOMPARE(fixture.eventsOn(QDate(2026, 3, 31), QDate(2026, 4, 1)).size(), 0);
    }

    void floatingTimesFollowTheUsersZone_data()
    {
        QTest::addColumn<QByteArray>("userZone");
        QTest::newRow("Berlin") << QByteArray("Europe/Berlin");
        QTest::newRow("New York") << QByteArray("America/New_York");
    }
    void floatingTimesFollowTheUsersZone()
    {
        QFETCH(QByteArray, userZone);
        const QTimeZone zone(userZone);
        VdirFixture fixture(zone, QDateTime(QDate(2026, 3, 30), QTime(8, 0), zone));
        fixture.addEvent("floating.ics",
            singleEvent("UID:floating\r\nDTSTART:20260401T090000\r\nDTEND:20260401T100000\r\n"
                        "RRULE:FREQ=DAILY;COUNT=2\r\n"));
        fixture.start();
        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 4, 1), QDate(2026, 4, 3));
        QCOMPARE(events.size(), 2);
        QCOMPARE(events[0].start.toTimeZone(zone).time(), QTime(9, 0));
        QCOMPARE(events[1].end.toTimeZone(zone).time(), QTime(10, 0));
        QVERIFY(!events[0].allDay);
    }

    void rangeBoundaries()
    {
        VdirFixture fixture;
        fixture.addEvent("meeting.ics",
            singleEvent("UID:meeting\r\nDTSTART;TZID=Europe/Berlin:20260326T090000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260326T100000\r\n"));
        fixture.addEvent("instant.ics", singleEvent("UID:instant\r\nDTSTART;TZID=Europe/Berlin:20260326T120000\r\n"));
        fixture.start();
        auto count = [&](int fromHour, int fromMinute, int toHour, int toMinute) {
            const QDate day(2026, 3, 26);
            return fixture.store
                ->events(QDateTime(day, QTime(fromHour, fromMinute), Berlin),
                    QDateTime(day, QTime(toHour, toMinute), Berlin))
                .size();
        };
        QCOMPARE(count(10, 0, 11, 0), 0); // ended exactly at the range's start
        QCOMPARE(count(8, 0, 9, 0), 0); // starts exactly at the range's end
        QCOMPARE(count(9, 59, 10, 0), 1); // its last minute
        QCOMPARE(count(9, 30, 9, 31), 1); // a range inside it
        QCOMPARE(count(12, 0, 13, 0), 1); // an event without length, at the start
        QCOMPARE(count(11, 0, 12, 0), 0); // ... and at the end
    }

    void rdatesAndSeveralRulesCombine()
    {
        VdirFixture fixture;
        fixture.addEvent("combined.ics",
            singleEvent("UID:combined\r\nDTSTART;TZID=Europe/Berlin:20260401T080000\r\n"
                        "DURATION:PT15M\r\n"
                        "RRULE:FREQ=WEEKLY;COUNT=2\r\n"
                        "RRULE:FREQ=MONTHLY;BYMONTHDAY=15;COUNT=1\r\n"
                        "RDATE;TZID=Europe/Berlin:20260403T080000,20260408T080000\r\n"));
        fixture.start();
        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 30), QDate(2026, 5, 1));
        // Apr 1 and 8 (weekly), Apr 15 (monthly), Apr 3 (RDATE); Apr 8 once.
        QCOMPARE(startDates(events, Berlin),
            (QList<QDate> {QDate(2026, 4, 1), QDate(2026, 4, 3), QDate(2026, 4, 8), QDate(2026, 4, 15)}));
        QSet<QString> ids;
        for (const CalendarEvent &e : events)
            ids.insert(e.id);
        QCOMPARE(ids.size(), events.size());
    }

    void zoneNamesFromOtherProgramsResolve_data()
    {
        QTest::addColumn<QByteArray>("tzid");
        QTest::addColumn<QByteArray>("vtimezone");
        QTest::addColumn<int>("utcHour");
        QTest::newRow("vendor prefix") << QByteArray("/mozilla.org/20050126_1/Europe/Berlin") << QByteArray() << 7;
        QTest::newRow("Windows name") << QByteArray("W. Europe Standard Time") << QByteArray() << 7;
        QTest::newRow("own rules") << QByteArray("Custom Five")
                                   << QByteArray("BEGIN:VTIMEZONE\r\nTZID:Custom Five\r\nBEGIN:STANDARD\r\n"
                                                 "DTSTART:19700101T000000\r\nTZOFFSETFROM:+0500\r\nTZOFFSETTO:+0500\r\n"
                                                 "END:STANDARD\r\nEND:VTIMEZONE\r\n")
                                   << 4;
    }
    void zoneNamesFromOtherProgramsResolve()
    {
        QFETCH(QByteArray, tzid);
        QFETCH(QByteArray, vtimezone);
        QFETCH(int, utcHour);
        VdirFixture fixture;
        fixture.addEvent("zoned.ics",
            calendarWith(vtimezone + "BEGIN:VEVENT\r\nUID:zoned\r\nDTSTART;TZID=\"" + tzid
                + "\":20260401T090000\r\nEND:VEVENT\r\n"));
        fixture.start();
        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 4, 1), QDate(2026, 4, 2));
        QCOMPARE(events.size(), 1);
        QCOMPARE(events[0].start.toUTC().time(), QTime(utcHour, 0));
    }

    // Jumping the rule iterator ahead to the window must not change which
    // occurrences come out.
    void jumpingAheadGivesTheSameOccurrences_data()
    {
        QTest::addColumn<QByteArray>("rule");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("daily") << QByteArray("FREQ=DAILY") << QByteArray(";TZID=Europe/Berlin:20180105T233000");
        QTest::newRow("every third day") << QByteArray("FREQ=DAILY;INTERVAL=3") << QByteArray(":20190301T120000Z");
        QTest::newRow("weekdays") << QByteArray("FREQ=WEEKLY;BYDAY=MO,WE,FR")
                                  << QByteArray(";TZID=America/New_York:20200106T090000");
        QTest::newRow("fortnightly") << QByteArray("FREQ=WEEKLY;INTERVAL=2;BYDAY=TU") << QByteArray(":20210105T180000");
        QTest::newRow("31st") << QByteArray("FREQ=MONTHLY;BYMONTHDAY=31")
                              << QByteArray(";TZID=Europe/Berlin:20160131T100000");
        QTest::newRow("last weekday") << QByteArray("FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-1")
                                      << QByteArray(";VALUE=DATE:20150130");
        QTest::newRow("last Sunday of March")
            << QByteArray("FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU") << QByteArray(";VALUE=DATE:20120325");
        QTest::newRow("until") << QByteArray("FREQ=WEEKLY;UNTIL=20260415T000000Z")
                               << QByteArray(";TZID=Europe/Berlin:20240102T070000");
    }
    void jumpingAheadGivesTheSameOccurrences()
    {
        QFETCH(QByteArray, rule);
        QFETCH(QByteArray, start);
        const ParsedFile file = IcsParser::parse(QStringLiteral("/x.ics"), QStringLiteral("c"),
            singleEvent("UID:r\r\nDTSTART" + start + "\r\nDURATION:PT45M\r\nRRULE:" + rule + "\r\n"));
        QCOMPARE(file.series.size(), size_t(1));
        const qint64 from = QDateTime(QDate(2026, 1, 20), QTime(0, 0), Berlin).toMSecsSinceEpoch();
        const qint64 to = QDateTime(QDate(2026, 5, 20), QTime(0, 0), Berlin).toMSecsSinceEpoch();
        auto expand = [&](bool jump) {
            RecurrenceExpander::setJumpToWindowEnabled(jump);
            std::vector<Occurrence> out;
            RecurrenceExpander::expandFile(file, from, to, Berlin, out);
            QList<qint64> starts;
            for (const Occurrence &o : out)
                starts.append(o.startMs);
            std::sort(starts.begin(), starts.end());
            return starts;
        };
        const QList<qint64> jumped = expand(true);
        const QList<qint64> walked = expand(false);
        RecurrenceExpander::setJumpToWindowEnabled(true);
        QVERIFY(!walked.isEmpty());
        QCOMPARE(jumped, walked);
    }

    // Ranges inside the index window and ranges outside it (answered by
    // expanding on the spot) must agree.
    void indexedAndOnTheSpotQueriesAgree()
    {
        VdirFixture fixture;
        fixture.addEvent("a.ics",
            singleEvent("UID:a\r\nDTSTART;TZID=Europe/Berlin:20260301T090000\r\nDURATION:PT1H\r\n"
                        "RRULE:FREQ=DAILY;INTERVAL=2\r\nEXDATE;TZID=Europe/Berlin:20260327T090000\r\n"));
        fixture.addEvent("b.ics", singleEvent("UID:b\r\nDTSTART;VALUE=DATE:20260320\r\nRRULE:FREQ=WEEKLY\r\n"));
        fixture.addEvent("c.ics", singleEvent("UID:c\r\nDTSTART:20260322T200000Z\r\nDTEND:20260324T200000Z\r\n"));
        fixture.start();
        // Now is Mar 25; the index starts a week earlier, on Mar 18.
        const QList<CalendarEvent> indexed = fixture.eventsOn(QDate(2026, 3, 19), QDate(2026, 4, 10));
        QList<CalendarEvent> onTheSpot = fixture.eventsOn(QDate(2026, 2, 1), QDate(2026, 4, 10));
        onTheSpot.erase(
            std::remove_if(onTheSpot.begin(), onTheSpot.end(),
                [&](const CalendarEvent &e) { return e.end <= QDateTime(QDate(2026, 3, 19), QTime(0, 0), Berlin); }),
            onTheSpot.end());
        QVERIFY(indexed.size() > 10);
        QCOMPARE(indexed, onTheSpot);
    }
};

BRIVANE_TEST_MAIN(RecurrenceTest)
#include "tst_recurrence.moc"
