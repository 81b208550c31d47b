// `brivane agenda`: what it prints, in text and JSON, and how it refuses bad
// options.
#include "TestSupport.h"

#include "app/AgendaCommand.h"
#include "app/StoreSetup.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace TestSupport;

class AgendaTest : public QObject
{
    Q_OBJECT

    struct Run
    {
        int status;
        QString out;
        QString err;
    };
    static Run agenda(const QStringList &options)
    {
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        const int status = runAgendaCommand(QStringList {"agenda"} + options, outStream, errStream);
        outStream.flush();
        errStream.flush();
        return {status, out, err};
    }
    static QString personal() { return defaultCalendarRoot() + "/local/personal"; }

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin"); // the user's zone; text shows local times
        // The first start creates the default calendar; events go into it.
        QVERIFY(agenda({"--at", "2026-03-25T10:00:00+01:00"}).status == 0);
        QVERIFY(QFileInfo(personal()).isDir());
        writeFile(personal() + "/standup.ics",
            singleEvent("UID:standup\r\nSUMMARY:Standup\r\nDTSTART;TZID=Europe/Berlin:20260325T113000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T114500\r\nRRULE:FREQ=DAILY;COUNT=3\r\n"));
        writeFile(personal() + "/untitled.ics",
            singleEvent("UID:untitled\r\nDTSTART:20260325T150000Z\r\nDTEND:20260325T160000Z\r\n"));
        writeFile(personal() + "/holiday.ics",
            singleEvent("UID:holiday\r\nSUMMARY:Holiday\r\nDTSTART;VALUE=DATE:20260327\r\n"));
    }

    void textListsTodayThenUpcoming()
    {
        const Run run = agenda({"--at", "2026-03-25T10:00"});
        QCOMPARE(run.status, 0);
        const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0), QStringLiteral("Today"));
        QCOMPARE(lines.value(1), QStringLiteral("  11:30–11:45  Standup  (Personal)"));
        QCOMPARE(lines.value(2), QStringLiteral("  16:00–17:00  Untitled  (Personal)"));
        QCOMPARE(lines.value(3), QStringLiteral("Upcoming"));
        QVERIFY(lines.value(4).endsWith(QStringLiteral("11:30–11:45  Standup  (Personal)")));
        QVERIFY(lines.value(5).contains(QStringLiteral("All day  Holiday  (Personal)")));
        QCOMPARE(lines.size(), 7);
    }

    void jsonCarriesEveryField()
    {
        const Run run = agenda({"--json", "--at", "2026-03-25T09:00:00Z"});
        QCOMPARE(run.status, 0);
        QJsonParseError error;
        const QJsonObject root = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonArray today = root["today"].toArray();
        const QJsonArray upcoming = root["upcoming"].toArray();
        QCOMPARE(today.size(), 2);
        QCOMPARE(upcoming.size(), 3);

        const QJsonObject standup = today[0].toObject();
        QCOMPARE(standup["title"].toString(), QStringLiteral("Standup"));
        QCOMPARE(QDateTime::fromString(standup["start"].toString(), Qt::ISODate).toUTC(),
            QDateTime(QDate(2026, 3, 25), QTime(10, 30), QTimeZone::utc()));
        QVERIFY(standup["start"].toString().contains('+') || standup["start"].toString().endsWith('Z'));
        QCOMPARE(standup["allDay"].toBool(), false);
        QCOMPARE(standup["calendar"].toString(), QStringLiteral("Personal"));
        QCOMPARE(
            standup["calendarId"].toString(), QStringLiteral("local:") + QFileInfo(personal()).canonicalFilePath());
        QCOMPARE(standup["source"].toString(), QStringLiteral("local"));
        QCOMPARE(standup["color"].toString(), QStringLiteral("#3B82F6"));
        QVERIFY(today[1].toObject()["title"].isNull());

        const QJsonObject holiday = upcoming[1].toObject(); // midnight, before the standup of that day
        QCOMPARE(holiday["allDay"].toBool(), true);
        QCOMPARE(holiday["start"].toString(), QStringLiteral("2026-03-27"));
        QCOMPARE(holiday["end"].toString(), QStringLiteral("2026-03-28"));

        // Occurrences of one series are told apart.
        QSet<QString> ids;
        for (const QJsonArray &list : {today, upcoming})
            for (const QJsonValue &value : list)
                ids.insert(value.toObject()["id"].toString());
        QCOMPARE(ids.size(), 5);
    }

    void badOptionsExitWithUsage_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("unknown option") << QStringList {"--bogus"};
        QTest::newRow("not a date") << QStringList {"--at", "next tuesday"};
        QTest::newRow("missing value") << QStringList {"--at"};
        QTest::newRow("stray argument") << QStringList {"today"};
    }
    void badOptionsExitWithUsage()
    {
        QFETCH(QStringList, options);
        const Run run = agenda(options);
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains("usage: brivane agenda"), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }

    // Two calendars called "Personal" in two accounts: each line names its
    // calendar with its account; JSON keeps the plain title beside the id.
    void calendarsOfOneNameAreToldApartByAccount()
    {
        const QString other = defaultCalendarRoot() + "/computer";
        writeFile(other + "/displayname", "On This Computer");
        writeFile(other + "/personal/displayname", "Personal");
        writeFile(other + "/personal/call.ics",
            singleEvent("UID:call\r\nSUMMARY:Call\r\nDTSTART;TZID=Europe/Berlin:20260325T130000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T133000\r\n"));
        const Run run = agenda({"--at", "2026-03-25T10:00"});
        QDir(other).removeRecursively();
        QCOMPARE(run.status, 0);
        const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.value(1), QStringLiteral("  11:30\u201311:45  Standup  (Personal \u2014 Local)"));
        QCOMPARE(lines.value(2), QStringLiteral("  13:00\u201313:30  Call  (Personal \u2014 On This Computer)"));

        writeFile(other + "/personal/displayname", "Personal");
        writeFile(other + "/personal/call.ics",
            singleEvent("UID:call\r\nSUMMARY:Call\r\nDTSTART;TZID=Europe/Berlin:20260325T130000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T133000\r\n"));
        const Run json = agenda({"--json", "--at", "2026-03-25T10:00"});
        QDir(other).removeRecursively();
        const QJsonArray today = QJsonDocument::fromJson(json.out.toUtf8()).object()["today"].toArray();
        QCOMPARE(today.size(), 3);
        QCOMPARE(today[1].toObject()["calendar"].toString(), QStringLiteral("Personal"));
        QVERIFY(today[1].toObject()["calendarId"].toString().endsWith("/computer/personal"));
    }
};

BRIVANE_TEST_MAIN(AgendaTest)
#include "tst_agenda.moc"
