// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/EventAlarms.h"
#include "reminders/ReminderCache.h"
#include "reminders/ReminderScheduler.h"

#include "ReminderTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <sys/stat.h>

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");

QDateTime berlin(int year, int month, int day, int hour, int minute, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Berlin);
}

QDateTime utc(int year, int month, int day, int hour, int minute)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute), QTimeZone::utc());
}

// An event in Berlin time with the given extra lines (alarms, location).
QByteArray eventFile(const QByteArray &uid, const QByteArray &title, const QByteArray &start, const QByteArray &end,
    const QByteArray &extra = {})
{
    return singleEvent("UID:" + uid + "\r\nSUMMARY:" + title + "\r\nDTSTART;TZID=Europe/Berlin:" + start
        + "\r\nDTEND;TZID=Europe/Berlin:" + end + "\r\n" + extra);
}

QByteArray alarm(const QByteArray &trigger, const QByteArray &action = "DISPLAY")
{
    return "BEGIN:VALARM\r\nACTION:" + action + "\r\nDESCRIPTION:Reminder\r\n" + trigger + "\r\nEND:VALARM\r\n";
}

QList<QDateTime> dueTimes(const ReminderScheduler &scheduler)
{
    QList<QDateTime> times;
    for (const ReminderScheduler::PlannedAlarm &planned : scheduler.planned())
        times.append(planned.dueAt);
    return times;
}

QList<QDateTime> dueTimesOf(const ReminderScheduler &scheduler, const QString &title)
{
    QList<QDateTime> times;
    for (const ReminderScheduler::PlannedAlarm &planned : scheduler.planned()) {
        if (planned.event.title == title)
            times.append(planned.dueAt);
    }
    return times;
}

int fileMode(const QString &path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}
} // namespace

class RemindersTest : public QObject
{
    Q_OBJECT

private slots:
    // What a VALARM says: display and audio alarms from the start, the end
    // or at an instant; other actions and unreadable triggers are dropped
    // without harm to the rest.
    void alarmsAreReadFromTheEvent()
    {
        ReminderRig rig(berlin(2026, 3, 25, 8, 0));
        rig.fixture.addEvent("many.ics",
            eventFile("many", "Many alarms", "20260325T110000", "20260325T120000",
                alarm("TRIGGER:-PT10M") + alarm("TRIGGER;RELATED=END:PT5M", "AUDIO")
                    + alarm("TRIGGER;VALUE=DATE-TIME:20260325T093000Z") + alarm("TRIGGER:-PT1H", "EMAIL")
                    + alarm("TRIGGER:-PT2H", "PROCEDURE") + alarm("TRIGGER:soon") + alarm("TRIGGER:-P1W2DT3H")
                    + alarm("TRIGGER;VALUE=DATE-TIME:20260325T093000")
                    + "BEGIN:VALARM\r\nACTION:DISPLAY\r\nEND:VALARM\r\n"));
        CalendarStore &store = rig.fixture.start();
        const QList<CalendarEvent> events = store.events(berlin(2026, 3, 25, 0, 0), berlin(2026, 3, 26, 0, 0));
        QCOMPARE(events.size(), 1);
        const QList<EventAlarm> alarms = store.eventDetails(events.first()).alarms;
        QCOMPARE(alarms.size(), 4);
        QCOMPARE(alarms[0].anchor, EventAlarm::Anchor::Start);
        QCOMPARE(alarms[0].offsetSeconds, -600);
        QCOMPARE(alarms[1].anchor, EventAlarm::Anchor::End);
        QCOMPARE(alarms[1].offsetSeconds, 300);
        QCOMPARE(alarms[2].anchor, EventAlarm::Anchor::Instant);
        QCOMPARE(alarms[2].instant, utc(2026, 3, 25, 9, 30));
        QCOMPARE(alarms[3].offsetSeconds, -((7 + 2) * 86400 + 3 * 3600));

        const CalendarEvent &meeting = events.first();
        QCOMPARE(*EventAlarms::dueAt(alarms[0], meeting, Berlin), berlin(2026, 3, 25, 10, 50));
        QCOMPARE(*EventAlarms::dueAt(alarms[1], meeting, Berlin), berlin(2026, 3, 25, 12, 5));
        QCOMPARE(*EventAlarms::dueAt(alarms[2], meeting, Berlin), berlin(2026, 3, 25, 10, 30));
        // Each trigger has a key of its own.
        QSet<QString> keys;
        for (const EventAlarm &read : alarms)
            keys.insert(EventAlarms::triggerKey(read));
        QCOMPARE(keys.size(), alarms.size());
    }

    // An alarm comes up at its time, once, with the event's title, time,
    // calendar and how far off it is; a check without a due alarm shows
    // nothing, and the timer never waits longer than five minutes.
    void anAlarmFiresOnceAtItsTime()
    {
        ReminderRig rig(berlin(2026, 3, 25, 10, 0));
        rig.fixture.addEvent("review.ics",
            eventFile("review", "Design review", "20260325T110000", "20260325T120000", alarm("TRIGGER:-PT10M")));
        ReminderScheduler &scheduler = rig.start();
        QVERIFY(rig.notifier.shown.isEmpty());
        QCOMPARE(dueTimes(scheduler), QList<QDateTime> {berlin(2026, 3, 25, 10, 50)});
        QCOMPARE(scheduler.nextCheck(), berlin(2026, 3, 25, 10, 5));

        rig.at(berlin(2026, 3, 25, 10, 49, 59));
        QVERIFY(rig.notifier.shown.isEmpty());
        QCOMPARE(scheduler.nextCheck(), berlin(2026, 3, 25, 10, 50));

        rig.at(berlin(2026, 3, 25, 10, 50));
        QCOMPARE(rig.notifier.summaries(), QStringList {"Design review"});
        const Notification &shown = rig.notifier.shown.first();
        QVERIFY2(shown.body.contains(QStringLiteral("11:00\u201312:00")), qPrintable(shown.body));
        QVERIFY2(shown.body.contains(QStringLiteral("in 10m")), qPrintable(shown.body));
        QVERIFY2(shown.body.contains(QStringLiteral("work")), qPrintable(shown.body));
        // No meeting link: nothing to join.
        QCOMPARE(rig.notifier.actionKeys(0), (QStringList {"open", "snooze"}));

        rig.at(berlin(2026, 3, 25, 10, 51));
        rig.at(berlin(2026, 3, 25, 11, 30));
        QCOMPARE(rig.notifier.shown.size(), 1);
    }

    // Snooze brings the reminder back five minutes after it was chosen, and
    // a snooze outlives a restart.
    void snoozeFiresAgainFiveMinutesLater()
    {
        ReminderRig rig(berlin(2026, 3, 25, 10, 50));
        rig.fixture.addEvent("review.ics",
            eventFile("review", "Design review", "20260325T110000", "20260325T120000", alarm("TRIGGER:-PT10M")));
        ReminderScheduler &scheduler = rig.start();
        QCOMPARE(rig.notifier.shown.size(), 1);

        rig.fixture.clock.setNow(berlin(2026, 3, 25, 10, 52));
        rig.notifier.choose(0, QStringLiteral("snooze"));
        QCOMPARE(scheduler.nextCheck(), berlin(2026, 3, 25, 10, 57));
        rig.at(berlin(2026, 3, 25, 10, 56, 59));
        QCOMPARE(rig.notifier.shown.size(), 1);
        rig.at(berlin(2026, 3, 25, 10, 57));
        QCOMPARE(rig.notifier.summaries(), (QStringList {"Design review", "Design review"}));
        QVERIFY2(rig.notifier.shown.last().body.contains(QStringLiteral("in 3m")),
            qPrintable(rig.notifier.shown.last().body));
        rig.at(berlin(2026, 3, 25, 11, 10));
        QCOMPARE(rig.notifier.shown.size(), 2);

        // Snoozed again, then brivane restarts before it is due.
        rig.notifier.choose(1, QStringLiteral("snooze"));
        ReminderScheduler &again = rig.restart();
        QVERIFY(rig.notifier.shown.isEmpty());
        QCOMPARE(again.nextCheck(), berlin(2026, 3, 25, 11, 15));
        rig.at(berlin(2026, 3, 25, 11, 15));
        QCOMPARE(rig.notifier.summaries(), QStringList {"Design review"});
        // Shown from the snooze, it is gone from the file too.
        rig.restart();
        rig.at(berlin(2026, 3, 25, 11, 30));
        QVERIFY(rig.notifier.shown.isEmpty());
    }

    // "Join" opens the meeting's link, "Open" asks for the event's detail.
    void joinOpensTheLinkAndOpenAsksForTheDetail()
    {
        ReminderRig rig(berlin(2026, 3, 25, 10, 55));
        rig.fixture.addEvent("call.ics",
            eventFile("call", "Standup", "20260325T110000", "20260325T111500",
                "LOCATION:https://zoom.us/j/4242\r\n" + alarm("TRIGGER:-PT5M")));
        ReminderScheduler &scheduler = rig.start();
        QCOMPARE(rig.notifier.shown.size(), 1);
        QCOMPARE(rig.notifier.actionKeys(0), (QStringList {"join", "open", "snooze"}));
        QSignalSpy opened(&scheduler, &ReminderScheduler::openEventRequested);
        rig.notifier.choose(0, QStringLiteral("open"));
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().first().value<CalendarEvent>().title, QStringLiteral("Standup"));
        QVERIFY(rig.launcher.opened.isEmpty());
        rig.notifier.choose(0, QStringLiteral("join"));
        QCOMPARE(rig.launcher.opened, QList<QUrl> {QUrl("https://zoom.us/j/4242")});
        // An action of a notification that is not ours does nothing.
        rig.notifier.choose(7, QStringLiteral("join"));
        QCOMPARE(rig.launcher.opened.size(), 1);
        // Gone from the screen, its actions are gone too.
        emit rig.notifier.closed(1);
        rig.notifier.choose(0, QStringLiteral("join"));
        QCOMPARE(rig.launcher.opened.size(), 1);
    }

    // A shown alarm is remembered in the cache file: a restart does not
    // show it again.
    void aRestartDoesNotRepeatAnAlarm()
    {
        ReminderRig rig(berlin(2026, 3, 25, 10, 45));
        rig.fixture.addEvent("review.ics",
            eventFile("review", "Design review", "20260325T110000", "20260325T120000", alarm("TRIGGER:-PT10M")));
        rig.start();
        rig.at(berlin(2026, 3, 25, 10, 50));
        QCOMPARE(rig.notifier.shown.size(), 1);
        ReminderScheduler &again = rig.restart();
        rig.at(berlin(2026, 3, 25, 10, 52));
        QVERIFY(rig.notifier.shown.isEmpty());
        QVERIFY(again.planned().isEmpty());
    }

    // Alarms missed while brivane was not running come up once at start,
    // as long as their event has not ended.
    void missedAlarmsAreShownOnceAtStart()
    {
        ReminderRig rig(berlin(2026, 3, 25, 10, 58));
        rig.fixture.addEvent("review.ics",
            eventFile("review", "Design review", "20260325T110000", "20260325T120000", alarm("TRIGGER:-PT10M")));
        rig.fixture.addEvent("running.ics",
            eventFile("running", "Workshop", "20260325T100000", "20260325T113000", alarm("TRIGGER:-PT15M")));
        rig.fixture.addEvent(
            "over.ics", eventFile("over", "Breakfast", "20260325T090000", "20260325T100000", alarm("TRIGGER:-PT10M")));
        rig.start();
        QCOMPARE(rig.notifier.summaries(), (QStringList {"Workshop", "Design review"}));
        rig.restart();
        QVERIFY(rig.notifier.shown.isEmpty());
    }

    // Hidden calendars give no reminders; with every calendar hidden, none do.
    void hiddenCalendarsStaySilent()
    {
        ReminderRig rig(berlin(2026, 3, 25, 10, 0));
        rig.fixture.addEvent("work.ics",
            eventFile("work", "Work meeting", "20260325T110000", "20260325T120000", alarm("TRIGGER:-PT10M")));
        rig.fixture.addEvent("home.ics",
            eventFile("home", "Dentist", "20260325T110000", "20260325T120000", alarm("TRIGGER:-PT10M")),
            QStringLiteral("home"));
        rig.fixture.start();
        rig.settings.setHiddenCalendarIds({rig.fixture.calendarId(QStringLiteral("home"))});
        rig.start();
        rig.at(berlin(2026, 3, 25, 10, 50));
        QCOMPARE(rig.notifier.summaries(), QStringList {"Work meeting"});

        rig.restart();
        rig.settings.setHiddenCalendarIds(
            {rig.fixture.calendarId(QStringLiteral("home")), rig.fixture.calendarId(QStringLiteral("work"))});
        rig.at(berlin(2026, 3, 25, 10, 51));
        QVERIFY(rig.notifier.shown.isEmpty());
        // Shown again, the calendar's missed alarm comes up.
        rig.settings.setHiddenCalendarIds({});
        QCOMPARE(rig.notifier.summaries(), QStringList {"Dentist"});
    }

    // With reminders off nothing comes up and no timer runs; turned on
    // again, what is due comes up.
    void remindersOffShowNothing()
    {
        ReminderRig rig(berlin(2026, 3, 25, 10, 0));
        rig.fixture.addEvent("review.ics",
            eventFile("review", "Design review", "20260325T110000", "20260325T120000", alarm("TRIGGER:-PT10M")));
        rig.settings.setShowReminders(false);
        ReminderScheduler &scheduler = rig.start();
        QVERIFY(!scheduler.nextCheck().isValid());
        rig.at(berlin(2026, 3, 25, 10, 50));
        QVERIFY(rig.notifier.shown.isEmpty());
        rig.settings.setShowReminders(true);
        QCOMPARE(rig.notifier.summaries(), QStringList {"Design review"});
    }

    // Offsets are exact time from the start's instant: across the changes
    // of the clocks in spring and autumn, an alarm ten minutes before 09:00
    // in Berlin stays at 08:50 on the wall clock, every day of a series.
    void aChangeOfTheClocksDoesNotMoveAnAlarm_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QByteArray>("firstDay");
        QTest::addColumn<QList<QDateTime>>("expected");
        QTest::newRow("spring") << berlin(2026, 3, 27, 12, 0) << QByteArray("20260328")
                                << QList<QDateTime> {
                                       utc(2026, 3, 28, 7, 50), utc(2026, 3, 29, 6, 50), utc(2026, 3, 30, 6, 50)};
        QTest::newRow("autumn") << berlin(2026, 10, 23, 12, 0) << QByteArray("20261024")
                                << QList<QDateTime> {
                                       utc(2026, 10, 24, 6, 50), utc(2026, 10, 25, 7, 50), utc(2026, 10, 26, 7, 50)};
    }
    void aChangeOfTheClocksDoesNotMoveAnAlarm()
    {
        QFETCH(QDateTime, now);
        QFETCH(QByteArray, firstDay);
        QFETCH(QList<QDateTime>, expected);
        ReminderRig rig(now);
        rig.fixture.addEvent("daily.ics",
            eventFile("daily", "Daily", firstDay + "T090000", firstDay + "T091500",
                "RRULE:FREQ=DAILY;COUNT=3\r\n" + alarm("TRIGGER:-PT10M")));
        ReminderScheduler &scheduler = rig.start();
        QCOMPARE(dueTimes(scheduler), expected);
        for (const QDateTime &due : expected)
            QCOMPARE(due.toTimeZone(Berlin).time(), QTime(8, 50));
        // Each fires at its own time.
        for (qsizetype i = 0; i < expected.size(); ++i) {
            rig.at(expected[i].addSecs(-1));
            QCOMPARE(rig.notifier.shown.size(), i);
            rig.at(expected[i]);
            QCOMPARE(rig.notifier.shown.size(), i + 1);
        }
    }

    // RELATED=END counts from the end; an absolute trigger is its own
    // instant, once for a whole series.
    void endAndAbsoluteTriggers()
    {
        ReminderRig rig(berlin(2026, 3, 25, 8, 0));
        rig.fixture.addEvent("end.ics",
            eventFile("end", "Lab booking", "20260325T110000", "20260325T120000", alarm("TRIGGER;RELATED=END:-PT5M")));
        rig.fixture.addEvent("fixed.ics",
            eventFile("fixed", "Weekly sync", "20260325T140000", "20260325T143000",
                "RRULE:FREQ=DAILY;COUNT=4\r\n" + alarm("TRIGGER;VALUE=DATE-TIME:20260325T090000Z")));
        ReminderScheduler &scheduler = rig.start();
        QCOMPARE(dueTimesOf(scheduler, "Lab booking"), QList<QDateTime> {berlin(2026, 3, 25, 11, 55)});
        QCOMPARE(dueTimesOf(scheduler, "Weekly sync"), QList<QDateTime> {utc(2026, 3, 25, 9, 0)});
        rig.at(berlin(2026, 3, 25, 10, 0));
        QCOMPARE(rig.notifier.summaries(), QStringList {"Weekly sync"});
        rig.at(berlin(2026, 3, 25, 11, 55));
        QCOMPARE(rig.notifier.summaries(), (QStringList {"Weekly sync", "Lab booking"}));
    }

    // An all-day event's alarm counts from midnight of its day (or of the
    // day after it, from its end) in the user's zone.
    void allDayEventsCountFromLocalMidnight()
    {
        ReminderRig rig(berlin(2026, 3, 24, 12, 0));
        rig.fixture.addEvent("trip.ics",
            singleEvent("UID:trip\r\nSUMMARY:Trip\r\nDTSTART;VALUE=DATE:20260326\r\nDTEND;VALUE=DATE:20260328\r\n"
                + alarm("TRIGGER:-PT15H") + alarm("TRIGGER;RELATED=END:PT9H")));
        // Across the change of the clocks: midnight of 30 March is in summer time.
        rig.fixture.addEvent("holiday.ics",
            singleEvent("UID:holiday\r\nSUMMARY:Holiday\r\nDTSTART;VALUE=DATE:20260330\r\n" + alarm("TRIGGER:PT8H")));
        ReminderScheduler &scheduler = rig.start();
        QCOMPARE(
            dueTimesOf(scheduler, "Trip"), (QList<QDateTime> {berlin(2026, 3, 25, 9, 0), berlin(2026, 3, 28, 9, 0)}));
        QCOMPARE(dueTimesOf(scheduler, "Holiday"), QList<QDateTime> {berlin(2026, 3, 30, 8, 0)});
        rig.at(berlin(2026, 3, 25, 9, 0));
        QCOMPARE(rig.notifier.summaries(), QStringList {"Trip"});
        QVERIFY2(rig.notifier.shown.first().body.contains(QStringLiteral("All day")),
            qPrintable(rig.notifier.shown.first().body));
    }

    // The default reminder is for timed events without alarms of their
    // own: not for all-day events, not added to an event's own alarms.
    void defaultReminderOnlyForTimedEventsWithoutAlarms()
    {
        ReminderRig rig(berlin(2026, 3, 25, 8, 0));
        rig.fixture.addEvent("plain.ics", eventFile("plain", "Plain", "20260325T110000", "20260325T120000"));
        rig.fixture.addEvent(
            "own.ics", eventFile("own", "Own alarm", "20260325T130000", "20260325T140000", alarm("TRIGGER:-PT30M")));
        rig.fixture.addEvent("day.ics", singleEvent("UID:day\r\nSUMMARY:Day off\r\nDTSTART;VALUE=DATE:20260326\r\n"));
        ReminderScheduler &scheduler = rig.start();
        QVERIFY(dueTimesOf(scheduler, "Plain").isEmpty()); // off by default
        QCOMPARE(dueTimes(scheduler), QList<QDateTime> {berlin(2026, 3, 25, 12, 30)});

        rig.settings.setDefaultReminderMinutes(5);
        QCOMPARE(dueTimesOf(scheduler, "Plain"), QList<QDateTime> {berlin(2026, 3, 25, 10, 55)});
        QCOMPARE(dueTimesOf(scheduler, "Own alarm"), QList<QDateTime> {berlin(2026, 3, 25, 12, 30)});
        QVERIFY(dueTimesOf(scheduler, "Day off").isEmpty());

        rig.settings.setDefaultReminderMinutes(0);
        QCOMPARE(dueTimesOf(scheduler, "Plain"), QList<QDateTime> {berlin(2026, 3, 25, 11, 0)});
        rig.at(berlin(2026, 3, 25, 11, 0));
        QCOMPARE(rig.notifier.summaries(), QStringList {"Plain"});
        QVERIFY2(rig.notifier.shown.first().body.contains(QStringLiteral("now")),
            qPrintable(rig.notifier.shown.first().body));

        rig.settings.setDefaultReminderMinutes(AppSettings::NoDefaultReminder);
        QVERIFY(dueTimesOf(scheduler, "Plain").isEmpty());
    }

    // The cache file is the user's alone; a damaged one is read as far as it
    // reads and never stops the reminders.
    void theCacheFileIsPrivateAndSurvivesDamage()
    {
        ReminderRig rig(berlin(2026, 3, 25, 10, 50));
        rig.fixture.addEvent("review.ics",
            eventFile("review", "Design review", "20260325T110000", "20260325T120000", alarm("TRIGGER:-PT10M")));
        rig.fixture.addEvent(
            "later.ics", eventFile("later", "Retro", "20260325T160000", "20260325T170000", alarm("TRIGGER:-PT10M")));
        rig.start();
        QCOMPARE(rig.notifier.shown.size(), 1);
        QCOMPARE(fileMode(rig.cachePath), 0600);
        QCOMPARE(fileMode(QFileInfo(rig.cachePath).path()), 0700);
        const QByteArray written = [&] {
            QFile file(rig.cachePath);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();

        // Junk lines among the real ones: the real ones still count.
        writeFile(rig.cachePath, written + "shown\tnot-a-number\tx\nsnooze\t1\n\xff\xfe\x00garbage\n");
        rig.restart();
        QVERIFY(rig.notifier.shown.isEmpty());
        rig.at(berlin(2026, 3, 25, 15, 50));
        QCOMPARE(rig.notifier.summaries(), QStringList {"Retro"});

        // Not a reminders file at all: it starts afresh, and is written anew.
        for (const QByteArray &junk : {QByteArray("\x00\x01\x02", 3), QByteArray("brivane-reminders 2\n"),
                 QByteArray(100000, '\t'), QByteArray()}) {
            writeFile(rig.cachePath, junk);
            rig.fixture.clock.setNow(berlin(2026, 3, 25, 10, 55));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not a reminders file"));
            rig.restart();
            QCOMPARE(rig.notifier.summaries(), QStringList {"Design review"}); // missed, and still on
        }
        QCOMPARE(fileMode(rig.cachePath), 0600);

        // A folder in the file's place: warned about, and the reminders go on.
        QVERIFY(QFile::remove(rig.cachePath));
        QVERIFY(QDir().mkpath(rig.cachePath));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot read"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not write"));
        rig.restart();
        QCOMPARE(rig.notifier.summaries(), QStringList {"Design review"});
    }

    // The cache forgets an alarm a day after its time or its event's end.
    void theCacheIsPruned()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("reminders"));
        {
            ReminderCache cache(path);
            cache.markShown(QStringLiteral("old"), utc(2026, 3, 24, 10, 0));
            cache.markShown(QStringLiteral("new key with spaces|and\tseparators"), utc(2026, 3, 26, 10, 0));
            cache.snooze(QStringLiteral("snoozed"), {utc(2026, 3, 25, 11, 0), QStringLiteral("event id")});
            cache.prune(utc(2026, 3, 25, 10, 0));
            QVERIFY(cache.save());
        }
        const ReminderCache read(path);
        QVERIFY(!read.wasShown(QStringLiteral("old")));
        QVERIFY(read.wasShown(QStringLiteral("new key with spaces|and\tseparators")));
        QCOMPARE(read.snoozes().value(QStringLiteral("snoozed")).eventId, QStringLiteral("event id"));
        QCOMPARE(read.snoozes().value(QStringLiteral("snoozed")).dueAt, utc(2026, 3, 25, 11, 0));
    }

    // The settings: reminders on and no default reminder until chosen;
    // both kept in the file; values out of range turn the default off.
    void settingsAreKept()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("brivane.conf"));
        {
            AppSettings settings(path);
            QVERIFY(settings.showReminders());
            QCOMPARE(settings.defaultReminderMinutes(), AppSettings::NoDefaultReminder);
            QSignalSpy shown(&settings, &AppSettings::showRemindersChanged);
            QSignalSpy minutes(&settings, &AppSettings::defaultReminderMinutesChanged);
            settings.setShowReminders(false);
            settings.setShowReminders(false);
            settings.setDefaultReminderMinutes(10);
            settings.setDefaultReminderMinutes(10);
            QCOMPARE(shown.size(), 1);
            QCOMPARE(minutes.size(), 1);
            settings.setDefaultReminderMinutes(-5);
            QCOMPARE(settings.defaultReminderMinutes(), AppSettings::NoDefaultReminder);
            settings.setDefaultReminderMinutes(5);
        }
        {
            AppSettings settings(path);
            QVERIFY(!settings.showReminders());
            QCOMPARE(settings.defaultReminderMinutes(), 5);
        }
        writeFile(path, "[General]\nshowReminders=maybe\ndefaultReminderMinutes=soon\n");
        AppSettings damaged(path);
        QVERIFY(damaged.showReminders());
        QCOMPARE(damaged.defaultReminderMinutes(), AppSettings::NoDefaultReminder);
    }
};

BRIVANE_TEST_MAIN(RemindersTest)
#include "tst_reminders.moc"
