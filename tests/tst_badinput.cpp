// Files that are broken, hostile or not calendars at all: nothing crashes,
// hangs or is written back; what can be read is shown; each bad file is
// reported once.
#include "TestSupport.h"

#include <QRandomGenerator>

using namespace TestSupport;

namespace {
QStringList capturedWarnings;
QtMessageHandler previousHandler = nullptr;

void captureWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && context.category && QByteArray(context.category).startsWith("brivane."))
        capturedWarnings.append(message);
    else if (previousHandler)
        previousHandler(type, context, message);
}

const QByteArray GoodEvent
    = "BEGIN:VEVENT\r\nUID:good\r\nSUMMARY:Readable\r\nDTSTART:20260326T090000Z\r\nEND:VEVENT\r\n";
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

        QTest::newRow("garbage around a VEVENT")
            << QByteArray("BEGIN:VEVENT\r\n\x01\x02 nonsense ::: ;;;\r\nEND:VEVENT\r\n") << 0;
        QTest::newRow("no VEVENT") << calendarWith("BEGIN:VTODO\r\nUID:t\r\nSUMMARY:Task\r\nEND:VTODO\r\n") << 0;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("broken dates") << calendarWith(
            "BEGIN:VEVENT\r\nUID:d\r\nDTSTART:20261345T250000\r\nEND:VEVENT\r\n" + GoodEvent)
                                      << 1;
        QTest::newRow("broken RRULE is shown once") << calendarWith(
            "BEGIN:VEVENT\r\nUID:r\r\nDTSTART:20260326T100000Z\r\nRRULE:FREQ=SOMETIMES;COUNT=x\r\nEND:VEVENT\r\n")
                                                    << 1;
        QTest::newRow("unknown TZID, no VTIMEZONE")
            << calendarWith("BEGIN:VEVENT\r\nUID:z\r\nDTSTART;TZID=Mars/Olympus:20260326T100000\r\nEND:VEVENT\r\n")
            << 1;
        QTest::newRow("invalid UTF-8") << calendarWith(
            "BEGIN:VEVENT\r\nUID:u\r\nSUMMARY:caf\xC3\x28 \xFF\xFE\r\nDTSTART:20260326T100000Z\r\nEND:VEVENT\r\n")
                                       << 1;
        QTest::newRow("unterminated") << QByteArray("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:open\r\nDTSTART:"
                                                    "20260326T100000Z\r\nBEGIN:VEVENT\r\nBEGIN:VALARM\r\n")
                                      << 0;
        QTest::newRow("end before start") << calendarWith(
            "BEGIN:VEVENT\r\nUID:e\r\nDTSTART:20260326T100000Z\r\nDTEND:20260326T080000Z\r\nEND:VEVENT\r\n")
                                          << 1;

        QByteArray binary(64 * 1024, '\0');
        QRandomGenerator generator(7);
        for (char &byte : binary)
            byte = char(generator.bounded(256));
        binary.prepend("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\n");
        QTest::newRow("binary") << binary << 0;

        QByteArray huge = calendarWith(GoodEvent);
        huge.insert(huge.indexOf("END:VCALENDAR"), "X-PADDING:" + QByteArray(33 * 1024 * 1024, 'x') + "\r\n");
        QTest::newRow("huge") << huge << 0;
    }
    void badFilesAreSurvivedAndLeftUnchanged()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, readableEvents);
        VdirFixture fixture;
        fixture.addEvent("bad.ics", content);
        fixture.addEvent("fine.ics", calendarWith(GoodEvent));
        fixture.start();

        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27));
        QCOMPARE(events.size(), readableEvents + 1);
        // A query far away expands on the spot and must survive too.
        fixture.eventsOn(QDate(2031, 1, 1), QDate(2031, 2, 1));
        QCOMPARE(readFile(fixture.calendarPath() + "/bad.ics"), content);
        const qsizetype reports = std::count_if(
            capturedWarnings.begin(), capturedWarnings.end(), [](const QString &w) { return w.contains("bad.ics"); });
        QCOMPARE(reports, qsizetype(1));
        for (const QString &warning : capturedWarnings)
            QVERIFY2(!warning.contains("fine.ics"), qPrintable(warning));
    }

    void rulesThatYieldNothingMoreStillShowTheirStart()
    {
        VdirFixture fixture;
        fixture.addEvent("feb30.ics",
            singleEvent("UID:i\r\nDTSTART:20260326T100000Z\r\nRRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=30\r\n"));
        fixture.addEvent(
            "ancient.ics", singleEvent("UID:s\r\nDTSTART:19700101T000000Z\r\nRRULE:FREQ=SECONDLY;COUNT=2\r\n"));
        fixture.start();
        QCOMPARE(fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27)).size(), 1);
        QCOMPARE(fixture.eventsOn(QDate(1970, 1, 1), QDate(1970, 1, 2)).size(), 2);
        QVERIFY(capturedWarnings.isEmpty());
    }

    void hostileRuleIsCappedNotExpandedForever()
    {
        VdirFixture fixture;
        fixture.addEvent("s.ics", singleEvent("UID:s\r\nDTSTART:20260326T000000Z\r\nRRULE:FREQ=SECONDLY\r\n"));
        fixture.start();
        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27));
        QVERIFY(!events.isEmpty());
        QVERIFY(events.size() <= 5000);
    }

    void unknownZoneIsReadAsLocalTime()
    {
        VdirFixture fixture;
        fixture.addEvent("z.ics", singleEvent("UID:z\r\nDTSTART;TZID=Mars/Olympus:20260326T100000\r\n"));
        fixture.start();
        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27));
        QCOMPARE(events.size(), 1);
        QCOMPARE(events[0].start.toTimeZone(fixture.clock.timeZone()).time(), QTime(10, 0));
    }

    void changedBadFileIsReportedAgainOncePerChange()
    {
        VdirFixture fixture;
        fixture.addEvent("bad.ics", "BEGIN:VEVENT\r\nnonsense\r\n");
        CalendarStore &store = fixture.start();
        QCOMPARE(capturedWarnings.size(), 1);
        QSignalSpy changed(&store, &CalendarStore::changed);
        fixture.addEvent("bad.ics", "BEGIN:VEVENT\r\nother nonsense\r\n");
        QTest::qWait(600);
        QCOMPARE(capturedWarnings.size(), 2);
    }
};

BRIVANE_TEST_MAIN(BadInputTest)
#include "tst_badinput.moc"
