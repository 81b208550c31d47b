// SPDX-License-Identifier: GPL-3.0-or-later
// Files that are broken, hostile or not calendars at all: nothing crashes,
// blocks, eats memory or is written back; what can be read is shown; each
// bad file is reported once, and a flood of them in a bounded number of lines.
#include "TestSupport.h"

#include "calendar/IcsParser.h"
#include "calendar/RecurrenceExpander.h"
#include "calendar/SafeFile.h"
#include "settings/AppSettings.h"

#include <QRandomGenerator>

#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {
QStringList capturedWarnings;
QtMessageHandler previousHandler = nullptr;

void captureWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const bool ours
        = message.startsWith("brivane") || (context.category && QByteArray(context.category).startsWith("brivane."));
    if (type == QtWarningMsg && ours)
        capturedWarnings.append(message);
    else if (previousHandler)
        previousHandler(type, context, message);
}

qsizetype warningsAbout(const QString &name)
{
    return std::count_if(
        capturedWarnings.begin(), capturedWarnings.end(), [&](const QString &w) { return w.contains(name); });
}

const QByteArray GoodEvent
    = "BEGIN:VEVENT\r\nUID:good\r\nSUMMARY:Readable\r\nDTSTART:20260326T090000Z\r\nEND:VEVENT\r\n";

QByteArray eventWithRule(const QByteArray &uid, const QByteArray &rule)
{
    return "BEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:" + uid + "\r\nDTSTART:20260326T100000Z\r\nRRULE:" + rule
        + "\r\nEND:VEVENT\r\n";
}

QByteArray zoneWithTzid(const QByteArray &tzid, const QByteArray &observanceLines)
{
    return "BEGIN:VTIMEZONE\r\nTZID:" + tzid + "\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n" + observanceLines
        + "END:STANDARD\r\nEND:VTIMEZONE\r\n";
}

QByteArray eventInZone(const QByteArray &uid, const QByteArray &tzid)
{
    return "BEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTART;TZID=" + tzid + ":20260326T120000\r\nEND:VEVENT\r\n";
}

// Waits until the watcher has noted every change, then applies them.
void applyChanges(LocalFolderProvider &provider, qsizetype expected = 1)
{
    QVERIFY(waitFor([&] { return provider.pendingChangeCount() >= expected; }));
    provider.flushPendingChanges();
}
} // namespace

class BadInputTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        capturedWarnings.clear();
        previousHandler = qInstallMessageHandler(captureWarnings);
    }
    void cleanup() { qInstallMessageHandler(previousHandler); }

    void badFilesAreSurvivedAndLeftUnchanged_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("readableEvents"); // on 2026-03-26
        QTest::addColumn<bool>("warned");

        QTest::newRow("garbage around a VEVENT")
            << QByteArray("BEGIN:VEVENT\r\n\x01\x02 nonsense ::: ;;;\r\nEND:VEVENT\r\n") << 0 << true;
        QTest::newRow("tasks only: nothing to show, nothing wrong")
            << calendarWith("BEGIN:VTODO\r\nUID:t\r\nSUMMARY:Task\r\nEND:VTODO\r\n") << 0 << false;
        QTest::newRow("empty") << QByteArray() << 0 << true;
        QTest::newRow("broken dates") << calendarWith(
            "BEGIN:VEVENT\r\nUID:d\r\nDTSTART:20261345T250000\r\nEND:VEVENT\r\n" + GoodEvent)
                                      << 1 << true;
        QTest::newRow("broken RRULE is shown once") << calendarWith(
            "BEGIN:VEVENT\r\nUID:r\r\nDTSTART:20260326T100000Z\r\nRRULE:FREQ=SOMETIMES;COUNT=x\r\nEND:VEVENT\r\n")
                                                    << 1 << true;
        QTest::newRow("invalid UTF-8") << calendarWith(
            "BEGIN:VEVENT\r\nUID:u\r\nSUMMARY:caf\xC3\x28 \xFF\xFE\r\nDTSTART:20260326T100000Z\r\nEND:VEVENT\r\n")
                                       << 1 << true;
        QTest::newRow("unterminated") << QByteArray("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:open\r\nDTSTART:"
                                                    "20260326T100000Z\r\nBEGIN:VEVENT\r\nBEGIN:VALARM\r\n")
                                      << 0 << true;
        QTest::newRow("end before start") << calendarWith(
            "BEGIN:VEVENT\r\nUID:e\r\nDTSTART:20260326T100000Z\r\nDTEND:20260326T080000Z\r\nEND:VEVENT\r\n")
                                          << 1 << true;

        QByteArray binary(64 * 1024, '\0');
        QRandomGenerator generator(7);
        for (char &byte : binary)
            byte = char(generator.bounded(256));
        binary.prepend("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\n");
        QTest::newRow("binary") << binary << 0 << true;

        QByteArray huge = calendarWith(GoodEvent);
        huge.insert(huge.indexOf("END:VCALENDAR"), "X-PADDING:" + QByteArray(33 * 1024 * 1024, 'x') + "\r\n");
        QTest::newRow("huge") << huge << 0 << true;
    }
    void badFilesAreSurvivedAndLeftUnchanged()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, readableEvents);
        QFETCH(bool, warned);
        VdirFixture fixture;
        fixture.addEvent("bad.ics", content);
        fixture.addEvent("fine.ics", calendarWith(GoodEvent));
        fixture.start();

        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27));
        QCOMPARE(events.size(), readableEvents + 1);
        // A query far away expands on the spot and must survive too.
        fixture.eventsOn(QDate(2031, 1, 1), QDate(2031, 2, 1));
        QCOMPARE(readFile(fixture.calendarPath() + "/bad.ics"), content);
        QCOMPARE(warningsAbout("bad.ics"), qsizetype(warned ? 1 : 0));
        QCOMPARE(warningsAbout("fine.ics"), qsizetype(0));
    }

    // A FIFO would block the reader until some writer came; /dev/zero and
    // /dev/urandom never end. None of them is read.
    void onlyRegularFilesAreRead()
    {
        VdirFixture fixture;
        fixture.addEvent("fine.ics", calendarWith(GoodEvent));
        const QString folder = fixture.calendarPath();
        QCOMPARE(::mkfifo(QFile::encodeName(folder + "/fifo.ics").constData(), 0600), 0);
        QVERIFY(QFile::link("/dev/zero", folder + "/zero.ics"));
        QVERIFY(QFile::link("/dev/urandom", folder + "/random.ics"));
        const QString other = fixture.calendarPath("other");
        QDir().mkpath(other);
        QCOMPARE(::mkfifo(QFile::encodeName(other + "/displayname").constData(), 0600), 0);
        QVERIFY(QFile::link("/dev/zero", other + "/color"));
        fixture.start();

        QCOMPARE(fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27)).size(), 1);
        for (const char *name : {"fifo.ics", "zero.ics", "random.ics", "other/displayname", "other/color"})
            QCOMPARE(warningsAbout(QString::fromLatin1(name)), qsizetype(1));
        QStringList titles;
        for (const CalendarInfo &calendar : fixture.store->calendars())
            titles.append(calendar.title);
        QVERIFY(titles.contains("other")); // the folder's own name stands in

        // One appearing later is passed over too.
        QCOMPARE(::mkfifo(QFile::encodeName(folder + "/later.ics").constData(), 0600), 0);
        applyChanges(*fixture.provider);
        QCOMPARE(fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27)).size(), 1);
    }

    void readsAreBoundedAndSayWhatWentWrong()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("file.ics");
        writeFile(path, QByteArray(5000, 'x'));
        QVERIFY(SafeFile::readRegularFile(path, 4096).tooLarge);
        QCOMPARE(SafeFile::readRegularFile(path, 5000).data.size(), 5000);
        QCOMPARE(
            SafeFile::readRegularFile(dir.filePath("missing"), 10).error, QStringLiteral("no such file or directory"));
        // The reason is the one of the failing call, not of some later one.
        QCOMPARE(SafeFile::listFolder(path).error, QStringLiteral("not a directory"));
        if (::geteuid() != 0) {
            const QString locked = dir.filePath("locked");
            QDir().mkpath(locked);
            QFile::setPermissions(locked, QFileDevice::Permissions());
            QCOMPARE(SafeFile::listFolder(locked).error, QStringLiteral("permission denied"));
            QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        }
    }

    void stampsAreOnlyOfRegularFilesStillThere()
    {
        // What a folder held when listed may be gone or swapped for another
        // kind of entry by the time its stamps are taken.
        QTemporaryDir dir;
        writeFile(dir.filePath("kept.ics"), QByteArray(123, 'x'));
        writeFile(dir.filePath("ignored.ics"), "not asked for");
        QVERIFY(QDir(dir.path()).mkdir("folder.ics"));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo.ics")).constData(), 0600), 0);
        const QStringList names {"ignored.ics", "gone.ics", "kept.ics", "folder.ics", "fifo.ics", "kept.ics"};
        QList<SafeFile::FileStamp> stamps(names.size());
        stamps[0].size = 77; // outside the part asked for: left alone
        SafeFile::takeStamps(dir.path(), names, 1, names.size(), stamps.data());
        QCOMPARE(stamps[0].size, 77);
        QCOMPARE(stamps[2], SafeFile::stampOf(dir.filePath("kept.ics")));
        QCOMPARE(stamps[2].size, 123);
        QCOMPARE(stamps[5], stamps[2]);
        for (const qsizetype notRegular : {1, 3, 4})
            QVERIFY2(!stamps[notRegular].isValid(), qPrintable(names[notRegular]));

        // A folder gone whole: no stamp at all.
        std::fill(stamps.begin(), stamps.end(), stamps[2]);
        SafeFile::takeStamps(dir.filePath("gone"), names, 0, names.size(), stamps.data());
        QVERIFY(std::none_of(stamps.begin(), stamps.end(), [](const auto &stamp) { return stamp.isValid(); }));
    }

    // libical reads a long physical line, and many parameters on one
    // property, in quadratic time.
    void longLinesAreFoldedAndOverlongParameterListsLeftOut()
    {
        const QByteArray ordinary = calendarWith(GoodEvent);
        QStringList problems;
        QVERIFY(IcsParser::preparedForParsing(ordinary, problems).isSharedWith(ordinary)); // no copy
        QVERIFY(problems.isEmpty());

        const QByteArray notes(1024 * 1024, 'n');
        const QByteArray parameters = QByteArray(";X-P=1").repeated(5000);
        const QByteArray hostile
            = calendarWith("BEGIN:VEVENT\r\nUID:long\r\nSUMMARY:Long\r\nDTSTART:20260326T100000Z\r\n"
                           "DESCRIPTION:"
                + notes + "\r\nX-MANY" + parameters + ":value\r\nEND:VEVENT\r\n");
        const QByteArray prepared = IcsParser::preparedForParsing(hostile, problems);
        for (const QByteArray &line : prepared.split('\n'))
            QVERIFY(line.size() <= IcsParser::MaxPhysicalLineLength);
        QVERIFY(!prepared.contains("X-MANY"));
        QCOMPARE(problems.size(), 1);

        VdirFixture fixture;
        fixture.addEvent("long.ics", hostile);
        CalendarStore &store = fixture.start();
        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27));
        QCOMPARE(events.size(), 1);
        QCOMPARE(store.eventDetails(events[0]).notes.toLatin1(), notes); // folding lost nothing
        QCOMPARE(warningsAbout("long.ics"), qsizetype(1));
    }

    // libical expands a zone's rules on first use; a rule more frequent than
    // yearly or monthly, one that never matches, or thousands of onsets would
    // keep it busy for minutes.
    void hostileTimeZoneRulesAreCutDown_data()
    {
        QTest::addColumn<QByteArray>("observance");
        QTest::newRow("secondly") << QByteArray("RRULE:FREQ=SECONDLY\r\n");
        QTest::newRow("minutely") << QByteArray("RRULE:FREQ=MINUTELY;INTERVAL=1\r\n");
        QTest::newRow("never matching") << QByteArray("RRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=30\r\n");
        QByteArray onsets;
        for (int year = 1971; year < 2040; ++year) {
            for (int day = 1; day <= 28; ++day)
                onsets += "RDATE:" + QByteArray::number(year) + "02" + QByteArray::number(day).rightJustified(2, '0')
                    + "T000000\r\n";
        }
        QTest::newRow("thousands of onsets") << onsets;
    }
    void hostileTimeZoneRulesAreCutDown()
    {
        QFETCH(QByteArray, observance);
        const QByteArray tzid = "Evil/" + QByteArray(QTest::currentDataTag()).replace(' ', '_');
        VdirFixture fixture;
        fixture.addEvent("zone.ics",
            calendarWith(zoneWithTzid(tzid, observance + "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\n")
                + eventInZone("zoned", tzid)));
        fixture.start();
        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27));
        QCOMPARE(events.size(), 1);
        QCOMPARE(events[0].start.toUTC(), QDateTime(QDate(2026, 3, 26), QTime(10, 0), QTimeZone::utc()));
    }

    // A TZID that names no known zone is only a name: two files may define it
    // differently, and each event keeps its own file's rules.
    void oneTzidWithDifferentRulesInTwoFiles()
    {
        VdirFixture fixture;
        fixture.addEvent("east.ics",
            calendarWith(
                zoneWithTzid("Office", "TZOFFSETFROM:+0300\r\nTZOFFSETTO:+0300\r\n") + eventInZone("east", "Office")));
        fixture.addEvent("west.ics",
            calendarWith(
                zoneWithTzid("Office", "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0500\r\n") + eventInZone("west", "Office")));
        fixture.start();
        QHash<QString, QDateTime> startByTitle;
        for (const CalendarEvent &event : fixture.eventsOn(QDate(2026, 3, 25), QDate(2026, 3, 28)))
            startByTitle.insert(event.eventIdentifier.section('#', -1), event.start.toUTC());
        QCOMPARE(startByTitle.value("east"), QDateTime(QDate(2026, 3, 26), QTime(9, 0), QTimeZone::utc()));
        QCOMPARE(startByTitle.value("west"), QDateTime(QDate(2026, 3, 26), QTime(17, 0), QTimeZone::utc()));
    }

    // Each series that can never repeat again, or repeats more often than
    // daily with filters libical would walk second by second, still shows
    // its first occurrence, and costs next to nothing.
    void rulesThatRepeatRarelyOrNeverStillShowTheirStart()
    {
        QByteArray events;
        const QList<QByteArray> rules {"FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=30", "FREQ=MINUTELY;BYMONTH=2;BYMONTHDAY=30",
            "FREQ=DAILY;BYMONTH=4;BYMONTHDAY=31", "FREQ=MONTHLY;BYDAY=-53MO", "FREQ=SECONDLY;BYMONTH=2;BYMONTHDAY=29",
            "FREQ=MINUTELY;COUNT=3;BYMONTHDAY=29;BYMONTH=2"};
        for (qsizetype i = 0; i < rules.size(); ++i)
            events += eventWithRule("r" + QByteArray::number(i), rules[i]);
        VdirFixture fixture;
        fixture.addEvent("rules.ics", calendarWith(events));
        fixture.addEvent(
            "ancient.ics", singleEvent("UID:s\r\nDTSTART:19700101T000000Z\r\nRRULE:FREQ=SECONDLY;COUNT=2\r\n"));
        fixture.start();
        QCOMPARE(fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27)).size(), rules.size());
        QCOMPARE(fixture.eventsOn(QDate(1970, 1, 1), QDate(1970, 1, 2)).size(), 2);
        // A leap day: the secondly series (capped) and the three of the counted one.
        QCOMPARE(fixture.eventsOn(QDate(2028, 2, 29), QDate(2028, 3, 1)).size(),
            RecurrenceExpander::MaxOccurrencesPerSeries + 3);
        QVERIFY(capturedWarnings.isEmpty());
    }

    // Checking rules has an allowance per file: thousands of never-matching
    // rules cannot keep the reader busy, and are shown at their start.
    void checkingRulesHasAnAllowancePerFile()
    {
        QByteArray events;
        for (int i = 0; i < 300; ++i)
            events += eventWithRule("n" + QByteArray::number(i), "FREQ=DAILY;BYMONTH=2;BYMONTHDAY=30");
        VdirFixture fixture;
        fixture.addEvent("many.ics", calendarWith(events));
        fixture.start();
        QCOMPARE(fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27)).size(), 300);
        QCOMPARE(warningsAbout("too costly to check"), qsizetype(1));
    }

    void expansionCutShortKeepsWhatItHad()
    {
        const ParsedFile file = IcsParser::parse(QStringLiteral("/x.ics"), QStringLiteral("c"),
            calendarWith(eventWithRule("daily", "FREQ=DAILY") + GoodEvent));
        const qint64 from = QDateTime(QDate(2026, 3, 26), QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch();
        const qint64 to = QDateTime(QDate(2026, 4, 26), QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch();

        RecurrenceExpander::ExpansionBudget spent(0);
        std::vector<Occurrence> out;
        QVERIFY(!RecurrenceExpander::expandFile(file, from, to, QTimeZone::utc(), out, spent));
        QCOMPARE(out.size(), size_t(2)); // the series' start and the single event
        QCOMPARE(spent.cutShort().size(), 1);
        QVERIFY(file.recurrenceOverBudget);

        // Marked, it gets only a token share from now on.
        RecurrenceExpander::ExpansionBudget ample(10000);
        QCOMPARE(ample.allowanceNs(file), RecurrenceExpander::ExpansionBudget::MarkedFileMs * 1000000);
    }

    void hostileRuleIsCappedNotExpandedForever()
    {
        VdirFixture fixture;
        fixture.addEvent("s.ics", singleEvent("UID:s\r\nDTSTART:20260326T000000Z\r\nRRULE:FREQ=SECONDLY\r\n"));
        fixture.start();
        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27));
        QVERIFY(!events.isEmpty());
        QVERIFY(events.size() <= RecurrenceExpander::MaxOccurrencesPerSeries);
    }

    // A TZID without a VTIMEZONE and known nowhere: read as local time, once warned about.
    void unknownZoneIsReadAsLocalTime()
    {
        VdirFixture fixture;
        fixture.addEvent("z.ics", singleEvent("UID:z\r\nDTSTART;TZID=Mars/Olympus:20260326T100000\r\n"));
        fixture.start();
        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27));
        QCOMPARE(events.size(), 1);
        QCOMPARE(events[0].start.toTimeZone(fixture.clock.timeZone()).time(), QTime(10, 0));
        QCOMPARE(warningsAbout("z.ics"), qsizetype(1));
    }

    void changedBadFileIsReportedAgainOncePerChange()
    {
        VdirFixture fixture;
        fixture.addEvent("bad.ics", "BEGIN:VEVENT\r\nnonsense\r\n");
        fixture.start();
        QCOMPARE(capturedWarnings.size(), 1);
        fixture.addEvent("bad.ics", "BEGIN:VEVENT\r\nother nonsense\r\n");
        applyChanges(*fixture.provider);
        QCOMPARE(capturedWarnings.size(), 2);
    }

    void floodOfBadFilesGivesBoundedWarnings()
    {
        VdirFixture fixture;
        for (int i = 0; i < 100; ++i)
            fixture.addEvent(QStringLiteral("bad%1.ics").arg(i), "nonsense");
        fixture.start();
        QCOMPARE(capturedWarnings.size(), LocalFolderProvider::MaxWarningLines + 1);
        QVERIFY(capturedWarnings.last().contains("and 80 more"));
    }

    void unusableSettingsFileGetsOneWarning_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("FIFO") << QStringLiteral("fifo");
    }
    void unusableSettingsFileGetsOneWarning()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath("brivane.conf");
        if (kind == "folder")
            QDir().mkpath(path);
        else
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        // The in-memory stand-in lives in a private temporary folder that
        // goes with the settings.
        QTemporaryDir temporaryRoot;
        const bool hadTemp = qEnvironmentVariableIsSet("TMPDIR");
        const QByteArray savedTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temporaryRoot.path()));
        {
            AppSettings settings(path);
            settings.setDimWeekends(true); // kept in memory, not lost in a crash
            QVERIFY(settings.dimWeekends());
            QVERIFY(!settings.isPersistent());
            QCOMPARE(warningsAbout("brivane.conf"), qsizetype(1));
            QCOMPARE(QDir(temporaryRoot.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1);
        }
        QVERIFY(QDir(temporaryRoot.path()).isEmpty());
        // A usable file needs no such folder: every start would leave one.
        {
            AppSettings usable(dir.filePath("usable.conf"));
            QVERIFY(usable.isPersistent());
            QVERIFY(QDir(temporaryRoot.path()).isEmpty());
        }
        if (hadTemp)
            qputenv("TMPDIR", savedTemp);
        else
            qunsetenv("TMPDIR");
    }
};

BRIVANE_TEST_MAIN(BadInputTest)
#include "tst_badinput.moc"
