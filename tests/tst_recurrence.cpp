// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and expanding events: recurrence, the four kinds of time, zones
// and the range rule, through the store as the program uses it.
#include "TestSupport.h"

#include "calendar/IcsParser.h"
#include "calendar/RecurrenceExpander.h"
#include "calendar/RecurrenceRules.h"

#include <libical/ical.h>

Q_DECLARE_METATYPE(RecurrenceRules::Plan)

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");
const QTimeZone NewYork("America/New_York");

// The first `limit` occurrences libical gives for a rule, on its naive clock.
QList<QDateTime> libicalOccurrences(const QByteArray &ruleText, const QDateTime &start, int limit)
{
    const RecurrenceRules::ParsedRule rule(ruleText);
    icaltimetype dtstart = icaltime_null_time();
    dtstart.year = start.date().year();
    dtstart.month = start.date().month();
    dtstart.day = start.date().day();
    dtstart.hour = start.time().hour();
    dtstart.minute = start.time().minute();
    dtstart.second = start.time().second();
    icalrecur_iterator *iterator = icalrecur_iterator_new(rule.get(), dtstart);
    QList<QDateTime> result;
    for (int i = 0; i < limit; ++i) {
        const icaltimetype next = icalrecur_iterator_next(iterator);
        if (icaltime_is_null_time(next))
            break;
        result.append(QDateTime(
            QDate(next.year, next.month, next.day), QTime(next.hour, next.minute, next.second), QTimeZone::utc()));
    }
    icalrecur_iterator_free(iterator);
    return result;
}

QList<QDateTime> ownOccurrences(const QByteArray &ruleText, const QDateTime &start, int limit)
{
    const RecurrenceRules::ParsedRule rule(ruleText);
    RecurrenceRules::SubDailyIterator iterator(rule.get(), start);
    QList<QDateTime> result;
    while (result.size() < limit) {
        const std::optional<QDateTime> next = iterator.next();
        if (!next)
            break;
        result.append(*next);
    }
    return result;
}

RecurrenceRules::Plan planOf(const QByteArray &ruleText, QDate start)
{
    qint64 allowed = RecurrenceRules::CheckedDaysPerFile;
    return RecurrenceRules::planFor(RecurrenceRules::ParsedRule(ruleText).get(), start, allowed);
}

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

    // A wall time the change skips is read with the offset before it (02:30
    // in Berlin's spring gap is 03:30 summer time); one the change repeats is
    // the first of the two. Zoned, floating and repeating alike, in zones
    // ahead of UTC and behind it, and in a file's own rules.
    void wallTimeInTheHourOfAChange_data()
    {
        QTest::addColumn<QByteArray>("zoneId");
        QTest::addColumn<QByteArray>("vtimezone");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QTime>("wallTime");
        QTest::addColumn<QDateTime>("instant");
        auto utc = [](int month, int day, int hour) {
            return QDateTime(QDate(2026, month, day), QTime(hour, 30), QTimeZone::utc());
        };
        const QByteArray berlin("Europe/Berlin");
        const QByteArray newYork("America/New_York");
        const QByteArray london("Europe/London");
        // Berlin's rules as a file of an older Outlook brings them.
        const QByteArray office("Office");
        const QByteArray officeRules = "BEGIN:VTIMEZONE\r\nTZID:Office\r\nBEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\n"
                                       "TZOFFSETTO:+0200\r\nDTSTART:19810329T020000\r\n"
                                       "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\nBEGIN:STANDARD\r\n"
                                       "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nDTSTART:19961027T030000\r\n"
                                       "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
        QTest::newRow("Berlin, skipped") << berlin << QByteArray() << QDate(2026, 3, 29) << QTime(2, 30)
                                         << utc(3, 29, 1);
        QTest::newRow("Berlin, repeated")
            << berlin << QByteArray() << QDate(2026, 10, 25) << QTime(2, 30) << utc(10, 25, 0);
        QTest::newRow("New York, skipped")
            << newYork << QByteArray() << QDate(2026, 3, 8) << QTime(2, 30) << utc(3, 8, 7);
        QTest::newRow("New York, repeated")
            << newYork << QByteArray() << QDate(2026, 11, 1) << QTime(1, 30) << utc(11, 1, 5);
        QTest::newRow("London, skipped") << london << QByteArray() << QDate(2026, 3, 29) << QTime(1, 30)
                                         << utc(3, 29, 1);
        QTest::newRow("London, repeated")
            << london << QByteArray() << QDate(2026, 10, 25) << QTime(1, 30) << utc(10, 25, 0);
        QTest::newRow("own rules, skipped")
            << office << officeRules << QDate(2026, 3, 29) << QTime(2, 30) << utc(3, 29, 1);
        QTest::newRow("own rules, repeated")
            << office << officeRules << QDate(2026, 10, 25) << QTime(2, 30) << utc(10, 25, 0);
    }
    void wallTimeInTheHourOfAChange()
    {
        QFETCH(QByteArray, zoneId);
        QFETCH(QByteArray, vtimezone);
        QFETCH(QDate, day);
        QFETCH(QTime, wallTime);
        QFETCH(QDateTime, instant);
        // Floating times follow the user's zone: the zone itself, or the one
        // whose rules the file copies.
        const QTimeZone zone(vtimezone.isEmpty() ? zoneId : QByteArray("Europe/Berlin"));
        VdirFixture fixture(zone, QDateTime(day, QTime(12, 0), zone));
        const QByteArray time = wallTime.toString(QStringLiteral("'T'HHmmss")).toLatin1();
        const QByteArray date = day.toString(QStringLiteral("yyyyMMdd")).toLatin1();
        const QByteArray weekBefore = day.addDays(-7).toString(QStringLiteral("yyyyMMdd")).toLatin1();
        fixture.addEvent("zoned.ics",
            calendarWith(vtimezone + "BEGIN:VEVENT\r\nUID:zoned\r\nSUMMARY:Zoned\r\nDTSTART;TZID=" + zoneId + ":" + date
                + time + "\r\nDURATION:PT1H\r\nEND:VEVENT\r\n"));
        fixture.addEvent("floating.ics",
            singleEvent("UID:floating\r\nSUMMARY:Floating\r\nDTSTART:" + date + time + "\r\nDURATION:PT1H\r\n"));
        fixture.addEvent("daily.ics",
            calendarWith(vtimezone + "BEGIN:VEVENT\r\nUID:daily\r\nSUMMARY:Daily\r\nDTSTART;TZID=" + zoneId + ":"
                + weekBefore + time + "\r\nDURATION:PT1H\r\nRRULE:FREQ=DAILY\r\nEND:VEVENT\r\n"));
        fixture.start();

        const QList<CalendarEvent> events = fixture.eventsOn(day, day.addDays(1));
        QStringList titles = titlesOf(events);
        titles.sort();
        QCOMPARE(titles, (QStringList {"Daily", "Floating", "Zoned"}));
        for (const CalendarEvent &event : events) {
            QVERIFY2(event.start.toUTC() == instant, qPrintable(event.title + " at " + event.start.toUTC().toString()));
            QCOMPARE(event.start.secsTo(event.end), 3600);
        }
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

    // UNTIL is inclusive: an occurrence exactly on it is the series' last.
    void untilOnASubDailyOccurrenceKeepsIt_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QDateTime>("last");
        QTest::newRow("hourly, UTC UNTIL of a zoned series")
            << QByteArray("DTSTART;TZID=Europe/Berlin:20260325T090000\r\nRRULE:FREQ=HOURLY;UNTIL=20260325T110000Z\r\n")
            << QDateTime(QDate(2026, 3, 25), QTime(12, 0), Berlin);
        QTest::newRow("every 20 minutes, floating")
            << QByteArray("DTSTART:20260325T090000\r\nRRULE:FREQ=MINUTELY;INTERVAL=20;UNTIL=20260325T100000\r\n")
            << QDateTime(QDate(2026, 3, 25), QTime(10, 0), Berlin);
        QTest::newRow("hourly at set minutes, UTC")
            << QByteArray("DTSTART:20260325T080000Z\r\nRRULE:FREQ=HOURLY;BYMINUTE=0,30;UNTIL=20260325T093000Z\r\n")
            << QDateTime(QDate(2026, 3, 25), QTime(9, 30), QTimeZone::utc());
    }
    void untilOnASubDailyOccurrenceKeepsIt()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QDateTime, last);
        VdirFixture fixture;
        fixture.addEvent("often.ics", singleEvent("UID:often\r\nSUMMARY:Often\r\nDURATION:PT10M\r\n" + lines));
        fixture.start();
        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 25), QDate(2026, 3, 27));
        QCOMPARE(events.size(), 4);
        QCOMPARE(events.last().start.toUTC(), last.toUTC());
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
        QCOMPARE(file.series().size(), size_t(1));
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

    // Rules more frequent than daily are followed by our own iterator (libical
    // can spend minutes in one step of them); where libical is quick, both
    // must give the same occurrences.
    void subDailyRulesMatchLibical_data()
    {
        QTest::addColumn<QByteArray>("rule");
        QTest::newRow("hourly") << QByteArray("FREQ=HOURLY");
        QTest::newRow("every 5 hours across days") << QByteArray("FREQ=HOURLY;INTERVAL=5");
        QTest::newRow("office hours") << QByteArray("FREQ=HOURLY;BYHOUR=9,12,17;BYDAY=MO,TU,WE,TH,FR");
        QTest::newRow("hourly at set minutes") << QByteArray("FREQ=HOURLY;BYMINUTE=0,30;BYSECOND=15");
        QTest::newRow("every 90 minutes") << QByteArray("FREQ=MINUTELY;INTERVAL=90");
        QTest::newRow("minutely at set seconds") << QByteArray("FREQ=MINUTELY;INTERVAL=13;BYSECOND=0,45");
        QTest::newRow("secondly with count") << QByteArray("FREQ=SECONDLY;INTERVAL=11;COUNT=40");
        QTest::newRow("minutely until") << QByteArray("FREQ=MINUTELY;INTERVAL=45;UNTIL=20260327T120000");
    }
    void subDailyRulesMatchLibical()
    {
        QFETCH(QByteArray, rule);
        const QDateTime start(QDate(2026, 3, 25), QTime(9, 30, 15), QTimeZone::utc());
        const QList<QDateTime> expected = libicalOccurrences(rule, start, 150);
        QVERIFY(expected.size() > 5);
        QCOMPARE(ownOccurrences(rule, start, 150), expected);
    }

    // Where libical strays from RFC 5545 (BYSETPOS ignored, limits taken as
    // expansions, negative month days missed), the standard holds.
    void subDailyRulesFollowTheStandard_data()
    {
        QTest::addColumn<QByteArray>("rule");
        QTest::addColumn<QList<QDateTime>>("first");
        auto at = [](int day, int hour, int minute, int second) {
            return QDateTime(QDate(2026, 3, day), QTime(hour, minute, second), QTimeZone::utc());
        };
        QTest::newRow("the last of each hour's set")
            << QByteArray("FREQ=HOURLY;BYMINUTE=10,20,50;BYSETPOS=-1")
            << QList<QDateTime> {at(25, 9, 50, 15), at(25, 10, 50, 15), at(25, 11, 50, 15)};
        QTest::newRow("BYHOUR limits the periods, keeping their phase")
            << QByteArray("FREQ=MINUTELY;INTERVAL=7;BYHOUR=10")
            << QList<QDateTime> {at(25, 10, 5, 15), at(25, 10, 12, 15), at(25, 10, 19, 15)};
        QTest::newRow("the last day of the month") << QByteArray("FREQ=MINUTELY;INTERVAL=29;BYMONTHDAY=1,-1")
                                                   << QList<QDateTime> {at(31, 0, 21, 15), at(31, 0, 50, 15)};
        QTest::newRow("BYSECOND limits SECONDLY") << QByteArray("FREQ=SECONDLY;INTERVAL=3607;BYSECOND=1,2,3,4,5,6,7")
                                                  << QList<QDateTime> {at(25, 16, 31, 4), at(26, 1, 32, 7)};
    }
    void subDailyRulesFollowTheStandard()
    {
        QFETCH(QByteArray, rule);
        QFETCH(QList<QDateTime>, first);
        const QDateTime start(QDate(2026, 3, 25), QTime(9, 30, 15), QTimeZone::utc());
        QCOMPARE(ownOccurrences(rule, start, int(first.size())), first);
    }

    void subDailyJumpKeepsThePhase()
    {
        const QByteArray rule("FREQ=MINUTELY;INTERVAL=7;BYHOUR=10,11");
        const QDateTime start(QDate(2026, 3, 25), QTime(9, 30, 0), QTimeZone::utc());
        const QList<QDateTime> walked = ownOccurrences(rule, start, 2000);
        const QDateTime target(QDate(2026, 4, 2), QTime(11, 0), QTimeZone::utc());
        RecurrenceRules::SubDailyIterator jumping(RecurrenceRules::ParsedRule(rule).get(), start);
        jumping.jumpTo(target);
        QList<QDateTime> jumped;
        while (jumped.size() < 10)
            jumped.append(*jumping.next());
        QList<QDateTime> expected;
        for (const QDateTime &t : walked) {
            if (t >= target.addSecs(-7 * 60) && expected.size() < 10)
                expected.append(t);
        }
        QCOMPARE(jumped, expected);
    }

    // A rule no day can match again is never handed to libical, which would
    // walk period by period up to the year 2582 to find that out.
    void rulesThatCanNeverMatchAreKnownBeforeExpanding_data()
    {
        QTest::addColumn<QByteArray>("rule");
        QTest::addColumn<RecurrenceRules::Plan>("plan");
        QTest::newRow("30 February, minutely")
            << QByteArray("FREQ=MINUTELY;BYMONTH=2;BYMONTHDAY=30") << RecurrenceRules::Plan::NothingAfterStart;
        QTest::newRow("31 April, daily") << QByteArray("FREQ=DAILY;BYMONTH=4;BYMONTHDAY=31")
                                         << RecurrenceRules::Plan::NothingAfterStart;
        QTest::newRow("53rd last Monday of a month")
            << QByteArray("FREQ=MONTHLY;BYDAY=-53MO") << RecurrenceRules::Plan::NothingAfterStart;
        QTest::newRow("6th Friday") << QByteArray("FREQ=YEARLY;BYMONTH=5;BYDAY=6FR")
                                    << RecurrenceRules::Plan::NothingAfterStart;
        QTest::newRow("day 366 in January")
            << QByteArray("FREQ=YEARLY;BYYEARDAY=366;BYMONTH=1") << RecurrenceRules::Plan::NothingAfterStart;
        QTest::newRow("leap day Monday: rare, not never")
            << QByteArray("FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29;BYDAY=MO") << RecurrenceRules::Plan::Libical;
        QTest::newRow("53rd Monday of a year")
            << QByteArray("FREQ=YEARLY;BYDAY=53MO") << RecurrenceRules::Plan::Libical;
        QTest::newRow("last Friday") << QByteArray("FREQ=MONTHLY;BYDAY=-1FR") << RecurrenceRules::Plan::Libical;
        QTest::newRow("week 53") << QByteArray("FREQ=YEARLY;BYWEEKNO=53;BYDAY=TH") << RecurrenceRules::Plan::Libical;
        QTest::newRow("secondly") << QByteArray("FREQ=SECONDLY;BYMONTHDAY=29;BYMONTH=2")
                                  << RecurrenceRules::Plan::SubDaily;
    }
    void rulesThatCanNeverMatchAreKnownBeforeExpanding()
    {
        QFETCH(QByteArray, rule);
        QFETCH(RecurrenceRules::Plan, plan);
        QCOMPARE(planOf(rule, QDate(2026, 3, 25)), plan);
    }

    void ordinalsCountWithinTheMonthOrTheYear()
    {
        const RecurrenceRules::ParsedRule lastFriday("FREQ=MONTHLY;BYDAY=-1FR");
        QVERIFY(RecurrenceRules::dayPassesFilters(lastFriday.get(), QDate(2026, 3, 27)));
        QVERIFY(!RecurrenceRules::dayPassesFilters(lastFriday.get(), QDate(2026, 3, 20)));
        const RecurrenceRules::ParsedRule secondTuesday("FREQ=YEARLY;BYMONTH=6;BYDAY=2TU");
        QVERIFY(RecurrenceRules::dayPassesFilters(secondTuesday.get(), QDate(2026, 6, 9)));
        QVERIFY(!RecurrenceRules::dayPassesFilters(secondTuesday.get(), QDate(2026, 6, 2)));
        const RecurrenceRules::ParsedRule twentiethMonday("FREQ=YEARLY;BYDAY=20MO");
        QVERIFY(RecurrenceRules::dayPassesFilters(twentiethMonday.get(), QDate(2026, 5, 18)));
        QVERIFY(!RecurrenceRules::dayPassesFilters(twentiethMonday.get(), QDate(2026, 5, 11)));
        // Weekly rules give ordinals no meaning: the weekday alone counts.
        const RecurrenceRules::ParsedRule weekly("FREQ=WEEKLY;BYDAY=1MO");
        QVERIFY(RecurrenceRules::dayPassesFilters(weekly.get(), QDate(2026, 3, 30)));
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
