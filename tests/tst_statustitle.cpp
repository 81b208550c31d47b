// SPDX-License-Identifier: GPL-3.0-or-later
// The status title: which event it names, how it counts down, how it cuts
// long names, and what it shows when nothing is next.
#include "TestSupport.h"

#include "calendar/EventFormatting.h"
#include "calendar/StatusTitle.h"

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");
const QDateTime Now(QDate(2026, 3, 25), QTime(10, 0), Berlin); // a Wednesday
const QLocale English(QLocale::English, QLocale::UnitedKingdom);

CalendarEvent timedEvent(const QString &title, const QDateTime &start, qint64 lengthSecs = 1800)
{
    CalendarEvent event;
    event.title = title;
    event.hasTitle = !title.isEmpty();
    event.start = start;
    event.end = start.addSecs(lengthSecs);
    event.id = title + start.toString(Qt::ISODate);
    return event;
}

CalendarEvent allDayEvent(const QString &title, QDate day)
{
    CalendarEvent event = timedEvent(title, QDateTime(day, QTime(0, 0), Berlin), 86400);
    event.allDay = true;
    event.startDate = day;
    event.endDate = day.addDays(1);
    return event;
}

QString titleFor(
    const QList<CalendarEvent> &today, const QList<CalendarEvent> &tomorrow = {}, const QDateTime &now = Now)
{
    return StatusTitleBuilder::fromEvents(today, tomorrow, now, English).text;
}
} // namespace

class StatusTitleTest : public QObject
{
    Q_OBJECT

private slots:
    void countdownBeforeTheStart_data()
    {
        QTest::addColumn<qint64>("secondsAhead");
        QTest::addColumn<QString>("expected");
        QTest::newRow("30 s: truncated to 0") << qint64(30) << QString(" Review \u00B7 in 0m");
        QTest::newRow("59 min 59 s") << qint64(59 * 60 + 59) << QString(" Review \u00B7 in 59m");
        QTest::newRow("exactly 60 min: the start time") << qint64(3600) << QString(" Review \u00B7 11:00");
        QTest::newRow("hours ahead") << qint64(5 * 3600 + 15 * 60) << QString(" Review \u00B7 15:15");
    }
    void countdownBeforeTheStart()
    {
        QFETCH(qint64, secondsAhead);
        QFETCH(QString, expected);
        QCOMPARE(titleFor({timedEvent("Review", Now.addSecs(secondsAhead))}), expected);
    }

    void countdownToTheEndNeverShowsZero_data()
    {
        QTest::addColumn<qint64>("secondsLeft");
        QTest::addColumn<QString>("expected");
        QTest::newRow("30 s left") << qint64(30) << QString(" Call \u00B7 1m left");
        QTest::newRow("ends now") << qint64(0) << QString(" Call \u00B7 1m left");
        QTest::newRow("89 s left") << qint64(89) << QString(" Call \u00B7 1m left");
        QTest::newRow("2 h left") << qint64(7200) << QString(" Call \u00B7 120m left");
    }
    void countdownToTheEndNeverShowsZero()
    {
        QFETCH(qint64, secondsLeft);
        QFETCH(QString, expected);
        const CalendarEvent call = timedEvent("Call", Now.addSecs(-600), 600 + secondsLeft);
        QCOMPARE(titleFor({call}), expected);
        QCOMPARE(StatusTitleBuilder::fromEvents({call}, {}, Now, English).stateClass(), QStringLiteral("running"));
    }

    void runningEventWinsOverALaterOne()
    {
        const QList<CalendarEvent> today {
            timedEvent("Later", Now.addSecs(300)), timedEvent("Running", Now.addSecs(-300), 3600)};
        // The store's order is by start; the title sorts anyway.
        QCOMPARE(titleFor(today), QString(" Running \u00B7 55m left"));
    }

    void allDayEventsNeverAppear()
    {
        QCOMPARE(titleFor({allDayEvent("Holiday", Now.date())}, {allDayEvent("Trip", Now.date().addDays(1))}),
            QString(" Wed 25 Mar"));
        const StatusTitle idle = StatusTitleBuilder::fromEvents({}, {}, Now, English);
        QCOMPARE(idle.stateClass(), QStringLiteral("idle"));
        QVERIFY(idle.nextEvents.isEmpty());
    }

    void tomorrowsFirstEventWhenTodayIsDone()
    {
        const QDateTime lateEvening(QDate(2026, 3, 25), QTime(23, 30), Berlin);
        QCOMPARE(
            titleFor({}, {timedEvent("Breakfast", QDateTime(QDate(2026, 3, 26), QTime(8, 0), Berlin))}, lateEvening),
            QString(" Breakfast \u00B7 08:00"));
        // Tomorrow's event within the hour still counts down.
        QCOMPARE(
            titleFor({}, {timedEvent("Night train", QDateTime(QDate(2026, 3, 26), QTime(0, 10), Berlin))}, lateEvening),
            QString(" Night train \u00B7 in 40m"));
    }

    void namesAreCutAtTwentyThreeCharacters_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("22: whole") << QString("abcdefghijklmnopqrstuv") << QString("abcdefghijklmnopqrstuv");
        QTest::newRow("23: cut") << QString("abcdefghijklmnopqrstuvw") << QString("abcdefghijklmnopqrstuv\u2026");
        // Emoji and combining marks are one character each, never split.
        const QString family = QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467");
        QTest::newRow("emoji") << (family.repeated(23)) << (family.repeated(22) + QChar(0x2026));
        const QString accented = QString::fromUtf8("e\u0301");
        QTest::newRow("combining marks, 22") << accented.repeated(22) << accented.repeated(22);
        QTest::newRow("combining marks, 23") << accented.repeated(23) << (accented.repeated(22) + QChar(0x2026));
    }
    void namesAreCutAtTwentyThreeCharacters()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        QCOMPARE(StatusTitleBuilder::shortenedName(name), shown);
    }

    // Line breaks, escapes and separators from a synced file never reach
    // the panel, and a huge title costs what a short one does.
    void titlesAreShownOnOneLine()
    {
        const StatusTitle title
            = StatusTitleBuilder::fromEvents({timedEvent("Stand\nup\x1b[0m", Now.addSecs(600)),
                                                 timedEvent(QString("Call\u2028with\u0085Bob\r\n"), Now.addSecs(1200)),
                                                 timedEvent(QString(8 * 1024 * 1024, QChar('y')), Now.addSecs(1800))},
                {}, Now, English);
        QCOMPARE(title.text, QString(" Stand up [0m \u00B7 in 10m"));
        QCOMPARE(title.nextEvents.value(0), QStringLiteral("10:10 Stand up [0m"));
        QCOMPARE(title.nextEvents.value(1), QStringLiteral("10:20 Call with Bob"));
        QCOMPARE(title.nextEvents.value(2), "10:30 " + QString(300, QChar('y')) + QChar(0x2026));
    }

    void oneLineTitleCutsWholeCharacters_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("shown");
        using EventFormatting::MaxTitleCharacters;
        const QString ellipsis(QChar(0x2026));
        QTest::newRow("short") << QString("Standup") << QString("Standup");
        QTest::newRow("spaces kept") << QString("  Two  spaces ") << QString("  Two  spaces ");
        QTest::newRow("tab between spaces") << QString("Tab \t here") << QString("Tab here");
        QTest::newRow("only line breaks") << QString("\n\r\n") << QString();
        const QString a300(MaxTitleCharacters, QChar('a'));
        QTest::newRow("300: whole") << a300 << a300;
        QTest::newRow("301: cut") << (a300 + "b") << (a300 + ellipsis);
        QTest::newRow("cut before a trailing space") << (a300.chopped(1) + " bcd") << (a300.chopped(1) + ellipsis);
        // A character outside the BMP is two code units, never split.
        const QString face = QString::fromUtf8("\U0001F600");
        QTest::newRow("surrogate pairs") << (a300.chopped(1) + face + face) << (a300.chopped(1) + face + ellipsis);
        const QString accented = QString::fromUtf8("e\u0301");
        QTest::newRow("combining marks") << accented.repeated(MaxTitleCharacters + 1)
                                         << (accented.repeated(MaxTitleCharacters) + ellipsis);
        const QString family = QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467");
        QTest::newRow("emoji sequences") << family.repeated(MaxTitleCharacters + 5)
                                         << (family.repeated(MaxTitleCharacters) + ellipsis);
        QTest::newRow("megabytes of line breaks") << QString(1 << 20, QChar('\n')) << ellipsis;
        QTest::newRow("megabytes, a break early") << ("Big\n" + QString(1 << 20, QChar('z')))
                                                  << ("Big " + QString(MaxTitleCharacters - 4, QChar('z')) + ellipsis);
        // Thousands of combining marks on one letter: cut where the text
        // stops being read, still marked as cut.
        const QString zalgo = "Z" + QString(1 << 16, QChar(0x0301));
        QTest::newRow("one endless character") << zalgo << (zalgo.left(EventFormatting::ScannedTitleUnits) + ellipsis);
    }
    void oneLineTitleCutsWholeCharacters()
    {
        QFETCH(QString, title);
        QFETCH(QString, shown);
        const QString once = EventFormatting::oneLineTitle(title);
        QCOMPARE(once, shown);
        QCOMPARE(EventFormatting::oneLineTitle(once), once); // shown as it is
        QCOMPARE(EventFormatting::oneLineTitleFromUtf8(title.toUtf8().constData()), shown);
    }

    void untitledEventIsCalledEvent()
    {
        QCOMPARE(titleFor({timedEvent("", Now.addSecs(600))}), QString(" Event \u00B7 in 10m"));
    }

    // Through the store: every calendar counts, hidden or not (the title
    // does not know about hiding), and only timed events.
    void tooltipListsTenEventsAndCountsTheRest()
    {
        QList<CalendarEvent> today;
        for (int i = 0; i < 14; ++i)
            today.append(timedEvent(QStringLiteral("E%1").arg(i), Now.addSecs(600 * (i + 1))));
        const QStringList lines = StatusTitleBuilder::fromEvents(today, {}, Now, English).nextEvents;
        QCOMPARE(lines.size(), StatusTitle::MaxListedEvents + 1);
        QCOMPARE(lines.first(), QStringLiteral("10:10 E0"));
        QCOMPARE(lines.last(), QStringLiteral("and 4 more"));
        today.resize(10);
        QCOMPARE(StatusTitleBuilder::fromEvents(today, {}, Now, English).nextEvents.size(), 10);
    }

    void computedFromTheStore()
    {
        VdirFixture fixture(Berlin, Now);
        fixture.addEvent("a.ics",
            singleEvent("UID:a\r\nSUMMARY:Lunch\r\nDTSTART;TZID=Europe/Berlin:20260325T120000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T130000\r\n"),
            "hidden-one");
        fixture.addEvent("b.ics", singleEvent("UID:b\r\nSUMMARY:Holiday\r\nDTSTART;VALUE=DATE:20260325\r\n"), "other");
        fixture.addEvent("c.ics",
            singleEvent("UID:c\r\nSUMMARY:Earlier\r\nDTSTART;TZID=Europe/Berlin:20260325T080000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T090000\r\n"),
            "other");
        fixture.start();
        const StatusTitle title = StatusTitleBuilder::compute(*fixture.store, {}, Now, English);
        QCOMPARE(title.text, QString(" Lunch \u00B7 12:00"));
        QCOMPARE(title.plainText(), QString("Lunch \u00B7 12:00"));
        QCOMPARE(title.nextEvents, QStringList {"12:00 Lunch"});
        QCOMPARE(title.stateClass(), QStringLiteral("event"));
    }

    // A calendar switched off in the settings leaves the title and its
    // tooltip lines, today's and tomorrow's events alike; with every
    // calendar switched off all count, as in the popover's lists.
    void hiddenCalendarsLeaveTheTitle()
    {
        VdirFixture fixture(Berlin, Now);
        fixture.addEvent("a.ics",
            singleEvent("UID:a\r\nSUMMARY:Lunch\r\nDTSTART;TZID=Europe/Berlin:20260325T120000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T130000\r\n"),
            "hidden-one");
        fixture.addEvent("b.ics",
            singleEvent("UID:b\r\nSUMMARY:Review\r\nDTSTART;TZID=Europe/Berlin:20260325T150000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T160000\r\n"),
            "shown");
        fixture.start();
        const QSet<QString> hidden {fixture.calendarId("hidden-one")};

        StatusTitle title = StatusTitleBuilder::compute(*fixture.store, hidden, Now, English);
        QCOMPARE(title.plainText(), QString("Review \u00B7 15:00"));
        QCOMPARE(title.nextEvents, QStringList {"15:00 Review"});
        QCOMPARE(StatusTitleBuilder::compute(*fixture.store, {}, Now, English).nextEvents,
            (QStringList {"12:00 Lunch", "15:00 Review"}));

        // Tomorrow's first timed event, when the hidden calendar's is earlier.
        const QDateTime evening(QDate(2026, 3, 25), QTime(17, 0), Berlin);
        fixture.addEvent("c.ics",
            singleEvent("UID:c\r\nSUMMARY:Early\r\nDTSTART;TZID=Europe/Berlin:20260326T070000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260326T080000\r\n"),
            "hidden-one");
        fixture.addEvent("d.ics",
            singleEvent("UID:d\r\nSUMMARY:Later\r\nDTSTART;TZID=Europe/Berlin:20260326T090000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260326T100000\r\n"),
            "shown");
        auto reopened = fixture.reopened();
        QCOMPARE(StatusTitleBuilder::compute(*reopened->store, hidden, evening, English).plainText(),
            QString("Later \u00B7 09:00"));
        QCOMPARE(StatusTitleBuilder::compute(*reopened->store, {}, evening, English).plainText(),
            QString("Early \u00B7 07:00"));

        // The other one switched off instead.
        const QSet<QString> shownHidden {fixture.calendarId("shown")};
        QCOMPARE(StatusTitleBuilder::compute(*reopened->store, shownHidden, Now, English).plainText(),
            QString("Lunch \u00B7 12:00"));
        const QSet<QString> all {fixture.calendarId("hidden-one"), fixture.calendarId("shown")};
        QCOMPARE(StatusTitleBuilder::compute(*reopened->store, all, Now, English),
            StatusTitleBuilder::compute(*reopened->store, {}, Now, English));
    }
};

BRIVANE_TEST_MAIN(StatusTitleTest)
#include "tst_statustitle.moc"
