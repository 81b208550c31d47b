// SPDX-License-Identifier: GPL-3.0-or-later
// `brivane agenda`: what it prints, in text and JSON, and how it refuses bad
// options.
#include "TestSupport.h"
#include "ZohoTestSupport.h"

#include "app/AddCommand.h"
#include "app/AgendaCommand.h"
#include "app/InstanceAnswers.h"
#include "app/InstanceClient.h"
#include "app/StoreSetup.h"
#include "settings/AppSettings.h"
#include "zoho/ZohoAuthManager.h"
#include "zoho/ZohoCalendarManager.h"
#include "zoho/ZohoKeychain.h"
#include "zoho/ZohoProvider.h"

#include <QNetworkAccessManager>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>

#include <algorithm>

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
                        "DTEND;TZID=Europe/Berlin:20260325T114500\r\nRRULE:FREQ=DAILY;COUNT=3\r\n"
                        "LOCATION:Microsoft Teams Meeting\r\n"
                        "DESCRIPTION:Help: https://aka.ms/JoinTeamsMeeting\\nJoin: "
                        "https://teams.microsoft.com/l/meetup-join/19%3aabc%40thread.v2/0\r\n"));
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
        QCOMPARE(holiday["lastDay"].toString(), QStringLiteral("2026-03-27")); // one day: its start
        QVERIFY(!standup.contains("lastDay"));
        // The meeting's link, from the description (percent escapes in upper
        // case, as RFC 3986 writes them); none for an event without.
        QCOMPARE(standup["meetingUrl"].toString(),
            QStringLiteral("https://teams.microsoft.com/l/meetup-join/19%3Aabc%40thread.v2/0"));
        QVERIFY(holiday.contains("meetingUrl") && holiday["meetingUrl"].isNull());

        // Occurrences of one series are told apart.
        QSet<QString> ids;
        for (const QJsonArray &list : {today, upcoming})
            for (const QJsonValue &value : list)
                ids.insert(value.toObject()["id"].toString());
        QCOMPARE(ids.size(), 5);
    }

    // With Zoho connected, the running instance answers `brivane agenda`
    // from what it holds (Zoho's last sync among its calendars): no request
    // goes to Zoho, and hiding a Zoho calendar shows in the next answer.
    void theInstanceAnswersAnAgendaWithZoho()
    {
        // Near the real now: a plain `brivane agenda` asks about it.
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const QDateTime localStart = now.addSecs(2 * 3600);
        writeFile(personal() + "/near.ics",
            singleEvent("UID:near\r\nSUMMARY:Near\r\nDTSTART:" + localStart.toString("yyyyMMdd'T'HHmmss'Z'").toUtf8()
                + "\r\nDURATION:PT30M\r\n"));
        auto removeNear = qScopeGuard([] { QFile::remove(personal() + "/near.ics"); });
        FakeZohoServer server;
        QVERIFY(server.start());
        server.setCalendars(QJsonArray {QJsonObject {{"uid", "zc"}, {"calname", "Zoho work"}, {"color", "#FF0000"}}});
        const auto zohoTime = [](const QDateTime &moment) { return moment.toString("yyyyMMdd'T'HHmmss'Z'"); };
        server.setEvents("zc",
            QJsonArray {
                zohoEventJson("z1", "From Zoho", zohoTime(now.addSecs(3 * 3600)), zohoTime(now.addSecs(4 * 3600)))});
        MemorySecretStore secrets;
        ZohoKeychain keychain(secrets);
        QNetworkAccessManager network;
        SystemClock clock;
        const QUrl url = server.url();
        ZohoAuthManager auth(keychain, network, clock, [url] { return url; });
        ZohoCalendarManager zoho(auth, network, clock, [url] { return url; });
        zoho.stopAutomaticSync();
        server.addCode("code");
        auth.exchangeCode("code");
        QVERIFY(waitFor([&auth] { return auth.isConnected(); }, 10000));
        bool synced = false;
        zoho.sync([&synced] { synced = true; });
        QVERIFY(waitFor([&synced] { return synced; }, 15000));
        QVERIFY(zoho.lastError().isEmpty());

        std::unique_ptr<CalendarStore> store = createCalendarStore(AppSettings::shared(), clock, StoreUse::AnswersOnce);
        auto *provider = new ZohoProvider(zoho);
        store->addProvider(provider);
        provider->start();
        QVERIFY(store->waitUntilLoaded(10000));
        QCoreApplication::processEvents();

        const auto titlesIn = [](const QByteArray &answer) {
            const QJsonObject root = QJsonDocument::fromJson(answer).object();
            QStringList titles;
            for (const QString list : {"today", "upcoming"}) {
                for (const QJsonValue &event : root[list].toArray())
                    titles.append(event.toObject()["title"].toString() + " " + event.toObject()["source"].toString()
                        + " " + event.toObject()["calendarId"].toString());
            }
            return titles;
        };
        const qsizetype requests = server.requests().size();
        using InstanceAnswers::Zoho;
        const std::optional<QByteArray> json
            = InstanceAnswers::answer(InstanceClient::questionFor("agenda", {"brivane", "--json"}), *store, Zoho::Held);
        QVERIFY(json);
        QStringList titles = titlesIn(*json);
        titles.removeIf(
            [](const QString &title) { return !title.startsWith("Near") && !title.startsWith("From Zoho"); });
        QCOMPARE(titles,
            (QStringList {"Near local " + QStringLiteral("local:") + QFileInfo(personal()).canonicalFilePath(),
                "From Zoho zoho zc"}));
        const std::optional<QByteArray> text
            = InstanceAnswers::answer(InstanceClient::questionFor("agenda", {"brivane"}), *store, Zoho::Held);
        QVERIFY(text);
        QVERIFY2(text->contains("From Zoho  (Zoho work)"), text->constData());
        QCOMPARE(server.requests().size(), requests); // nothing asked of Zoho

        // Hidden: out of the next answer at once, still without a request.
        AppSettings::shared().toggleCalendar("zoho:zc");
        auto showAgain = qScopeGuard([] { AppSettings::shared().toggleCalendar("zoho:zc"); });
        const std::optional<QByteArray> hidden
            = InstanceAnswers::answer(InstanceClient::questionFor("agenda", {"brivane", "--json"}), *store, Zoho::Held);
        QVERIFY(hidden);
        QVERIFY(!titlesIn(*hidden).contains("From Zoho zoho zc"));
        QVERIFY(titlesIn(*hidden).join(' ').contains("Near local"));
        QCOMPARE(server.requests().size(), requests);

        // Another moment is Zoho's to answer, and so is every agenda while
        // the instance does not know yet whether Zoho is connected.
        QVERIFY(!InstanceAnswers::answer(
            InstanceClient::questionFor("agenda", {"brivane", "--at", now.toString(Qt::ISODate)}), *store, Zoho::Held));
        QVERIFY(
            !InstanceAnswers::answer(InstanceClient::questionFor("agenda", {"brivane"}), *store, Zoho::NotYetKnown));
        QVERIFY(InstanceAnswers::answer(
            InstanceClient::questionFor("agenda", {"brivane", "--at", now.toString(Qt::ISODate)}), *store,
            Zoho::NotConnected));
    }

    void titlesWithControlsStayOnOneLine_data()
    {
        QTest::addColumn<QByteArray>("summary");
        QTest::addColumn<QString>("shown");
        QTest::newRow("escaped line break") << QByteArray("Board\\nmeeting") << QString("Board meeting");
        QTest::newRow("escaped line break, upper case") << QByteArray("Board\\N\\Nmeeting") << QString("Board meeting");
        QTest::newRow("terminal escape") << QByteArray("\x1b]0;owned\aBoard") << QString("]0;owned Board");
        QTest::newRow("C1 control") << QByteArray("Board\xc2\x85meeting") << QString("Board meeting");
        QTest::newRow("line separator") << QByteArray("Board\xe2\x80\xa8meeting") << QString("Board meeting");
    }
    void titlesWithControlsStayOnOneLine()
    {
        QFETCH(QByteArray, summary);
        QFETCH(QString, shown);
        const QString file = personal() + "/controls.ics";
        writeFile(file,
            singleEvent("UID:controls\r\nSUMMARY:" + summary
                + "\r\nDTSTART;TZID=Europe/Berlin:20260610T110000\r\n"
                  "DTEND;TZID=Europe/Berlin:20260610T120000\r\n"));
        const Run text = agenda({"--at", "2026-06-10T08:00"});
        QCOMPARE(text.status, 0);
        QCOMPARE(text.out.split('\n'),
            QStringList({"Today", "  11:00\u201312:00  " + shown + "  (Personal)", "Upcoming", "  No events", ""}));
        QVERIFY(std::none_of(text.out.begin(), text.out.end(),
            [](QChar c) { return (c.category() == QChar::Other_Control && c != '\n') || c == QChar(0x2028); }));

        const Run json = agenda({"--json", "--at", "2026-06-10T08:00"});
        QJsonParseError error;
        const QJsonObject root = QJsonDocument::fromJson(json.out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(root["today"].toArray().at(0).toObject()["title"].toString(), shown);
        QFile::remove(file);
    }

    // Eleven events today and thirteen in the coming week: ten of each are
    // listed, and the rest counted.
    void longListsSayHowManyMore()
    {
        QStringList written;
        auto write = [&](const QString &uid, const QDateTime &start) {
            const QByteArray stamp = start.toUTC().toString("yyyyMMdd'T'HHmmss'Z'").toLatin1();
            written.append(personal() + "/" + uid + ".ics");
            writeFile(written.last(),
                singleEvent("UID:" + uid.toUtf8() + "\r\nSUMMARY:" + uid.toUtf8() + "\r\nDTSTART:" + stamp
                    + "\r\nDURATION:PT10M\r\n"));
        };
        const QTimeZone berlin("Europe/Berlin");
        for (int i = 0; i < 11; ++i)
            write(QString("today%1").arg(i, 2, 10, QChar('0')),
                QDateTime(QDate(2026, 9, 1), QTime(10, 0), berlin).addSecs(i * 900));
        for (int i = 0; i < 13; ++i)
            write(QString("later%1").arg(i, 2, 10, QChar('0')),
                QDateTime(QDate(2026, 9, 2), QTime(9, 0), berlin).addSecs(i * 900));

        const Run text = agenda({"--at", "2026-09-01T09:00"});
        QCOMPARE(text.status, 0);
        const QStringList lines = text.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1 + 10 + 1 + 1 + 10 + 1);
        QVERIFY(lines[10].endsWith("today09  (Personal)"));
        QCOMPARE(lines[11], QStringLiteral("  \u2026 and 1 more"));
        QCOMPARE(lines[12], QStringLiteral("Upcoming"));
        QVERIFY(lines[22].endsWith("later09  (Personal)"));
        QCOMPARE(lines[23], QStringLiteral("  \u2026 and 3 more"));

        const Run json = agenda({"--json", "--at", "2026-09-01T09:00"});
        QJsonObject root = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(root["today"].toArray().size(), 10);
        QCOMPARE(root["upcoming"].toArray().size(), 10);
        QCOMPARE(root["more"].toObject()["today"].toInt(-1), 1);
        QCOMPARE(root["more"].toObject()["upcoming"].toInt(-1), 3);

        // --all: the whole lists, nothing left to count.
        const Run all = agenda({"--all", "--at", "2026-09-01T09:00"});
        QCOMPARE(all.status, 0);
        const QStringList allLines = all.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(allLines.size(), 1 + 11 + 1 + 13);
        QVERIFY(allLines[11].endsWith("today10  (Personal)"));
        QVERIFY(allLines[25].endsWith("later12  (Personal)"));
        QVERIFY(!all.out.contains(QStringLiteral("more")));
        root = QJsonDocument::fromJson(agenda({"--json", "--all", "--at", "2026-09-01T09:00"}).out.toUtf8()).object();
        QCOMPARE(root["today"].toArray().size(), 11);
        QCOMPARE(root["upcoming"].toArray().size(), 13);
        QCOMPARE(root["more"].toObject()["today"].toInt(-1), 0);
        QCOMPARE(root["more"].toObject()["upcoming"].toInt(-1), 0);

        // Exactly ten: nothing is left out, nothing said.
        QVERIFY(QFile::remove(written.takeFirst()));
        const Run ten = agenda({"--at", "2026-09-01T09:00"});
        QCOMPARE(ten.out.count(QStringLiteral("more")), 1);
        QVERIFY(ten.out.contains(QStringLiteral("and 3 more")));
        for (const QString &path : written)
            QFile::remove(path);
    }

    // A holiday of several days is printed once, under Today while it
    // covers today.
    void anEventOfSeveralDaysIsPrintedOnce()
    {
        writeFile(personal() + "/trip.ics",
            singleEvent("UID:trip\r\nSUMMARY:Trip\r\nDTSTART;VALUE=DATE:20260325\r\nDTEND;VALUE=DATE:20260328\r\n"));
        const Run starting = agenda({"--at", "2026-03-25T10:00"});
        const Run running = agenda({"--json", "--at", "2026-03-26T10:00"});
        QFile::remove(personal() + "/trip.ics");
        QCOMPARE(starting.out.count(QStringLiteral("Trip")), 1);
        const QStringList lines = starting.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY(lines.contains(QStringLiteral("  All day  Trip  (Personal)")));
        QVERIFY(
            lines.indexOf(QStringLiteral("  All day  Trip  (Personal)")) < lines.indexOf(QStringLiteral("Upcoming")));

        const QJsonObject root = QJsonDocument::fromJson(running.out.toUtf8()).object();
        const QJsonObject trip = root["today"].toArray().first().toObject();
        QCOMPARE(trip["title"].toString(), QStringLiteral("Trip"));
        QCOMPARE(trip["start"].toString(), QStringLiteral("2026-03-25"));
        QCOMPARE(trip["end"].toString(), QStringLiteral("2026-03-28"));
        QCOMPARE(trip["lastDay"].toString(), QStringLiteral("2026-03-27"));
        for (const QJsonValue &event : root["upcoming"].toArray())
            QVERIFY(event.toObject()["title"].toString() != QLatin1String("Trip"));
    }

    // `add --end` takes the last day, the agenda's `end` is the day after
    // it: `lastDay` gives back what `add` was given.
    void anAddedAllDayEventReadsBackItsLastDay_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("end");
        QTest::newRow("Monday to Wednesday") << "2026-04-06"
                                             << "2026-04-08"
                                             << "2026-04-09";
        QTest::newRow("one day") << "2026-04-07"
                                 << "2026-04-07"
                                 << "2026-04-08";
        QTest::newRow("across a month") << "2026-04-30"
                                        << "2026-05-01"
                                        << "2026-05-02";
    }
    void anAddedAllDayEventReadsBackItsLastDay()
    {
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(QString, end);
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        const int added
            = runAddCommand({"add", "Away", "--all-day", "--start", first, "--end", last}, outStream, errStream);
        outStream.flush();
        errStream.flush();
        QVERIFY2(added == 0, qPrintable(err));
        const QString file = out.trimmed().section('#', 0, 0);
        const auto removeFile = qScopeGuard([&] { QFile::remove(file); });

        const QString dayBefore = QDate::fromString(first, Qt::ISODate).addDays(-1).toString(Qt::ISODate);
        const Run run = agenda({"--json", "--at", dayBefore + "T10:00"});
        QCOMPARE(run.status, 0);
        const QJsonArray upcoming = QJsonDocument::fromJson(run.out.toUtf8()).object()["upcoming"].toArray();
        const auto away = std::find_if(upcoming.begin(), upcoming.end(),
            [](const QJsonValue &event) { return event.toObject()["title"].toString() == QLatin1String("Away"); });
        QVERIFY(away != upcoming.end());
        const QJsonObject event = away->toObject();
        QCOMPARE(event["start"].toString(), first);
        QCOMPARE(event["end"].toString(), end);
        QCOMPARE(event["lastDay"].toString(), last);
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
