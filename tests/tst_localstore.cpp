// SPDX-License-Identifier: GPL-3.0-or-later
// The local-folder store as a whole: its layout, saving and removing, and
// changes made by other programs.
#include "TestSupport.h"

#include "app/StoreSetup.h"
#include "calendar/IcsWriter.h"
#include "settings/AppSettings.h"

#include <QDirIterator>
#include <QProcess>
#include <QSemaphore>

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");

QStringList filesIn(const QString &dir)
{
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    names.sort();
    return names;
}
} // namespace

class LocalStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void firstStartCreatesTheLocalCalendar()
    {
        VdirFixture fixture;
        CalendarStore &store = fixture.start();
        const QList<CalendarSource> sources = store.sources();
        QCOMPARE(sources.size(), 1);
        QCOMPARE(sources[0].title, QStringLiteral("Local"));
        const QList<CalendarInfo> calendars = store.calendars();
        QCOMPARE(calendars.size(), 1);
        QCOMPARE(calendars[0].title, QStringLiteral("Personal"));
        QCOMPARE(calendars[0].color, QStringLiteral("#3B82F6"));
        QVERIFY(calendars[0].allowsModifications);
        QCOMPARE(store.defaultCalendarForNewEvents()->identifier, calendars[0].identifier);

        // A root that exists already is left as the user made it.
        QDir(fixture.root + "/local/personal").removeRecursively();
        const auto again = fixture.reopened();
        QCOMPARE(again->store->calendars().size(), 0);
        QVERIFY(!again->store->defaultCalendarForNewEvents());
    }

    void layoutGivesTitlesColoursAndStableIds()
    {
        VdirFixture fixture;
        writeFile(fixture.calendarPath("work") + "/displayname", "Work stuff\n");
        writeFile(fixture.calendarPath("work") + "/color", "#ff8800aa\n");
        writeFile(fixture.calendarPath("plain") + "/color", "orange");
        writeFile(fixture.root + "/account/holidays.ics",
            singleEvent("UID:h\r\nDTSTART;VALUE=DATE:20260403\r\nSUMMARY:Good Friday\r\n"));
        fixture.start();

        QHash<QString, CalendarInfo> byTitle;
        for (const CalendarInfo &calendar : fixture.store->calendars())
            byTitle.insert(calendar.title, calendar);
        QCOMPARE(byTitle.size(), 3); // the root existed: no "Local" account is added
        QCOMPARE(byTitle["Work stuff"].color, QStringLiteral("#FF8800"));
        QVERIFY(byTitle["plain"].color.isEmpty());
        QVERIFY(byTitle["Work stuff"].allowsModifications);
        // A lone .ics file in an account folder is a read-only calendar.
        QVERIFY(!byTitle["holidays"].allowsModifications);
        QCOMPARE(fixture.eventsOn(QDate(2026, 4, 3), QDate(2026, 4, 4)).size(), 1);

        auto identifiers = [](const CalendarStore &store) {
            QStringList ids;
            for (const CalendarInfo &c : store.calendars())
                ids.append(c.identifier);
            return ids;
        };
        QCOMPARE(identifiers(*fixture.reopened()->store), identifiers(*fixture.store));
        const QSet<QString> sourceIds {byTitle["Work stuff"].sourceId, byTitle["holidays"].sourceId};
        QCOMPARE(sourceIds.size(), 1);
    }

    void savedEventsAreWrittenWholeAndReadBack()
    {
        VdirFixture fixture;
        fixture.addEvent("existing.ics", singleEvent("UID:existing\r\nDTSTART:20260101T100000Z\r\n"));
        CalendarStore &store = fixture.start();
        QSignalSpy changed(&store, &CalendarStore::changed);

        NewEventRequest timed = newEvent(fixture.calendarId(), QStringLiteral("Dentist, 2nd floor; \"bring card\""),
            QDateTime(QDate(2026, 3, 30), QTime(9, 0), Berlin), QDateTime(QDate(2026, 3, 30), QTime(9, 45), Berlin));
        timed.notes = QStringLiteral("line one\nline two");
        const StoreResult saved = store.saveEvent(timed);
        QVERIFY2(saved.ok, qPrintable(saved.error));
        QVERIFY(store
                    .saveEvent(newEvent(fixture.calendarId(), QStringLiteral("Conference"),
                        QDateTime(QDate(2026, 4, 1), QTime(0, 0), Berlin),
                        QDateTime(QDate(2026, 4, 2), QTime(0, 0), Berlin), true))
                    .ok);

        // Listed at once, before any file notification.
        QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 30), QDate(2026, 4, 3));
        QCOMPARE(events.size(), 2);
        QCOMPARE(events[0].title, timed.title);
        QCOMPARE(store.eventDetails(events[0]).notes, timed.notes);
        QCOMPARE(events[0].start, timed.start);
        QCOMPARE(events[0].end, timed.end);
        QVERIFY(events[1].allDay);
        QCOMPARE(events[1].startDate, QDate(2026, 4, 1));
        QCOMPARE(events[1].endDate, QDate(2026, 4, 3)); // the last day is included

        // One file per event named after its UID, no temporary files left.
        const QStringList names = filesIn(fixture.calendarPath());
        QCOMPARE(names.size(), 3);
        QString allDayText, timedText;
        for (const QString &name : names) {
            QVERIFY2(name.endsWith(".ics"), qPrintable(name));
            const QByteArray text = readFile(fixture.calendarPath() + "/" + name);
            if (text.contains("Conference"))
                allDayText = QString::fromUtf8(text);
            if (text.contains("Dentist"))
                timedText = QString::fromUtf8(text);
            if (name != "existing.ics")
                QVERIFY(text.contains(("UID:" + name.chopped(4)).toUtf8()));
        }
        QVERIFY(allDayText.contains("DTSTART;VALUE=DATE:20260401"));
        QVERIFY(allDayText.contains("DTEND;VALUE=DATE:20260403"));
        QVERIFY(timedText.contains("DTSTART;TZID=Europe/Berlin:20260330T090000"));
        QVERIFY(timedText.contains("BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\n"));

        // A new store reads the same events from the files.
        QCOMPARE(fixture.reopened()->eventsOn(QDate(2026, 3, 30), QDate(2026, 4, 3)), events);

        // Both saves and the file notices they cause: one notice.
        QVERIFY(waitFor([&] { return fixture.provider->pendingChangeCount() >= 2; }));
        fixture.provider->flushPendingChanges();
        QCOMPARE(changed.size(), 1);
    }

    void saveFailuresSayWhyAndWriteNothing()
    {
        VdirFixture fixture;
        writeFile(fixture.root + "/account/holidays.ics", singleEvent("UID:h\r\nDTSTART;VALUE=DATE:20260403\r\n"));
        writeFile(fixture.calendarPath("gone") + "/displayname", "Gone");
        writeFile(fixture.calendarPath("work") + "/displayname", "Work");
        CalendarStore &store = fixture.start();

        NewEventRequest request;
        request.title = QStringLiteral("x");
        request.start = QDateTime(QDate(2026, 3, 30), QTime(9, 0), Berlin);
        request.end = request.start.addSecs(3600);

        request.calendarId = QStringLiteral("local:") + fixture.root + "/account/holidays.ics";
        StoreResult result = store.saveEvent(request);
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains("read-only"), qPrintable(result.error));

        QVERIFY(QDir(fixture.calendarPath("gone")).removeRecursively());
        request.calendarId = fixture.calendarId("gone");
        result = store.saveEvent(request);
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains("no longer exists"), qPrintable(result.error));
        QVERIFY(!QFileInfo::exists(fixture.calendarPath("gone")));

        request.calendarId = QStringLiteral("local:/nowhere");
        QVERIFY(!store.saveEvent(request).ok);

        request.calendarId = fixture.calendarId("work");
        request.end = request.start.addSecs(-60);
        result = store.saveEvent(request);
        QVERIFY(!result.ok);
        QCOMPARE(filesIn(fixture.calendarPath("work")), QStringList {"displayname"});
    }

    void removingOneOccurrenceKeepsTheSeries()
    {
        VdirFixture fixture;
        fixture.addEvent("series.ics",
            calendarWith("BEGIN:VEVENT\r\nUID:series\r\nSUMMARY:Gym\r\n"
                         "X-CUSTOM-PROP:kept\r\n"
                         "DTSTART;TZID=Europe/Berlin:20260323T180000\r\nDURATION:PT1H\r\n"
                         "RRULE:FREQ=DAILY;COUNT=5\r\nEND:VEVENT\r\n"
                         "BEGIN:VEVENT\r\nUID:series\r\nSUMMARY:Gym (late)\r\n"
                         "RECURRENCE-ID;TZID=Europe/Berlin:20260325T180000\r\n"
                         "DTSTART;TZID=Europe/Berlin:20260325T200000\r\nDURATION:PT1H\r\n"
                         "END:VEVENT\r\n"));
        fixture.addEvent("single.ics", singleEvent("UID:single\r\nDTSTART;TZID=Europe/Berlin:20260326T080000\r\n"));
        CalendarStore &store = fixture.start();
        QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 23), QDate(2026, 3, 28));
        QCOMPARE(events.size(), 6);

        // The overridden occurrence: its override goes and an EXDATE stands in.
        const CalendarEvent late = *std::find_if(
            events.begin(), events.end(), [](const CalendarEvent &e) { return e.title == "Gym (late)"; });
        StoreResult result = store.removeEvent(late);
        QVERIFY2(result.ok, qPrintable(result.error));
        // A plain occurrence.
        const CalendarEvent first = events[0];
        QCOMPARE(first.title, QStringLiteral("Gym"));
        QVERIFY(store.removeEvent(first).ok);

        events = fixture.eventsOn(QDate(2026, 3, 23), QDate(2026, 3, 28));
        QStringList titles;
        for (const CalendarEvent &e : events)
            titles.append(e.title + e.start.toTimeZone(Berlin).toString(" d"));
        QCOMPARE(titles, (QStringList {"Gym 24", " 26", "Gym 26", "Gym 27"}));
        const QByteArray text = readFile(fixture.calendarPath() + "/series.ics");
        QVERIFY(text.contains("X-CUSTOM-PROP:kept"));
        QVERIFY(!text.contains("Gym (late)"));
        QCOMPARE(text.count("EXDATE;TZID=Europe/Berlin:"), 2);

        // A single event's file is deleted.
        const CalendarEvent single
            = *std::find_if(events.begin(), events.end(), [](const CalendarEvent &e) { return !e.isRecurring; });
        QVERIFY(store.removeEvent(single).ok);
        QVERIFY(!QFileInfo::exists(fixture.calendarPath() + "/single.ics"));
        QCOMPARE(fixture.eventsOn(QDate(2026, 3, 23), QDate(2026, 3, 28)).size(), 3);

        // The same again from a fresh read of the folder.
        QCOMPARE(fixture.reopened()->eventsOn(QDate(2026, 3, 23), QDate(2026, 3, 28)).size(), 3);
        QCOMPARE(filesIn(fixture.calendarPath()), QStringList {"series.ics"});
    }

    // What `brivane delete` is given: an id from a list, of an event at any time.
    void eventsAreFoundByTheirIdsAnywhereInTime()
    {
        VdirFixture fixture;
        fixture.addEvent("weekly.ics",
            calendarWith("BEGIN:VEVENT\r\nUID:weekly@example.com\r\nSUMMARY:Weekly\r\n"
                         "DTSTART;TZID=Europe/Berlin:20260323T090000\r\nDURATION:PT1H\r\n"
                         "RRULE:FREQ=WEEKLY\r\nEND:VEVENT\r\n"
                         "BEGIN:VEVENT\r\nUID:weekly@example.com\r\nSUMMARY:Weekly, moved\r\n"
                         "RECURRENCE-ID;TZID=Europe/Berlin:20260406T090000\r\n"
                         "DTSTART;TZID=Europe/Berlin:20260420T100000\r\nDURATION:PT1H\r\nEND:VEVENT\r\n"));
        fixture.addEvent("floating.ics",
            singleEvent("UID:floating\r\nSUMMARY:Far\r\nDTSTART:20300101T100000\r\nDTEND:20300101T110000\r\n"));
        fixture.addEvent("yearly.ics",
            singleEvent("UID:yearly\r\nSUMMARY:Yearly\r\nDTSTART;VALUE=DATE:20200101\r\nRRULE:FREQ=YEARLY\r\n"));
        CalendarStore &store = fixture.start();

        QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 23), QDate(2026, 4, 25));
        events += fixture.eventsOn(QDate(2029, 12, 30), QDate(2030, 1, 2));
        events += fixture.eventsOn(QDate(2041, 1, 1), QDate(2041, 1, 2));
        // Five weekly (one moved two weeks on); on New Year 2030 the far one,
        // the yearly one and a weekly Monday before; the yearly in 2041.
        QCOMPARE(events.size(), 5 + 3 + 1);
        for (const CalendarEvent &event : events) {
            const std::optional<CalendarEvent> found = store.eventById(event.id);
            QVERIFY2(found, qPrintable(event.id));
            QCOMPARE(*found, event);
        }
        const CalendarEvent moved = *std::find_if(
            events.begin(), events.end(), [](const CalendarEvent &e) { return e.title == "Weekly, moved"; });
        QCOMPARE(moved.start, QDateTime(QDate(2026, 4, 20), QTime(10, 0), fixture.clock.timeZone()));

        // Ids that name nothing.
        const QString weekly = events[0].eventIdentifier;
        for (const QString &id : {QStringLiteral("nothing"), fixture.calendarPath() + "/weekly.ics",
                 fixture.calendarPath() + "/weekly.ics#other", weekly, weekly + "@20260324T080000Z",
                 weekly + "@20260413T080000Z", fixture.calendarPath() + "/floating.ics#floating@20300101T100000"}) {
            QVERIFY2(!store.eventById(id), qPrintable(id));
        }
    }

    void removingFromAnUnreadableFileLeavesItAlone()
    {
        VdirFixture fixture;
        const QByteArray broken = calendarWith("BEGIN:VEVENT\r\nUID:b\r\nDTSTART:20260326T080000Z\r\n"
                                               "RRULE:FREQ=DAILY;COUNT=3\r\nDTEND:not-a-date\r\nEND:VEVENT\r\n");
        fixture.addEvent("broken.ics", broken);
        CalendarStore &store = fixture.start();
        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27));
        QCOMPARE(events.size(), 1); // what can be read is shown
        const StoreResult result = store.removeEvent(events[0]);
        QVERIFY(!result.ok);
        QVERIFY(!result.error.isEmpty());
        QCOMPARE(readFile(fixture.calendarPath() + "/broken.ics"), broken);
    }

    void changesByOtherProgramsAreNoticedOncePerBurst()
    {
        VdirFixture fixture;
        fixture.addEvent("a.ics", singleEvent("UID:a\r\nSUMMARY:A\r\nDTSTART:20260326T080000Z\r\n"));
        CalendarStore &store = fixture.start();
        QSignalSpy changed(&store, &CalendarStore::changed);

        // Another program writes twenty files (a sync run): once the folder is
        // quiet, one notice.
        QProcess shell;
        QString script = "cd '" + fixture.calendarPath() + "' && for i in $(seq 1 20); do printf '"
            + QString::fromLatin1(
                singleEvent("UID:e$i\r\nSUMMARY:E$i\r\nDTSTART:20260326T090000Z\r\n").replace("\r\n", "\\r\\n"))
            + "' > e$i.ics; done";
        shell.start("sh", {"-c", script});
        QVERIFY(shell.waitForFinished());
        QVERIFY(waitFor([&] { return fixture.provider->pendingChangeCount() == 20; }));
        fixture.provider->flushPendingChanges();
        QCOMPARE(changed.size(), 1);
        QCOMPARE(fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27)).size(), 21);

        // An edit in place, a removal and a rename into the folder.
        changed.clear();
        writeFile(fixture.calendarPath() + "/a.ics",
            singleEvent("UID:a\r\nSUMMARY:A edited\r\nDTSTART:20260326T080000Z\r\n"));
        QFile::remove(fixture.calendarPath() + "/e1.ics");
        writeFile(fixture.dir.path() + "/outside.ics",
            singleEvent("UID:moved\r\nSUMMARY:Moved in\r\nDTSTART:20260326T100000Z\r\n"));
        QVERIFY(QFile::rename(fixture.dir.path() + "/outside.ics", fixture.calendarPath() + "/moved.ics"));
        QVERIFY(waitFor([&] { return fixture.provider->pendingChangeCount() == 3; }));
        fixture.provider->flushPendingChanges();
        QCOMPARE(changed.size(), 1);
        const QStringList titles = titlesOf(fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27)));
        QVERIFY(titles.contains("A edited"));
        QVERIFY(!titles.contains("E1"));
        QVERIFY(titles.contains("Moved in"));
        QCOMPARE(titles.size(), 21);

        // A new calendar folder with events.
        changed.clear();
        writeFile(fixture.calendarPath("new") + "/n.ics", singleEvent("UID:n\r\nDTSTART:20260326T110000Z\r\n"));
        QVERIFY(waitFor([&] { return store.calendars().size() == 2; }));
        QVERIFY(waitFor([&] { return fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27)).size() == 22; }));

        // A file written again with what it held: noted, but no change.
        QVERIFY(waitFor([&] { return fixture.provider->pendingChangeCount() == 0; }));
        changed.clear();
        writeFile(fixture.calendarPath() + "/a.ics", readFile(fixture.calendarPath() + "/a.ics"));
        QVERIFY(waitFor([&] { return fixture.provider->pendingChangeCount() == 1; }));
        fixture.provider->flushPendingChanges();
        QCOMPARE(changed.size(), 0);
    }

    // Without anybody flushing, the quiet interval applies changes by itself.
    void changesArriveWithoutBeingAskedFor()
    {
        VdirFixture fixture;
        CalendarStore &store = fixture.start();
        QSignalSpy changed(&store, &CalendarStore::changed);
        fixture.addEvent("late.ics", singleEvent("UID:late\r\nDTSTART:20260326T110000Z\r\n"));
        QVERIFY(changed.wait(5000));
        QCOMPARE(fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27)).size(), 1);
    }

    // Another program rewriting a file in place (truncate, then write) can be
    // caught in between: the events it had stay until it is written or has
    // stayed broken for a while.
    void fileCaughtHalfWrittenKeepsItsEvents()
    {
        VdirFixture fixture;
        const QString path = fixture.calendarPath() + "/a.ics";
        fixture.addEvent("a.ics", singleEvent("UID:a\r\nSUMMARY:Before\r\nDTSTART:20260326T080000Z\r\n"));
        fixture.start();
        auto titles = [&] { return titlesOf(fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27))); };

        writeFile(path, QByteArray()); // truncated
        QVERIFY(waitFor([&] { return fixture.provider->pendingChangeCount() == 1; }));
        fixture.provider->flushPendingChanges();
        QCOMPARE(titles(), QStringList {"Before"});
        QCOMPARE(fixture.provider->pendingChangeCount(), 1); // looked at again once quiet

        writeFile(path, singleEvent("UID:a\r\nSUMMARY:After\r\nDTSTART:20260326T080000Z\r\n"));
        fixture.provider->flushPendingChanges();
        QCOMPARE(titles(), QStringList {"After"});

        // Half a file that stays that way is believed in the end.
        writeFile(path, "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:a\r\nSUMM");
        QVERIFY(waitFor([&] { return fixture.provider->pendingChangeCount() == 1; }));
        fixture.provider->flushPendingChanges();
        QCOMPARE(titles(), QStringList {"After"});
        QVERIFY(waitFor([&] { return titles().isEmpty(); }, 10000));
    }

    // An event saved while the first load is still running is not lost when
    // the load's result arrives.
    void eventSavedDuringTheFirstLoadIsKept()
    {
        VdirFixture fixture;
        fixture.addEvent("old.ics", singleEvent("UID:old\r\nSUMMARY:Old\r\nDTSTART:20260326T080000Z\r\n"));
        fixture.store = std::make_unique<CalendarStore>();
        fixture.provider = new LocalFolderProvider(fixture.root, {}, fixture.clock);
        fixture.store->addProvider(fixture.provider);
        QSemaphore saved;
        fixture.provider->setLoadFinishingHook([&saved] { saved.acquire(); });
        fixture.provider->start();

        QVERIFY(fixture.store
                    ->saveEvent(newEvent(fixture.calendarId(), QStringLiteral("Saved while loading"),
                        QDateTime(QDate(2026, 3, 26), QTime(12, 0), Berlin),
                        QDateTime(QDate(2026, 3, 26), QTime(12, 30), Berlin)))
                    .ok);
        saved.release();
        QVERIFY(fixture.store->waitUntilLoaded(10000));
        QCOMPARE(titlesOf(fixture.eventsOn(QDate(2026, 3, 26), QDate(2026, 3, 27))),
            (QStringList {"Old", "Saved while loading"}));
    }

    // Removing an occurrence rewrites the file only if it is still what was
    // read; another program's edit in between is kept.
    void removalNeverOverwritesAnotherProgramsEdit()
    {
        VdirFixture fixture;
        const QString path = fixture.calendarPath() + "/series.ics";
        fixture.addEvent("series.ics",
            singleEvent("UID:s\r\nSUMMARY:Gym\r\nDTSTART:20260323T170000Z\r\nRRULE:FREQ=DAILY;COUNT=5\r\n"));
        CalendarStore &store = fixture.start();
        const QList<CalendarEvent> events = fixture.eventsOn(QDate(2026, 3, 23), QDate(2026, 3, 28));
        QCOMPARE(events.size(), 5);

        // Once: the removal is made again on the edited file.
        int edits = 0;
        IcsWriter::setBeforeCommitHook([&](const QString &) {
            if (edits++ == 0)
                writeFile(path, readFile(path).replace("SUMMARY:Gym", "SUMMARY:Gym with Anna"));
        });
        QVERIFY(store.removeEvent(events[1]).ok);
        QByteArray text = readFile(path);
        QVERIFY(text.contains("Gym with Anna"));
        QCOMPARE(text.count("EXDATE"), 1);

        // Every time: the removal is given up, the other program's edit stays.
        IcsWriter::setBeforeCommitHook([&](const QString &) {
            writeFile(path, readFile(path) + "X-EDIT:" + QByteArray::number(edits++) + "\r\n");
        });
        const StoreResult result = store.removeEvent(events[2]);
        IcsWriter::setBeforeCommitHook({});
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains("another program"), qPrintable(result.error));
        text = readFile(path);
        QCOMPARE(text.count("EXDATE"), 1);
        QVERIFY(text.contains("X-EDIT:"));
        QVERIFY(!QDir(fixture.calendarPath()).entryList(QDir::Hidden | QDir::Files).join(' ').contains(".series.ics."));
    }

    void extraRootsFromTheSettingsAreRead()
    {
        VdirFixture vdirsyncer;
        vdirsyncer.addEvent(
            "x.ics", singleEvent("UID:x\r\nSUMMARY:Synced\r\nDTSTART:20260326T080000Z\r\n"), "calendar");
        QTemporaryDir config;
        QSettings ini(config.path() + "/brivane.conf", QSettings::IniFormat);
        ini.setValue("calendarFolders", QStringList {vdirsyncer.root});
        ini.sync();
        AppSettings settings(config.path() + "/brivane.conf");
        FixedClock clock(QDateTime(QDate(2026, 3, 26), QTime(6, 0), Berlin), Berlin);
        std::unique_ptr<CalendarStore> store = createCalendarStore(settings, clock);
        QVERIFY(store->waitUntilLoaded(5000));
        const QList<CalendarEvent> events = store->events(clock.now(), clock.now().addDays(1));
        QCOMPARE(events.size(), 1);
        QCOMPARE(events[0].title, QStringLiteral("Synced"));
        QCOMPARE(store->sources().size(), 2); // "Local" and vdirsyncer's account
    }

    void firstEventsAreTheFirstOfTheWholeList()
    {
        // Lists that show their first few events ask only for those: across
        // two providers, with starts shared at the cut and events left out,
        // they must be what the whole list would give.
        VdirFixture first;
        VdirFixture second(first.clock.timeZone(), first.clock.now());
        int n = 0;
        auto add = [&n](VdirFixture &fixture, const char *start, bool allDay) {
            const QByteArray uid = "e" + QByteArray::number(++n);
            fixture.addEvent(QString::fromLatin1(uid) + ".ics",
                singleEvent("UID:" + uid + "\r\nSUMMARY:" + uid
                    + (allDay ? "\r\nDTSTART;VALUE=DATE:" + QByteArray(start).left(8) + "\r\n"
                              : "\r\nDTSTART;TZID=Europe/Berlin:" + QByteArray(start) + "\r\nDURATION:PT30M\r\n")));
        };
        for (const char *start : {"20260325T110000", "20260325T110000", "20260325T110000", "20260325T120000",
                 "20260326T090000", "20260326T090000", "20260327T080000"})
            add(first, start, false);
        // Events that sort first and are left out: the other provider's
        // next events are not the next of all.
        for (const char *day : {"20260325", "20260325", "20260325", "20260326", "20260326"})
            add(first, day, true);
        for (const char *start : {"20260325T103000", "20260325T110000", "20260326T083000", "20260328T070000"})
            add(second, start, false);
        add(second, "20260327", true);

        CalendarStore store;
        for (VdirFixture *fixture : {&first, &second}) {
            auto *provider = new LocalFolderProvider(fixture->root, {}, first.clock);
            store.addProvider(provider);
            provider->start();
        }
        QVERIFY(store.waitUntilLoaded(10000));
        const QDateTime from(QDate(2026, 3, 25), QTime(10, 0), Berlin);
        const QDateTime to = from.addDays(7);
        auto keys = [](const QList<CalendarEvent> &events) {
            QStringList all;
            for (const CalendarEvent &event : events)
                all.append(event.title + QLatin1Char('@') + event.start.toString(Qt::ISODate));
            return all;
        };
        const std::function<bool(const CalendarEvent &)> allDay = [](const CalendarEvent &e) { return e.allDay; };
        for (const auto &leftOut : {std::function<bool(const CalendarEvent &)>(), allDay}) {
            QList<CalendarEvent> whole = store.events(from, to);
            QCOMPARE(whole.size(), 17);
            if (leftOut)
                whole.removeIf(leftOut);
            for (qsizetype count = 0; count <= whole.size() + 1; ++count)
                QCOMPARE(keys(store.firstEvents(from, to, {}, count, leftOut)), keys(whole.mid(0, count)));
        }
    }
};

BRIVANE_TEST_MAIN(LocalStoreTest)
#include "tst_localstore.moc"
