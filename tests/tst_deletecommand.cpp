// SPDX-License-Identifier: GPL-3.0-or-later
// `brivane delete`: the real binary removes what `agenda --json` shows and
// `add` printed, one occurrence of a series alone, refuses what the detail
// refuses, and tells bad ids and arguments apart; with a running instance
// and without.
#include "TestSupport.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace TestSupport;

class DeleteCommandTest : public QObject
{
    Q_OBJECT

    struct Run
    {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };

    static Run brivane(const QStringList &arguments, bool mayAskInstance = false)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("BRIVANE_TIMING", "1");
        if (!mayAskInstance)
            environment.insert("BRIVANE_NO_INSTANCE", "1");
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(BRIVANE_BINARY), arguments);
        if (!process.waitForFinished(30000))
            return {};
        return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    }

    // Every event `agenda --json` lists at `at`, today's and upcoming.
    static QList<QJsonObject> agendaAt(const QString &at, bool mayAskInstance = false)
    {
        const Run run = brivane({"agenda", "--json", "--all", "--at", at}, mayAskInstance);
        QList<QJsonObject> events;
        const QJsonObject root = QJsonDocument::fromJson(run.out).object();
        for (const QString &list : {QStringLiteral("today"), QStringLiteral("upcoming")}) {
            for (const QJsonValue &value : root[list].toArray())
                events.append(value.toObject());
        }
        return events;
    }
    static QStringList startsOf(const QList<QJsonObject> &events)
    {
        QStringList starts;
        for (const QJsonObject &event : events)
            starts.append(event["start"].toString());
        return starts;
    }
    static QByteArray hashOf(const QString &path)
    {
        return QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256);
    }

    QString m_data;
    QString m_personal;

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        // The program's own folders: the test's XDG folders (no test mode there).
        m_data = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + "/brivane/calendars/local";
        m_personal = m_data + "/personal";
        writeFile(m_personal + "/displayname", "Personal");
    }

    void deletesAnEventAgendaShows()
    {
        const QString file = m_personal + "/dentist.ics";
        writeFile(file,
            singleEvent("UID:dentist\r\nSUMMARY:Dentist\r\nDTSTART;TZID=Europe/Berlin:20260504T081500\r\n"
                        "DTEND;TZID=Europe/Berlin:20260504T091500\r\n"));
        const QList<QJsonObject> shown = agendaAt("2026-05-04T08:00");
        QCOMPARE(shown.size(), 1);
        const Run run = brivane({"delete", shown[0]["id"].toString()});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(!run.err.contains("brivane delete"), run.err.constData());
        QVERIFY(!QFileInfo::exists(file));
        QVERIFY(agendaAt("2026-05-04T08:00").isEmpty());
    }

    void deletesOneOccurrenceOfASeries()
    {
        const QString file = m_personal + "/standup.ics";
        writeFile(file,
            singleEvent("UID:standup@example.com\r\nSUMMARY:Standup\r\n"
                        "DTSTART;TZID=Europe/Berlin:20260511T093000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260511T094500\r\nRRULE:FREQ=DAILY;COUNT=5\r\n"));
        const QList<QJsonObject> before = agendaAt("2026-05-11T08:00");
        QCOMPARE(before.size(), 5);
        const Run run = brivane({"delete", before[2]["id"].toString()});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(QFileInfo::exists(file));
        QVERIFY(readFile(file).contains("EXDATE"));
        const QList<QJsonObject> after = agendaAt("2026-05-11T08:00");
        QStringList expected = startsOf(before);
        expected.removeAt(2);
        QCOMPARE(startsOf(after), expected);
        // The others keep their ids: one more goes the same way.
        QCOMPARE(brivane({"delete", after[0]["id"].toString()}).exitCode, 0);
        QCOMPARE(agendaAt("2026-05-11T08:00").size(), 3);
        QVERIFY(QFile::remove(file));
    }

    // A moved occurrence is found where it went, far from its own day.
    void deletesAMovedOccurrence()
    {
        const QString file = m_personal + "/review.ics";
        writeFile(file,
            calendarWith("BEGIN:VEVENT\r\nUID:review\r\nSUMMARY:Review\r\n"
                         "DTSTART;TZID=Europe/Berlin:20260518T140000\r\nDURATION:PT1H\r\n"
                         "RRULE:FREQ=WEEKLY;COUNT=3\r\nEND:VEVENT\r\n"
                         "BEGIN:VEVENT\r\nUID:review\r\nSUMMARY:Review, moved\r\n"
                         "RECURRENCE-ID;TZID=Europe/Berlin:20260525T140000\r\n"
                         "DTSTART;TZID=Europe/Berlin:20260519T160000\r\nDURATION:PT1H\r\nEND:VEVENT\r\n"));
        const QList<QJsonObject> shown = agendaAt("2026-05-18T08:00");
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1]["title"].toString(), QStringLiteral("Review, moved"));
        QCOMPARE(brivane({"delete", shown[1]["id"].toString()}).exitCode, 0);
        const QList<QJsonObject> after = agendaAt("2026-05-18T08:00");
        QCOMPARE(after.size(), 1);
        QCOMPARE(after[0]["title"].toString(), QStringLiteral("Review"));
        QCOMPARE(agendaAt("2026-05-25T08:00").size(), 0); // the week it was moved from stays free
        QCOMPARE(agendaAt("2026-06-01T08:00").size(), 1);
        QVERIFY(QFile::remove(file));
    }

    void deletesTheIdAddPrinted()
    {
        // Far from today: outside any window the store keeps ready.
        const Run added = brivane({"add", "Far away", "--start", "2031-02-03T10:00"});
        QCOMPARE(added.exitCode, 0);
        const QString id = QString::fromUtf8(added.out).trimmed();
        const QString file = id.section('#', 0, 0);
        QVERIFY(QFileInfo::exists(file));
        const Run run = brivane({"delete", id});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(!QFileInfo::exists(file));
        // Gone: the same id is now unknown.
        const Run again = brivane({"delete", id});
        QCOMPARE(again.exitCode, 2);
        QVERIFY(again.err.contains("no event has the id"));
    }

    void readOnlyCalendarIsRefused()
    {
        // A single file in an account folder is a read-only calendar.
        const QString file = m_data + "/holidays.ics";
        writeFile(file, singleEvent("UID:may\r\nSUMMARY:Holiday\r\nDTSTART;VALUE=DATE:20260601\r\n"));
        const QByteArray before = hashOf(file);
        const QList<QJsonObject> shown = agendaAt("2026-06-01T08:00");
        QCOMPARE(shown.size(), 1);
        const Run run = brivane({"delete", shown[0]["id"].toString()});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("read-only"), run.err.constData());
        QCOMPARE(hashOf(file), before);
        QCOMPARE(agendaAt("2026-06-01T08:00").size(), 1);
        QVERIFY(QFile::remove(file));
    }

    void zohoEventsAreRefused()
    {
        const Run run = brivane({"delete", "zoho_1234567890"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("Zoho"), run.err.constData());
    }

    void badIdsAndArgumentsExitWithTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("said");
        const QString unknownFile = m_personal + "/nothing.ics#nothing";
        QTest::newRow("unknown id") << QStringList {"delete", "no-such-event"} << QByteArray("no event has the id");
        QTest::newRow("id of a file that is not there")
            << QStringList {"delete", unknownFile} << QByteArray("no event has the id");
        QTest::newRow("no id") << QStringList {"delete"} << QByteArray("usage: brivane delete");
        QTest::newRow("empty id") << QStringList {"delete", ""} << QByteArray("usage: brivane delete");
        QTest::newRow("two ids") << QStringList {"delete", "a", "b"} << QByteArray("usage: brivane delete");
        QTest::newRow("unknown option") << QStringList {"delete", "--all", "a"} << QByteArray("usage: brivane delete");
    }
    void badIdsAndArgumentsExitWithTwo()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, said);
        const QString file = m_personal + "/kept.ics";
        writeFile(file,
            singleEvent("UID:kept\r\nSUMMARY:Kept\r\nDTSTART;TZID=Europe/Berlin:20260608T100000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260608T110000\r\n"));
        const QByteArray before = hashOf(file);
        const Run run = brivane(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(said), run.err.constData());
        QCOMPARE(hashOf(file), before);
        QVERIFY(QFile::remove(file));
    }

    // With brivane running, the command deletes and the running one follows.
    void deletesWhileAnInstanceRuns()
    {
        // A day the instance keeps at hand: near the real today.
        const QDate day = QDate::currentDate().addDays(2);
        const QByteArray stamp = day.toString("yyyyMMdd").toLatin1();
        const QString at = day.toString(Qt::ISODate) + "T08:00";
        const QString file = m_personal + "/call.ics";
        writeFile(file,
            singleEvent("UID:call\r\nSUMMARY:Call\r\nDTSTART;TZID=Europe/Berlin:" + stamp
                + "T100000\r\nDTEND;TZID=Europe/Berlin:" + stamp + "T103000\r\nRRULE:FREQ=DAILY;COUNT=2\r\n"));
        const QString other = m_personal + "/lunch.ics";
        writeFile(other,
            singleEvent("UID:lunch\r\nSUMMARY:Lunch\r\nDTSTART;TZID=Europe/Berlin:" + stamp
                + "T120000\r\nDTEND;TZID=Europe/Berlin:" + stamp + "T130000\r\n"));

        QProcess instance;
        instance.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (environment.value("QT_QPA_PLATFORM").isEmpty())
            environment.insert("QT_QPA_PLATFORM", "offscreen"); // no display needed
        instance.setProcessEnvironment(environment);
        instance.start(QStringLiteral(BRIVANE_BINARY), {});
        QVERIFY(instance.waitForStarted());
        const QStringList agenda {"agenda", "--json", "--at", at};
        QTRY_VERIFY_WITH_TIMEOUT(brivane(agenda, true).err.contains("answered by the running instance"), 20000);
        const QList<QJsonObject> shown = agendaAt(at, true);
        QCOMPARE(shown.size(), 3);

        QCOMPARE(brivane({"delete", shown[0]["id"].toString()}, true).exitCode, 0); // the first call
        QCOMPARE(brivane({"delete", shown[1]["id"].toString()}, true).exitCode, 0); // lunch
        // The running brivane sees the files change and answers without them.
        QTRY_COMPARE_WITH_TIMEOUT(agendaAt(at, true).size(), 1, 10000);
        const Run asked = brivane(agenda, true);
        QVERIFY(asked.err.contains("answered by the running instance"));
        const QJsonArray left = QJsonDocument::fromJson(asked.out).object()["upcoming"].toArray();
        QCOMPARE(left.size(), 1);
        QCOMPARE(left[0].toObject()["id"].toString(), shown[2]["id"].toString());
        QVERIFY(!QFileInfo::exists(other));

        instance.terminate();
        QVERIFY(instance.waitForFinished(10000));
        QVERIFY(QFile::remove(file));
    }
};

BRIVANE_TEST_MAIN(DeleteCommandTest)
#include "tst_deletecommand.moc"
