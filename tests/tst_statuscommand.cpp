// SPDX-License-Identifier: GPL-3.0-or-later
// `brivane status`, run as panels run it: plain, JSON and following changes.
#include "TestSupport.h"

#include "app/CommandSupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>

using namespace TestSupport;

class StatusCommandTest : public QObject
{
    Q_OBJECT

    struct Result
    {
        int exitCode;
        QByteArray out;
        QByteArray err;
    };
    static Result status(const QStringList &arguments)
    {
        QProcess process;
        process.start(QStringLiteral(BRIVANE_BINARY), QStringList {"status"} + arguments);
        process.waitForFinished(20000);
        return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    }

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        // Same folders as the program: the test's own XDG folders (no test mode there).
        const QString data = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
        const QString calendar = data + "/brivane/calendars/local/personal";
        writeFile(calendar + "/displayname", "Personal");
        writeFile(calendar + "/standup.ics",
            singleEvent("UID:s\r\nSUMMARY:Standup\r\nDTSTART;TZID=Europe/Berlin:20260325T093000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T094500\r\n"));
        m_calendar = calendar;
    }

    void plainAndJson()
    {
        Result plain = status({"--at", "2026-03-25T09:00:00"});
        QCOMPARE(plain.exitCode, 0);
        QCOMPARE(QString::fromUtf8(plain.out).trimmed(), QString("Standup \u00B7 in 30m"));

        Result json = status({"--json", "--at", "2026-03-25T09:40:00"});
        QCOMPARE(json.exitCode, 0);
        const QJsonObject object = QJsonDocument::fromJson(json.out).object();
        QCOMPARE(object["text"].toString(), QString("Standup \u00B7 5m left"));
        QCOMPARE(object["class"].toString(), QStringLiteral("running"));
        QCOMPARE(object["tooltip"].toString(), QStringLiteral("09:30 Standup"));

        Result idle = status({"--json", "--at", "2026-03-27T12:00:00"});
        QCOMPARE(QJsonDocument::fromJson(idle.out).object()["class"].toString(), QStringLiteral("idle"));
        QCOMPARE(QJsonDocument::fromJson(idle.out).object()["text"].toString(),
            QLocale().toString(QDate(2026, 3, 27), "ddd d MMM"));
    }

    void followPrintsAtEveryChange()
    {
        QProcess follow;
        follow.start(QStringLiteral(BRIVANE_BINARY), {"status", "--follow", "--at", "2026-03-25T08:00:00"});
        QVERIFY(follow.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(follow.canReadLine(), 10000);
        QCOMPARE(QString::fromUtf8(follow.readLine()).trimmed(), QString("Standup \u00B7 09:30"));

        writeFile(m_calendar + "/early.ics",
            singleEvent("UID:e\r\nSUMMARY:Early call\r\nDTSTART;TZID=Europe/Berlin:20260325T081000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T082000\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(follow.canReadLine(), 10000);
        QCOMPARE(QString::fromUtf8(follow.readLine()).trimmed(), QString("Early call \u00B7 in 10m"));

        // A title with a line break is one line of its own, not two.
        writeFile(m_calendar + "/earlier.ics",
            singleEvent("UID:e2\r\nSUMMARY:Wake\\nup\r\nDTSTART;TZID=Europe/Berlin:20260325T080500\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T081000\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(follow.canReadLine(), 10000);
        QCOMPARE(QString::fromUtf8(follow.readLine()), QString("Wake up \u00B7 in 5m\n"));
        follow.kill();
        follow.waitForFinished();
        QVERIFY(!follow.readAllStandardOutput().contains('\n')); // nothing more was printed
        QFile::remove(m_calendar + "/early.ics");
        QFile::remove(m_calendar + "/earlier.ics");
    }

    // 02:30 on the night clocks go forward does not exist in Berlin; it is
    // read as the clock reads it, an hour on, not refused.
    void atInTheSkippedHourIsReadAsTheClockReadsIt()
    {
        const QTimeZone berlin("Europe/Berlin");
        QCOMPARE(momentFromOption("2026-03-29T02:30", berlin).toUTC(),
            QDateTime(QDate(2026, 3, 29), QTime(1, 30), QTimeZone::utc()));
        QCOMPARE(momentFromOption("2026-03-29T03:00", berlin).toUTC(),
            QDateTime(QDate(2026, 3, 29), QTime(1, 0), QTimeZone::utc()));
        // The repeated hour in autumn takes its first reading.
        QCOMPARE(momentFromOption("2026-10-25T02:30", berlin).toUTC(),
            QDateTime(QDate(2026, 10, 25), QTime(0, 30), QTimeZone::utc()));
        QCOMPARE(momentFromOption("2026-03-29T02:30:00+05:00", berlin).toUTC(),
            QDateTime(QDate(2026, 3, 28), QTime(21, 30), QTimeZone::utc()));
        QVERIFY(!momentFromOption("2026-02-30T10:00", berlin).isValid());
        QCOMPARE(status({"--at", "2026-03-29T02:30"}).exitCode, 0);
    }

    // What other programs put in a SUMMARY: line breaks (escaped, as a synced
    // file has them), terminal escapes, C1 controls, Unicode separators.
    void titlesWithControlsStayOnOneLine_data()
    {
        QTest::addColumn<QByteArray>("summary");
        QTest::addColumn<QString>("shown");
        QTest::newRow("escaped line break") << QByteArray("Go\\nnow") << QString("Go now");
        QTest::newRow("line breaks around spaces") << QByteArray("Go \\n\\n now\\n") << QString("Go now");
        QTest::newRow("terminal escape") << QByteArray("\x1b[2J\x1b[31mRed\x1b[0m") << QString("[2J [31mRed [0m");
        QTest::newRow("C1 control") << QByteArray("CSI\u009b31m here") << QString("CSI 31m here");
        QTest::newRow("line separator") << QByteArray("Line\xe2\x80\xa8sep") << QString("Line sep");
        QTest::newRow("paragraph separator") << QByteArray("Para\xe2\x80\xa9sep") << QString("Para sep");
        QTest::newRow("tab and DEL") << QByteArray("Tab\there\x7f") << QString("Tab here");
    }
    void titlesWithControlsStayOnOneLine()
    {
        QFETCH(QByteArray, summary);
        QFETCH(QString, shown);
        const QString file = m_calendar + "/controls.ics";
        writeFile(file,
            singleEvent("UID:c\r\nSUMMARY:" + summary
                + "\r\nDTSTART;TZID=Europe/Berlin:20260401T093000\r\n"
                  "DTEND;TZID=Europe/Berlin:20260401T094500\r\n"));
        const Result plain = status({"--at", "2026-04-01T09:00:00"});
        QCOMPARE(plain.exitCode, 0);
        QVERIFY2(!hasControls(plain.out.chopped(1)), plain.out.toPercentEncoding().constData());
        QCOMPARE(QString::fromUtf8(plain.out), shown + QString(" \u00B7 in 30m\n"));

        const Result json = status({"--json", "--at", "2026-04-01T09:00:00"});
        QCOMPARE(json.exitCode, 0);
        QCOMPARE(json.out.count('\n'), 1);
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(json.out, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(object["text"].toString(), shown + QString(" \u00B7 in 30m"));
        QCOMPARE(object["tooltip"].toString(), "09:30 " + shown);
        QFile::remove(file);
    }

    // A title of 8 MB: the file keeps it, what is printed is a few hundred characters.
    void hugeTitleIsBoundedWhereShown()
    {
        const QByteArray huge = QByteArray("Huge ") + QByteArray(8 * 1024 * 1024, 'x');
        const QString file = m_calendar + "/huge.ics";
        const QByteArray content = singleEvent("UID:h\r\nSUMMARY:" + huge
            + "\r\nDTSTART;TZID=Europe/Berlin:20260402T093000\r\n"
              "DTEND;TZID=Europe/Berlin:20260402T094500\r\n");
        writeFile(file, content);

        const Result json = status({"--json", "--at", "2026-04-02T09:00:00"});
        QCOMPARE(json.exitCode, 0);
        QVERIFY2(json.out.size() < 2000, QByteArray::number(json.out.size()).constData());
        const QJsonObject object = QJsonDocument::fromJson(json.out).object();
        QCOMPARE(object["text"].toString(), QString("Huge xxxxxxxxxxxxxxxxx\u2026 \u00B7 in 30m"));
        const QString tooltip = object["tooltip"].toString();
        QVERIFY2(tooltip.startsWith("09:30 Huge xxx") && tooltip.endsWith(QChar(0x2026)), qPrintable(tooltip.left(80)));
        QCOMPARE(tooltip.size(), 6 + 300 + 1); // the time, 300 characters and "…"

        // The store keeps the title as shown; the file stays whole.
        VdirFixture fixture;
        fixture.root = QFileInfo(QFileInfo(m_calendar).path()).path(); // the folder of the accounts
        fixture.start();
        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 4, 2), QDate(2026, 4, 3));
        QCOMPARE(events.size(), 1);
        QCOMPARE(events[0].title.size(), 300 + 1);
        QVERIFY(events[0].title.startsWith("Huge xxx"));
        QCOMPARE(readFile(file), content);
        QFile::remove(file);
    }

    // A calendar switched off in the settings gives `status` nothing, as it
    // gives the popover's lists nothing.
    void aHiddenCalendarLeavesTheStatus()
    {
        const QString data = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
        const QString work = data + "/brivane/calendars/local/work";
        writeFile(work + "/displayname", "Work");
        writeFile(work + "/call.ics",
            singleEvent("UID:w\r\nSUMMARY:Client call\r\nDTSTART;TZID=Europe/Berlin:20260325T091000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T092000\r\n"));
        QCOMPARE(QString::fromUtf8(status({"--at", "2026-03-25T09:00:00"}).out).trimmed(),
            QString("Client call \u00B7 in 10m"));

        const QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/brivane/brivane.conf";
        writeFile(config,
            "[General]\nonboardingComplete=true\nhiddenCalendarIDs=local:"
                + QFileInfo(work).canonicalFilePath().toUtf8() + "\n");
        const Result hidden = status({"--json", "--at", "2026-03-25T09:00:00"});
        QFile::remove(config);
        QDir(work).removeRecursively();
        const QJsonObject object = QJsonDocument::fromJson(hidden.out).object();
        QCOMPARE(object["text"].toString(), QString("Standup \u00B7 in 30m"));
        QCOMPARE(object["tooltip"].toString(), QStringLiteral("09:30 Standup"));
    }

    void badOptions()
    {
        for (const QStringList &arguments :
            {QStringList {"--nope"}, QStringList {"--at", "tomorrow"}, QStringList {"x"}}) {
            const Result result = status(arguments);
            QCOMPARE(result.exitCode, 2);
            QVERIFY(result.err.contains("usage: brivane status"));
        }
    }

private:
    static bool hasControls(const QByteArray &utf8)
    {
        const QString text = QString::fromUtf8(utf8);
        return std::any_of(text.begin(), text.end(),
            [](QChar c) { return c.category() == QChar::Other_Control || c == QChar(0x2028) || c == QChar(0x2029); });
    }

    QString m_calendar;
};

BRIVANE_TEST_MAIN(StatusCommandTest)
#include "tst_statuscommand.moc"
