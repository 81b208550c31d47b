// SPDX-License-Identifier: GPL-3.0-or-later
// `brivane add`: the form's save path from the command line, its defaults,
// targets and errors; and the real binary's exit codes.
#include "PopoverTestSupport.h"

#include "app/AddCommand.h"

#include <QProcess>

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");
const QDateTime Now(QDate(2026, 3, 25), QTime(10, 0), Berlin);
} // namespace

class AddCommandTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<PopoverFixture> m_fixture;
    bool m_zohoAsked = false;

    struct Result
    {
        int exitCode;
        QString out;
        QString err;
    };
    Result add(const QStringList &arguments)
    {
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        PopoverFixture &f = *m_fixture;
        const int code
            = runAddCommand(QStringList {"add"} + arguments, outStream, errStream, *f.store, f.clock, [this] {
                  m_zohoAsked = true;
                  // Zoho's calendars are in the fixture's store once connected.
                  return m_fixture->zoho != nullptr;
              });
        outStream.flush();
        errStream.flush();
        return {code, out.trimmed(), err};
    }
    QList<CalendarEvent> eventsOf(const QString &folder) const
    {
        const QString id = m_fixture->calendarId(folder);
        return m_fixture->store->events(Now.addDays(-30), Now.addDays(60), {id});
    }

private slots:
    void init()
    {
        m_fixture = std::make_unique<PopoverFixture>(Now, Berlin);
        m_fixture->addCalendar("personal", "Personal", QString());
        m_fixture->addCalendar("work", "Work", "#FF0000");
        m_zohoAsked = false;
    }
    void cleanup() { m_fixture.reset(); }

    void timedEventWithTheFormsDefaults()
    {
        m_fixture->startStore();
        const Result result = add({"Dentist", "--start", "2026-03-27T14:30"});
        QCOMPARE(result.exitCode, 0);
        const QList<CalendarEvent> events = eventsOf("personal"); // the default calendar
        QCOMPARE(events.size(), 1);
        QCOMPARE(result.out, events[0].id);
        QCOMPARE(events[0].start, QDateTime(QDate(2026, 3, 27), QTime(14, 30), Berlin));
        QCOMPARE(events[0].end, events[0].start.addSecs(3600)); // no --end: one hour
        QVERIFY(!m_zohoAsked); // a local target needs no Zoho

        QCOMPARE(add({"Two", "words", "--start", "2026-03-27T09:00:00+02:00", "--end", "2026-03-27T09:30", "--calendar",
                         "work"})
                     .exitCode,
            0);
        QCOMPARE(eventsOf("work").value(0).title, QStringLiteral("Two words"));
        QCOMPARE(eventsOf("work").value(0).start, QDateTime(QDate(2026, 3, 27), QTime(8, 0), Berlin));
    }

    void allDayMondayToWednesday()
    {
        m_fixture->startStore();
        QCOMPARE(add({"Conference", "--all-day", "--start", "2026-03-30", "--end", "2026-04-01", "--calendar",
                         m_fixture->calendarId("work")})
                     .exitCode,
            0);
        const QList<CalendarEvent> events = eventsOf("work");
        QCOMPARE(events.size(), 1);
        QVERIFY(events[0].allDay);
        QCOMPARE(events[0].startDate, QDate(2026, 3, 30));
        QCOMPARE(events[0].endDate, QDate(2026, 4, 2)); // stored up to Thursday 00:00
        QCOMPARE(add({"One day", "--all-day", "--start", "2026-04-03"}).exitCode, 0);
        QCOMPARE(eventsOf("personal").value(0).endDate, QDate(2026, 4, 4));
    }

    void badArgumentsExitWithTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no title") << QStringList {"--start", "2026-03-27T10:00"};
        QTest::newRow("blank title") << QStringList {"  ", "--start", "2026-03-27T10:00"};
        QTest::newRow("no start") << QStringList {"Title"};
        QTest::newRow("bad start") << QStringList {"Title", "--start", "tomorrow"};
        QTest::newRow("bad all-day date") << QStringList {"Title", "--all-day", "--start", "2026-02-30"};
        QTest::newRow("end before start")
            << QStringList {"Title", "--start", "2026-03-27T10:00", "--end", "2026-03-27T09:00"};
        QTest::newRow("unknown option") << QStringList {"Title", "--start", "2026-03-27T10:00", "--colour", "red"};
    }
    void badArgumentsExitWithTwo()
    {
        QFETCH(QStringList, arguments);
        m_fixture->startStore();
        const Result result = add(arguments);
        QCOMPARE(result.exitCode, 2);
        QVERIFY(result.err.contains("usage: brivane add"));
        QVERIFY(result.out.isEmpty());
        QVERIFY(eventsOf("personal").isEmpty());
    }

    // Dates are stored only where every reader reads them back: a far date
    // used to become 00000000T000000, an event no program can read.
    void datesOutsideWhatFilesHoldAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("year 3001") << QStringList {"Far", "--start", "3001-06-01T10:00"};
        QTest::newRow("ends in year 3001")
            << QStringList {"Far", "--start", "2999-06-01T10:00", "--end", "3001-01-01T10:00"};
        QTest::newRow("all of time, all day")
            << QStringList {"Always", "--all-day", "--start", "0001-01-01", "--end", "9999-12-31"};
        QTest::newRow("before 1900") << QStringList {"Old", "--start", "1899-12-31T10:00"};
    }
    void datesOutsideWhatFilesHoldAreRefused()
    {
        QFETCH(QStringList, arguments);
        m_fixture->startStore();
        const Result result = add(arguments);
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.contains("1900-01-01") && result.err.contains("2999-12-31"), qPrintable(result.err));
        QVERIFY(QDir(m_fixture->root + "/local/personal").entryList({"*.ics"}).isEmpty());
    }

    void datesAtTheEdgesReadBackAsWritten_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QDate>("startDate");
        QTest::newRow("first day") << QStringList {"First", "--start", "1900-01-01T10:00"}
                                   << QDateTime(QDate(1900, 1, 1), QTime(10, 0), Berlin) << QDate();
        QTest::newRow("last day") << QStringList {"Last", "--start", "2999-12-31T22:30"}
                                  << QDateTime(QDate(2999, 12, 31), QTime(22, 30), Berlin) << QDate();
        QTest::newRow("last days, all day") << QStringList {"Last", "--all-day", "--start", "2999-12-30", "--end",
            "2999-12-31"} << QDateTime() << QDate(2999, 12, 30);
    }
    void datesAtTheEdgesReadBackAsWritten()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QDateTime, start);
        QFETCH(QDate, startDate);
        m_fixture->startStore();
        const Result result = add(arguments);
        QCOMPARE(result.exitCode, 0);
        const QString file = result.out.section('#', 0, 0);
        QVERIFY(!readFile(file).contains("00000000"));
        // A store that reads the folder afresh, as the next start does.
        CalendarStore again;
        auto *provider = new LocalFolderProvider(m_fixture->root, {}, m_fixture->clock);
        again.addProvider(provider);
        provider->start();
        QVERIFY(again.waitUntilLoaded(10000));
        const QDateTime from = startDate.isValid() ? QDateTime(startDate, QTime(0, 0), Berlin) : start.addDays(-1);
        const QList<CalendarEvent> events = again.events(from, from.addDays(3));
        QCOMPARE(events.size(), 1);
        if (startDate.isValid()) {
            QVERIFY(events[0].allDay);
            QCOMPARE(events[0].startDate, startDate);
            QCOMPARE(events[0].endDate, QDate(3000, 1, 1));
        } else {
            QCOMPARE(events[0].start, start);
            QCOMPARE(events[0].end, start.addSecs(3600));
        }
    }

    // iCalendar allows no control character in a title but the tab.
    void controlCharactersInTitlesAreRefused_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("line break") << QString("Two\nlines");
        QTest::newRow("carriage return") << QString("Carriage\rreturn");
        QTest::newRow("escape") << QString("\x1b[31mRed");
        QTest::newRow("DEL") << QString("Rub\177out");
        QTest::newRow("C1 next line") << QString("Next\u0085line");
    }
    void controlCharactersInTitlesAreRefused()
    {
        QFETCH(QString, title);
        m_fixture->startStore();
        const Result result = add({title, "--start", "2026-03-27T10:00"});
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.contains("control character"), qPrintable(result.err));
        QVERIFY(eventsOf("personal").isEmpty());
    }
    void tabsInTitlesAreWrittenAndShownAsSpaces()
    {
        m_fixture->startStore();
        const Result result = add({"Tab\there", "--start", "2026-03-27T10:00"});
        QCOMPARE(result.exitCode, 0);
        QVERIFY(readFile(result.out.section('#', 0, 0)).contains("SUMMARY:Tab\there\r\n"));
        QCOMPARE(eventsOf("personal").value(0).title, QStringLiteral("Tab here"));
    }

    void targetsAndTheirErrors()
    {
        m_fixture->addReadOnlyEvent("holidays.ics", "h", "SUMMARY:H\r\nDTSTART;VALUE=DATE:20260401\r\n");
        m_fixture->startStore();
        Result unknown = add({"X", "--start", "2026-03-27T10:00", "--calendar", "Nope"});
        QCOMPARE(unknown.exitCode, 1);
        QCOMPARE(unknown.err, QStringLiteral("brivane add: no calendar is called \"Nope\"\n"));
        QVERIFY(m_zohoAsked); // a name not found locally may be Zoho's
        Result readOnly = add({"X", "--start", "2026-03-27T10:00", "--calendar", "holidays"});
        QCOMPARE(readOnly.exitCode, 1);
        QVERIFY(readOnly.err.contains("read-only"));

        // Zoho's calendars are targets too, and its errors are the form's.
        m_fixture->connectZoho(QJsonArray {QJsonObject {{"uid", "zc"}, {"calname", "Zoho work"}}}, {});
        Result zoho = add({"In Zoho", "--start", "2026-03-27T10:00", "--calendar", "zoho WORK"});
        QCOMPARE(zoho.exitCode, 0);
        QCOMPARE(zoho.out, "zoho_" + m_fixture->server->events("zc").at(0).toObject().value("uid").toString());
        m_fixture->server->setCreateFailure(FakeZohoServer::Failure::Status500);
        Result failed = add({"In Zoho", "--start", "2026-03-27T10:00", "--calendar", "zc"});
        QCOMPARE(failed.exitCode, 1);
        QCOMPARE(failed.err, QStringLiteral("brivane add: API error: HTTP 500: Internal Server Error\n"));
    }

    // brivane's own "Personal" beside another account's: the name alone is
    // refused with the choices listed, and nothing is written; the name with
    // its account (in any case), or the id, chooses. A name of its own stays
    // plain.
    void sharedNameIsRefusedWithTheChoices()
    {
        PopoverFixture &f = *m_fixture;
        writeFile(f.root + "/local/displayname", "Local"); // as brivane makes it
        writeFile(f.root + "/computer/displayname", "On This Computer");
        writeFile(f.root + "/computer/personal/displayname", "Personal");
        f.startStore();
        QString computerId;
        for (const CalendarInfo &calendar : f.store->calendars()) {
            if (calendar.identifier.endsWith("/computer/personal"))
                computerId = calendar.identifier;
        }
        QVERIFY(!computerId.isEmpty());
        for (const QString &name : {QStringLiteral("Personal"), QStringLiteral("PERSONAL")}) {
            const Result refused = add({"X", "--start", "2026-03-27T10:00", "--calendar", name});
            QCOMPARE(refused.exitCode, 2);
            QCOMPARE(refused.err,
                "brivane add: several calendars are called \"" + name
                    + "\"; name one of them:\n"
                      "  Personal \u2014 On This Computer  ("
                    + computerId + ")\n  Personal \u2014 Local  (" + f.calendarId("personal") + ")\n");
        }
        QVERIFY(!m_zohoAsked);
        QVERIFY(eventsOf("personal").isEmpty());
        QVERIFY(f.store->events(Now.addDays(-30), Now.addDays(60), {computerId}).isEmpty());

        QCOMPARE(add({"Mine", "--start", "2026-03-27T10:00", "--calendar", "personal \u2014 local"}).exitCode, 0);
        QCOMPARE(titlesOf(eventsOf("personal")), QStringList {"Mine"});
        QCOMPARE(add({"Desktop's", "--start", "2026-03-27T11:00", "--calendar", "Personal \u2014 On This Computer"})
                     .exitCode,
            0);
        QCOMPARE(add({"By id", "--start", "2026-03-27T12:00", "--calendar", computerId}).exitCode, 0);
        QCOMPARE(titlesOf(f.store->events(Now.addDays(-30), Now.addDays(60), {computerId})),
            (QStringList {"Desktop's", "By id"}));
        QCOMPARE(add({"Work", "--start", "2026-03-27T13:00", "--calendar", "Work"}).exitCode, 0);
        QVERIFY(!m_zohoAsked);
    }

    void noCalendarAtAll()
    {
        m_fixture->startStore();
        m_fixture->store = std::make_unique<CalendarStore>(); // no provider: nothing to write to
        const Result result = add({"Nowhere", "--start", "2026-03-27T10:00"});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err, QStringLiteral("brivane add: No calendar selected\n"));
    }

    void theProgramsExitCodes()
    {
        // The real binary in the test's own XDG folders: one event, printed id.
        qputenv("TZ", "Europe/Berlin");
        QProcess process;
        process.start(QStringLiteral(BRIVANE_BINARY), {"add", "From the shell", "--start", "2026-05-04T08:15"});
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 0);
        const QString id = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
        QVERIFY2(id.contains("/brivane/calendars/local/personal/") && id.contains('#'), qPrintable(id));
        const QString file = id.section('#', 0, 0);
        const QByteArray content = readFile(file);
        QVERIFY(content.contains("SUMMARY:From the shell"));
        QVERIFY(content.contains("DTSTART;TZID=Europe/Berlin:20260504T081500"));
        QVERIFY(content.contains("DTEND;TZID=Europe/Berlin:20260504T091500"));

        process.start(QStringLiteral(BRIVANE_BINARY), {"add", "No start"});
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().contains("--start is missing"));
    }
};

BRIVANE_TEST_MAIN(AddCommandTest)
#include "tst_addcommand.moc"
