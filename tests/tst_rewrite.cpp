// SPDX-License-Identifier: GPL-3.0-or-later
// Removing events from files other programs wrote: the file keeps every line
// that is not part of what was removed, as it was written (folding, line
// breaks, parameters, components this program does not know), and only the
// EXDATE of a removed occurrence is added. The files in data/rewrite are
// made after exports of Google Calendar, Outlook and Apple Calendar.
#include "TestSupport.h"

#include "calendar/IcsLines.h"
#include "calendar/IcsParser.h"
#include "calendar/IcsWriter.h"
#include "calendar/RecurrenceExpander.h"

#include <QStringDecoder>

#include <functional>
#include <optional>

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");

QByteArray fixtureText(const QString &name)
{
    return readFile(QStringLiteral(BRIVANE_TEST_DATA "/rewrite/") + name);
}

// Physical lines, each with its line break.
QList<QByteArray> physicalLines(const QByteArray &text)
{
    QList<QByteArray> lines;
    for (qsizetype pos = 0; pos < text.size();) {
        const qsizetype newline = text.indexOf('\n', pos);
        const qsizetype end = newline < 0 ? text.size() : newline + 1;
        lines.append(text.mid(pos, end - pos));
        pos = end;
    }
    return lines;
}

// Where the text first differs from the expected lines, or nothing.
QString differenceFrom(const QByteArray &actual, const QList<QByteArray> &expected)
{
    const QList<QByteArray> lines = physicalLines(actual);
    for (qsizetype i = 0; i < qMax(lines.size(), expected.size()); ++i) {
        const QByteArray got = i < lines.size() ? lines[i] : QByteArray("(end of file)");
        const QByteArray wanted = i < expected.size() ? expected[i] : QByteArray("(end of file)");
        if (got != wanted)
            return QStringLiteral("line %1: expected \"%2\", got \"%3\"")
                .arg(i + 1)
                .arg(QString::fromUtf8(wanted.toPercentEncoding(" ;:=,\"()/-+.\\")),
                    QString::fromUtf8(got.toPercentEncoding(" ;:=,\"()/-+.\\")));
    }
    return {};
}

// The index of the one physical line equal to `line`; -1 unless there is exactly one.
qsizetype indexOfOnly(const QList<QByteArray> &lines, const QByteArray &line)
{
    const qsizetype index = lines.indexOf(line);
    return index >= 0 && lines.lastIndexOf(line) == index ? index : -1;
}

// Leaves out the lines of the VEVENT holding the line `marker`.
bool removeEventAround(QList<QByteArray> &lines, const QByteArray &marker)
{
    const qsizetype at = indexOfOnly(lines, marker);
    if (at < 0)
        return false;
    qsizetype first = at;
    while (first >= 0 && !lines[first].startsWith("BEGIN:VEVENT"))
        --first;
    qsizetype last = at;
    while (last < lines.size() && !lines[last].startsWith("END:VEVENT"))
        ++last;
    if (first < 0 || last == lines.size())
        return false;
    lines.remove(first, last - first + 1);
    return true;
}

// Adds lines after the line `anchor`.
bool insertAfter(QList<QByteArray> &lines, const QByteArray &anchor, const QByteArray &added)
{
    const qsizetype at = indexOfOnly(lines, anchor);
    if (at < 0)
        return false;
    const QList<QByteArray> addedLines = physicalLines(added);
    for (qsizetype i = 0; i < addedLines.size(); ++i)
        lines.insert(at + 1 + i, addedLines[i]);
    return true;
}

QString describe(const CalendarEvent &event)
{
    return event.title + event.start.toTimeZone(Berlin).toString(QStringLiteral(" yyyy-MM-dd HH:mm"));
}

QStringList describe(const QList<CalendarEvent> &events)
{
    QStringList result;
    for (const CalendarEvent &event : events)
        result.append(describe(event));
    return result;
}

std::optional<CalendarEvent> find(const QList<CalendarEvent> &events, const QString &title, const QDateTime &start)
{
    for (const CalendarEvent &event : events) {
        if (event.title == title && event.start == start)
            return event;
    }
    return std::nullopt;
}

// The occurrences of a text's events in March and April 2026, as "title start".
QStringList occurrencesIn(const QByteArray &text)
{
    const ParsedFile file = IcsParser::parse(QStringLiteral("/test/file.ics"), QStringLiteral("test"), text);
    std::vector<Occurrence> occurrences;
    RecurrenceExpander::expandFile(file, QDateTime(QDate(2026, 3, 1), QTime(0, 0), Berlin).toMSecsSinceEpoch(),
        QDateTime(QDate(2026, 5, 1), QTime(0, 0), Berlin).toMSecsSinceEpoch(), Berlin, occurrences);
    QStringList result;
    for (const Occurrence &occurrence : occurrences)
        result.append(occurrence.record().title
            + QDateTime::fromMSecsSinceEpoch(occurrence.startMs, Berlin).toString(QStringLiteral(" yyyy-MM-dd HH:mm")));
    result.sort();
    return result;
}

const QString unreadableError = QStringLiteral("could not be read completely");
} // namespace

class RewriteTest : public QObject
{
    Q_OBJECT

private:
    // Removes the event of that title and start through the store and
    // checks the file against `expected` line by line, and the events the
    // store and a fresh read of the folder show afterwards.
    void removeThroughTheStore(const QString &fileName, const QString &title, const QDateTime &start,
        const std::function<bool(QList<QByteArray> &)> &expectedChange)
    {
        VdirFixture fixture;
        const QByteArray original = fixtureText(fileName);
        QVERIFY2(!original.isEmpty(), qPrintable(fileName));
        fixture.addEvent(fileName, original);
        CalendarStore &store = fixture.start();
        const QDate from(2026, 3, 1), to(2026, 5, 1);
        const QList<CalendarEvent> before = fixture.eventsOn(from, to);
        const std::optional<CalendarEvent> target = find(before, title, start);
        QVERIFY2(target, qPrintable(describe(before).join(", ")));

        const StoreResult result = store.removeEvent(*target);
        QVERIFY2(result.ok, qPrintable(result.error));

        QList<QByteArray> expected = physicalLines(original);
        QVERIFY(expectedChange(expected));
        const QByteArray text = readFile(fixture.calendarPath() + QLatin1Char('/') + fileName);
        const QString difference = differenceFrom(text, expected);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));

        QStringList remaining = describe(before);
        QVERIFY(remaining.removeOne(describe(*target)));
        QCOMPARE(describe(fixture.eventsOn(from, to)), remaining);
        QCOMPARE(describe(fixture.reopened()->eventsOn(from, to)), remaining);
    }

private slots:
    void removingAnOccurrenceAddsOnlyItsExdate_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QByteArray>("anchor"); // the EXDATE comes after this physical line
        QTest::addColumn<QByteArray>("added");

        QTest::newRow("zoned by IANA name, after DTSTART")
            << "google-team.ics"
            << "Stand-up" << QDateTime(QDate(2026, 3, 16), QTime(9, 30), Berlin)
            << QByteArray("DTSTART;TZID=Europe/Berlin:20260302T093000\r\n")
            << QByteArray("EXDATE;TZID=Europe/Berlin:20260316T093000\r\n");
        // The TZID is quoted (it holds a colon and commas); the new line is
        // longer than 75 octets and folded like the EXDATE before it.
        QTest::newRow("zoned by a VTIMEZONE of the file, after the last EXDATE")
            << "outlook-meetings.ics"
            << "Projekt Nordlicht" << QDateTime(QDate(2026, 3, 24), QTime(14, 0), Berlin)
            << QByteArray(" 60317T140000\r\n")
            << QByteArray("EXDATE;TZID=\"(UTC+01:00) Amsterdam, Berlin, Bern, Rom, Stockholm, Wien\":202\r\n"
                          " 60324T140000\r\n");
        QTest::newRow("floating, LF line breaks")
            << "apple-home.ics"
            << "Laufen" << QDateTime(QDate(2026, 3, 24), QTime(7, 0), Berlin) << QByteArray("DTSTART:20260320T070000\n")
            << QByteArray("EXDATE:20260324T070000\n");
        QTest::newRow("all-day, after the last EXDATE")
            << "apple-home.ics"
            << "Altpapier rausstellen" << QDateTime(QDate(2026, 3, 26), QTime(0, 0), Berlin)
            << QByteArray("EXDATE;VALUE=DATE:20260319\n") << QByteArray("EXDATE;VALUE=DATE:20260326\n");
        QTest::newRow("UTC") << "apple-home.ics"
                             << "Call mit Lisa" << QDateTime(QDate(2026, 3, 25), QTime(18, 0), Berlin)
                             << QByteArray("DTSTART:20260323T170000Z\n") << QByteArray("EXDATE:20260325T170000Z\n");
    }

    void removingAnOccurrenceAddsOnlyItsExdate()
    {
        QFETCH(QString, file);
        QFETCH(QString, title);
        QFETCH(QDateTime, start);
        QFETCH(QByteArray, anchor);
        QFETCH(QByteArray, added);
        removeThroughTheStore(
            file, title, start, [&](QList<QByteArray> &lines) { return insertAfter(lines, anchor, added); });
    }

    void removingAMovedOccurrenceDropsExactlyItsComponent()
    {
        // The override goes, and the master gets the EXDATE of the
        // occurrence's original time.
        removeThroughTheStore("google-team.ics", "Stand-up (verschoben)",
            QDateTime(QDate(2026, 3, 11), QTime(11, 0), Berlin), [](QList<QByteArray> &lines) {
                return removeEventAround(lines, "SUMMARY:Stand-up (verschoben)\r\n")
                    && insertAfter(lines, "DTSTART;TZID=Europe/Berlin:20260302T093000\r\n",
                        "EXDATE;TZID=Europe/Berlin:20260311T093000\r\n");
            });
    }

    void removingASingleEventDropsOnlyItsLines_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QByteArray>("marker");
        QTest::newRow("all-day with CATEGORIES and GEO, before the VTIMEZONE")
            << "google-team.ics"
            << "Teamtag" << QDateTime(QDate(2026, 3, 27), QTime(0, 0), Berlin) << QByteArray("SUMMARY:Teamtag\r\n");
        QTest::newRow("Windows zone, between a series and two VTIMEZONEs")
            << "outlook-meetings.ics"
            << "Zahnarzt" << QDateTime(QDate(2026, 3, 26), QTime(9, 0), Berlin)
            << QByteArray("SUMMARY;LANGUAGE=de:Zahnarzt\r\n");
    }

    void removingASingleEventDropsOnlyItsLines()
    {
        QFETCH(QString, file);
        QFETCH(QString, title);
        QFETCH(QDateTime, start);
        QFETCH(QByteArray, marker);
        removeThroughTheStore(
            file, title, start, [&](QList<QByteArray> &lines) { return removeEventAround(lines, marker); });
    }

    void removingAWholeSeriesTakesItsOverridesAlong()
    {
        const QByteArray original = fixtureText("google-team.ics");
        const IcsWriter::Edit edit = IcsWriter::removeFromFile(original, "3q8v0f7k2m1l9c5r@google.com", {}, Berlin);
        QVERIFY2(edit.ok, qPrintable(edit.error));
        QVERIFY(!edit.deleteFile);
        QList<QByteArray> expected = physicalLines(original);
        QVERIFY(removeEventAround(expected, "SUMMARY:Stand-up\r\n"));
        QVERIFY(removeEventAround(expected, "SUMMARY:Stand-up (verschoben)\r\n"));
        const QString difference = differenceFrom(edit.content, expected);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QCOMPARE(occurrencesIn(edit.content), QStringList {"Teamtag 2026-03-27 00:00"});
    }

    void mastersSharingAUidAreToldApart()
    {
        // Two series under one UID at the same times (the reader names them
        // "dup" and "dup#2"), and an override, which the reader gives the first.
        const QByteArray original
            = calendarWith("BEGIN:VEVENT\r\nUID:dup\r\nSUMMARY:First\r\n"
                           "DTSTART:20260323T080000Z\r\nRRULE:FREQ=DAILY;COUNT=3\r\nEND:VEVENT\r\n"
                           "BEGIN:VEVENT\r\nUID:dup\r\nSUMMARY:Second\r\n"
                           "DTSTART;VALUE=DATE-TIME:20260323T080000Z\r\nRRULE:FREQ=DAILY;COUNT=3\r\n"
                           "END:VEVENT\r\n"
                           "BEGIN:VEVENT\r\nUID:dup\r\nSUMMARY:First moved\r\n"
                           "RECURRENCE-ID:20260325T080000Z\r\nDTSTART:20260325T090000Z\r\n"
                           "END:VEVENT\r\n");
        QCOMPARE(occurrencesIn(original),
            (QStringList {"First 2026-03-23 09:00", "First 2026-03-24 09:00", "First moved 2026-03-25 10:00",
                "Second 2026-03-23 09:00", "Second 2026-03-24 09:00", "Second 2026-03-25 09:00"}));
        auto check = [&](const QString &seriesKey, const QString &recurrenceKey,
                         const std::function<bool(QList<QByteArray> &)> &change, const QStringList &occurrences) {
            const IcsWriter::Edit edit = IcsWriter::removeFromFile(original, seriesKey, recurrenceKey, Berlin);
            QVERIFY2(edit.ok, qPrintable(edit.error));
            QList<QByteArray> expected = physicalLines(original);
            QVERIFY(change(expected));
            const QString difference = differenceFrom(edit.content, expected);
            QVERIFY2(difference.isEmpty(), qPrintable(difference));
            QCOMPARE(occurrencesIn(edit.content), occurrences);
        };

        // An occurrence of the second: its EXDATE goes to the second, and the
        // first's override of the same time stays.
        check("dup#2", "20260325T080000Z",
            [](QList<QByteArray> &lines) {
                return insertAfter(
                    lines, "DTSTART;VALUE=DATE-TIME:20260323T080000Z\r\n", "EXDATE:20260325T080000Z\r\n");
            },
            {"First 2026-03-23 09:00", "First 2026-03-24 09:00", "First moved 2026-03-25 10:00",
                "Second 2026-03-23 09:00", "Second 2026-03-24 09:00"});
        if (QTest::currentTestFailed())
            return;
        // That occurrence of the first: its override goes too.
        check("dup", "20260325T080000Z",
            [](QList<QByteArray> &lines) {
                return removeEventAround(lines, "SUMMARY:First moved\r\n")
                    && insertAfter(lines, "DTSTART:20260323T080000Z\r\n", "EXDATE:20260325T080000Z\r\n");
            },
            {"First 2026-03-23 09:00", "First 2026-03-24 09:00", "Second 2026-03-23 09:00", "Second 2026-03-24 09:00",
                "Second 2026-03-25 09:00"});
        if (QTest::currentTestFailed())
            return;
        // The whole second.
        check("dup#2", {}, [](QList<QByteArray> &lines) { return removeEventAround(lines, "SUMMARY:Second\r\n"); },
            {"First 2026-03-23 09:00", "First 2026-03-24 09:00", "First moved 2026-03-25 10:00"});
        if (QTest::currentTestFailed())
            return;
        // The whole first: the override stays while another master has the UID.
        check("dup", {}, [](QList<QByteArray> &lines) { return removeEventAround(lines, "SUMMARY:First\r\n"); },
            {"First moved 2026-03-25 10:00", "Second 2026-03-23 09:00", "Second 2026-03-24 09:00"});
    }

    void eventsWithoutAUidAreToldApartByTheirOrder()
    {
        // The reader names them "" and "#2"; removals find them by those names.
        const QByteArray original = calendarWith("BEGIN:VEVENT\r\nSUMMARY:One\r\nDTSTART:20260323T080000Z\r\n"
                                                 "RRULE:FREQ=DAILY;COUNT=3\r\nEND:VEVENT\r\n"
                                                 "BEGIN:VEVENT\r\nSUMMARY:Two\r\nDTSTART:20260323T120000Z\r\n"
                                                 "RRULE:FREQ=DAILY;COUNT=3\r\nEND:VEVENT\r\n");
        QCOMPARE(IcsParser::parse("/test/file.ics", "test", original).series()[1].key, QStringLiteral("#2"));
        IcsWriter::Edit edit = IcsWriter::removeFromFile(original, "#2", "20260324T120000Z", Berlin);
        QVERIFY2(edit.ok, qPrintable(edit.error));
        QList<QByteArray> expected = physicalLines(original);
        QVERIFY(insertAfter(expected, "DTSTART:20260323T120000Z\r\n", "EXDATE:20260324T120000Z\r\n"));
        QString difference = differenceFrom(edit.content, expected);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));

        edit = IcsWriter::removeFromFile(original, "", {}, Berlin);
        QVERIFY2(edit.ok, qPrintable(edit.error));
        expected = physicalLines(original);
        QVERIFY(removeEventAround(expected, "SUMMARY:One\r\n"));
        difference = differenceFrom(edit.content, expected);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    void theFileGoesOnlyWithItsLastEntry_data()
    {
        QTest::addColumn<QByteArray>("others");
        QTest::addColumn<bool>("fileGoes");
        QTest::newRow("a task stays") << QByteArray("BEGIN:VTODO\r\nUID:t\r\nSUMMARY:Task\r\nEND:VTODO\r\n") << false;
        QTest::newRow("a journal entry stays")
            << QByteArray("BEGIN:VJOURNAL\r\nUID:j\r\nDTSTART:20260323T080000Z\r\nEND:VJOURNAL\r\n") << false;
        QTest::newRow("time zones and unknown components alone do not")
            << QByteArray("BEGIN:X-SETTINGS\r\nX-A:1\r\nEND:X-SETTINGS\r\n"
                          "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\nBEGIN:STANDARD\r\nDTSTART:19701025T030000\r\n"
                          "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n")
            << true;
    }

    void theFileGoesOnlyWithItsLastEntry()
    {
        QFETCH(QByteArray, others);
        QFETCH(bool, fileGoes);
        const QByteArray original = calendarWith(
            "BEGIN:VEVENT\r\nUID:e\r\nSUMMARY:Event\r\nDTSTART:20260323T080000Z\r\nEND:VEVENT\r\n" + others);
        const IcsWriter::Edit edit = IcsWriter::removeFromFile(original, "e", {}, Berlin);
        QVERIFY2(edit.ok, qPrintable(edit.error));
        QCOMPARE(edit.deleteFile, fileGoes);
        if (!fileGoes) {
            QList<QByteArray> expected = physicalLines(original);
            QVERIFY(removeEventAround(expected, "SUMMARY:Event\r\n"));
            const QString difference = differenceFrom(edit.content, expected);
            QVERIFY2(difference.isEmpty(), qPrintable(difference));
        }
    }

    void longExdateIsFoldedWithoutSplittingACharacter()
    {
        // A zone of the file's own with a long name: its EXDATE is longer than
        // 75 octets, and the 76th octet is inside the "ö" of "Schönberg".
        const QByteArray tzid = "Mitteleuropäische Zeit (Hamburg, Kiel, Lübeck, Rostock, Schönberg)";
        const QByteArray exdate = "EXDATE;TZID=\"" + tzid + "\":20260324T090000";
        QVERIFY(exdate.size() > 76 && (uchar(exdate[75]) & 0xC0) == 0x80);
        const QByteArray original = calendarWith("BEGIN:VEVENT\r\nUID:long\r\nSUMMARY:Frühdienst\r\n"
                                                 "DTSTART;TZID=\""
            + tzid
            + "\":20260323T090000\r\nRRULE:FREQ=DAILY;COUNT=3\r\nEND:VEVENT\r\n"
              "BEGIN:VTIMEZONE\r\nTZID:"
            + tzid
            + "\r\nBEGIN:STANDARD\r\nDTSTART:19701025T030000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\n"
              "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\n"
              "BEGIN:DAYLIGHT\r\nDTSTART:19700329T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\n"
              "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n");
        QCOMPARE(occurrencesIn(original),
            (QStringList {
                "Frühdienst 2026-03-23 09:00", "Frühdienst 2026-03-24 09:00", "Frühdienst 2026-03-25 09:00"}));

        const IcsWriter::Edit edit = IcsWriter::removeFromFile(original, "long", "20260324T080000Z", Berlin);
        QVERIFY2(edit.ok, qPrintable(edit.error));
        QList<QByteArray> added = physicalLines(edit.content);
        for (const QByteArray &line : physicalLines(original))
            QVERIFY(added.removeOne(line));
        QVERIFY(added.size() >= 2);
        QByteArray unfolded;
        for (qsizetype i = 0; i < added.size(); ++i) {
            const QByteArray &line = added[i];
            QVERIFY2(line.size() - 2 <= 75, line.constData());
            QVERIFY(line.endsWith("\r\n"));
            QCOMPARE(line.startsWith(' '), i > 0);
            QStringDecoder decoder(QStringDecoder::Utf8);
            const QString decoded = decoder(line);
            QVERIFY2(!decoder.hasError(), line.constData());
            unfolded += line.mid(i > 0 ? 1 : 0).chopped(2);
        }
        QCOMPARE(unfolded, exdate);
        QCOMPARE(
            occurrencesIn(edit.content), (QStringList {"Frühdienst 2026-03-23 09:00", "Frühdienst 2026-03-25 09:00"}));
    }

    void exdateInAnUnknownZoneKeepsItsTzid()
    {
        // Read as local time here; other programs may know the zone, and
        // read the EXDATE in it as they read the DTSTART.
        const QByteArray original
            = singleEvent("UID:mars\r\nSUMMARY:Sol\r\nDTSTART;TZID=Mars/Olympus_Mons:20260323T090000\r\n"
                          "RRULE:FREQ=DAILY;COUNT=3\r\n");
        const IcsWriter::Edit edit = IcsWriter::removeFromFile(original, "mars", "20260324T090000", Berlin);
        QVERIFY2(edit.ok, qPrintable(edit.error));
        QList<QByteArray> expected = physicalLines(original);
        QVERIFY(insertAfter(expected, "DTSTART;TZID=Mars/Olympus_Mons:20260323T090000\r\n",
            "EXDATE;TZID=Mars/Olympus_Mons:20260324T090000\r\n"));
        const QString difference = differenceFrom(edit.content, expected);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QCOMPARE(occurrencesIn(edit.content), (QStringList {"Sol 2026-03-23 09:00", "Sol 2026-03-25 09:00"}));
    }

    void filesNotWellFormedAreLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("content");
        const QByteArray event = "BEGIN:VEVENT\r\nUID:a\r\nDTSTART:20260323T080000Z\r\nRRULE:FREQ=DAILY;COUNT=3\r\n";
        QTest::newRow("END lines swapped")
            << calendarWith(event + "BEGIN:VALARM\r\nTRIGGER:-PT5M\r\nACTION:DISPLAY\r\nEND:VEVENT\r\nEND:VALARM\r\n");
        QTest::newRow("END without its BEGIN") << calendarWith(event + "END:X-THING\r\nEND:VEVENT\r\n");
        QTest::newRow("a component left open") << calendarWith(event + "BEGIN:X-THING\r\nX-A:1\r\nEND:VEVENT\r\n");
        QTest::newRow("the calendar left open")
            << QByteArray("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + event + "END:VEVENT\r\n");
        QTest::newRow("two calendars in one file")
            << calendarWith(event + "END:VEVENT\r\n") + calendarWith("BEGIN:VEVENT\r\nUID:b\r\nEND:VEVENT\r\n");
        QTest::newRow("a NUL byte") << calendarWith(event + QByteArray("SUMMARY:a\0b\r\n", 13) + "END:VEVENT\r\n");
        QByteArray manyParameters = "X-MANY";
        for (int i = 0; i <= IcsParser::MaxParametersPerProperty; ++i)
            manyParameters += ";X-P" + QByteArray::number(i) + "=v";
        QTest::newRow("a property with too many parameters")
            << calendarWith(event + manyParameters + ":x\r\nEND:VEVENT\r\n");
    }

    void filesNotWellFormedAreLeftAlone()
    {
        QFETCH(QByteArray, content);
        for (const QString &recurrenceKey : {QString(), QStringLiteral("20260324T080000Z")}) {
            const IcsWriter::Edit edit = IcsWriter::removeFromFile(content, "a", recurrenceKey, Berlin);
            QVERIFY(!edit.ok);
            QVERIFY(!edit.deleteFile);
            QVERIFY(edit.content.isEmpty());
            QVERIFY2(edit.error.contains(unreadableError), qPrintable(edit.error));
        }
    }

    void linesAreReadAsWritten()
    {
        // Folded BEGIN lines, names in any case, CRLF beside LF, no final
        // line break: each line keeps its bytes, and the components are
        // found all the same.
        const QByteArray text = "BEGIN:VCALENDAR\r\nbegin:vev\r\n ent\nX-Q;A=\"x:y;z\";B=c:value\r\n"
                                "BEGIN:X-ALT\r\nEND:x-alt\r\nEnd:VEVENT\r\nEND:VCALENDAR";
        const IcsLines::Document document(text);
        QVERIFY(document.wellFormed());
        QCOMPARE(document.lines().size(), size_t(7));
        QByteArray again;
        for (qsizetype i = 0; i < qsizetype(document.lines().size()); ++i)
            again += document.raw(i);
        QCOMPARE(again, text);
        QCOMPARE(document.unfolded(1), QByteArray("begin:vevent"));
        QCOMPARE(document.lineBreak(1), QByteArray("\n"));
        QCOMPARE(document.lineBreak(0), QByteArray("\r\n"));
        QCOMPARE(document.lineBreak(6), QByteArray());
        QCOMPARE(document.components().size(), size_t(3));
        QCOMPARE(document.components()[1].name, QByteArray("vevent"));
        QCOMPARE(document.components()[1].endLine, qsizetype(5));
        QCOMPARE(document.components()[2].parent, 1);
        QCOMPARE(document.propertyLines(1), std::vector<qsizetype> {2});

        const IcsLines::Property property = IcsLines::parseProperty(document.unfolded(2));
        QCOMPARE(property.name, QByteArray("X-Q"));
        QCOMPARE(property.parameters, (std::vector<QByteArray> {"A=\"x:y;z\"", "B=c"}));
        QCOMPARE(property.parameter("A"), QByteArray("A=\"x:y;z\""));
        QCOMPARE(property.value, QByteArray("value"));

        // A byte order mark does not hide the first BEGIN.
        const IcsLines::Document marked("\xEF\xBB\xBF"
                                        "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
        QVERIFY(marked.wellFormed());
        QCOMPARE(marked.components().size(), size_t(1));
        QCOMPARE(marked.components()[0].name, QByteArray("VCALENDAR"));
    }
};

BRIVANE_TEST_MAIN(RewriteTest)
#include "tst_rewrite.moc"
