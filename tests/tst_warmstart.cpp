// SPDX-License-Identifier: GPL-3.0-or-later
// Starting warm: the index of parsed files kept between runs, and commands
// that take their answer from the running instance.
#include "TestSupport.h"

#include "app/InstanceAnswers.h"
#include "app/InstanceClient.h"
#include "app/Launcher.h"
#include "calendar/IcsParser.h"
#include "calendar/PersistentIndex.h"
#include "calendar/RecurrenceExpander.h"
#include "calendar/RecurrenceRules.h"
#include "calendar/SafeFile.h"
#include "calendar/TimeZoneRegistry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QProcess>
#include <QtConcurrent>

#include <QtEndian>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>

using namespace TestSupport;

namespace {

QByteArray timedEvent(const char *uid, const char *title, const char *start)
{
    return singleEvent(QByteArray("UID:") + uid + "\r\nSUMMARY:" + title + "\r\nDTSTART;TZID=Europe/Berlin:" + start
        + "\r\nDURATION:PT1H\r\n");
}

// A zone only the file defines, one hour ahead of UTC all year.
const QByteArray OfficeZone = "BEGIN:VTIMEZONE\r\nTZID:Office Time\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
                              "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

void setModificationTime(const QString &path, qint64 secondsSinceEpoch)
{
    const timeval times[2] = {{secondsSinceEpoch, 0}, {secondsSinceEpoch, 0}};
    QVERIFY(::utimes(QFile::encodeName(path).constData(), times) == 0);
}

// Puts a modification time back to the nanosecond, as `cp -p` does; the
// access time is left alone.
void restoreModificationTime(const QString &path, qint64 modifiedNs)
{
    const timespec times[2] = {{0, UTIME_OMIT}, {modifiedNs / 1000000000, modifiedNs % 1000000000}};
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
}

// A number as the index writes it.
template<typename T> QByteArray littleEndian(T value)
{
    QByteArray bytes(sizeof(T), Qt::Uninitialized);
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// Where the only place `pattern` is in `bytes` ends; -1 when it is not there once.
qsizetype endOfOnly(const QByteArray &bytes, const QByteArray &pattern)
{
    const qsizetype at = bytes.indexOf(pattern);
    return at >= 0 && bytes.indexOf(pattern, at + 1) < 0 ? at + pattern.size() : -1;
}

// A file's events as text: what must read back the same from an index.
QStringList describe(const ParsedFile &file)
{
    QStringList lines;
    auto time = [](const IcsTime &t) {
        return t.date.toString(Qt::ISODate) + QLatin1Char('T') + t.time.toString(Qt::ISODate) + QLatin1Char('/')
            + QString::number(int(t.kind)) + QLatin1Char('/')
            + (t.zone ? QString::fromUtf8(t.zone->tzid()) : QString());
    };
    auto record = [&](const EventRecord &r) {
        return r.uid + QLatin1Char('|') + r.title + QLatin1Char('|') + time(r.start) + QLatin1Char('|')
            + QString::number(r.durationSeconds) + QLatin1Char('|') + QString::fromUtf8(r.repetition().rrules.join(';'))
            + QLatin1Char('|') + QString::number(r.repetition().exdates.size()) + QLatin1Char('|')
            + time(r.recurrenceId);
    };
    for (const EventSeries &series : file.series()) {
        lines.append(series.key + (series.hasMaster ? QLatin1Char(' ') + record(series.master) : QString()));
        for (const EventRecord &override : series.overrides)
            lines.append(QStringLiteral("  ") + record(override));
    }
    return lines;
}

QStringList titlesOf(const QList<CalendarEvent> &events)
{
    QStringList titles;
    for (const CalendarEvent &event : events)
        titles.append(event.title + QLatin1Char('@') + event.start.toUTC().toString(Qt::ISODate));
    titles.sort();
    return titles;
}

// A store over a vdir root that keeps its index in the same temporary folder.
class IndexedStore
{
public:
    explicit IndexedStore(VdirFixture &fixture)
        : m_fixture(fixture)
    {
        store = std::make_unique<CalendarStore>();
        provider = new LocalFolderProvider(fixture.root, {}, fixture.clock);
        provider->setIndexPath(indexPath(fixture));
        provider->setIndexSettleNs(0);
        store->addProvider(provider);
        provider->start();
        if (!store->waitUntilLoaded(10000))
            qFatal("the store did not load");
    }

    static QString indexPath(const VdirFixture &fixture) { return fixture.dir.path() + "/cache/calendar-index"; }

    // The titles over [from, to) of a first load, which then writes its index.
    static QStringList titlesOfColdLoad(VdirFixture &fixture, QDate from, QDate to)
    {
        const IndexedStore cold(fixture);
        const QStringList titles = cold.titles(from, to);
        cold.provider->writeIndexNow();
        return titles;
    }

    QStringList titles(QDate from, QDate to) const
    {
        const QTimeZone zone = m_fixture.clock.timeZone();
        return titlesOf(store->events(QDateTime(from, QTime(0, 0), zone), QDateTime(to, QTime(0, 0), zone)));
    }

    std::unique_ptr<CalendarStore> store;
    LocalFolderProvider *provider = nullptr;

private:
    VdirFixture &m_fixture;
};

} // namespace

class WarmStartTest : public QObject
{
    Q_OBJECT

    const QDate m_day {2026, 3, 25};

    void writeThreeEvents(VdirFixture &fixture)
    {
        fixture.addEvent("a.ics", timedEvent("a", "Alpha", "20260325T090000"));
        fixture.addEvent("b.ics", timedEvent("b", "Bravo", "20260325T100000"));
        fixture.addEvent("c.ics",
            calendarWith(OfficeZone
                + "BEGIN:VEVENT\r\nUID:c\r\nSUMMARY:Charlie\r\nDTSTART;TZID=Office Time:20260325T120000\r\n"
                  "DURATION:PT1H\r\nRRULE:FREQ=DAILY;COUNT=3\r\nEND:VEVENT\r\n"));
    }

private slots:
    void warmStartParsesOnlyWhatChanged()
    {
        VdirFixture fixture;
        writeThreeEvents(fixture);
        QStringList coldTitles;
        {
            IndexedStore cold(fixture);
            QCOMPARE(cold.provider->filesParsed(), 3);
            coldTitles = cold.titles(m_day, m_day.addDays(3));
            QCOMPARE(coldTitles.size(), 5);
            cold.provider->writeIndexNow();
        }
        const QFileInfo written(IndexedStore::indexPath(fixture));
        QVERIFY(written.isFile());
        QCOMPARE(written.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        {
            // Nothing changed: everything from the index, the same events
            // (the file's own zone included).
            IndexedStore warm(fixture);
            QCOMPARE(warm.provider->filesFromIndex(), 3);
            QCOMPARE(warm.provider->filesParsed(), 0);
            QCOMPARE(warm.titles(m_day, m_day.addDays(3)), coldTitles);
        }

        // Same size, new content, another time: read again. A file gone and
        // a new one are noticed too.
        const QString bravo = fixture.calendarPath() + "/b.ics";
        const QByteArray before = readFile(bravo);
        writeFile(bravo, timedEvent("b", "Bingo", "20260325T100000"));
        QCOMPARE(readFile(bravo).size(), before.size());
        setModificationTime(bravo, 1700000000);
        QVERIFY(QFile::remove(fixture.calendarPath() + "/a.ics"));
        fixture.addEvent("d.ics", timedEvent("d", "Delta", "20260326T080000"));

        IndexedStore afterChanges(fixture);
        QCOMPARE(afterChanges.provider->filesFromIndex(), 1);
        QCOMPARE(afterChanges.provider->filesParsed(), 2);
        const QStringList titles = afterChanges.titles(m_day, m_day.addDays(3));
        QVERIFY(titles.contains("Bingo@2026-03-25T09:00:00Z"));
        QVERIFY(titles.contains("Delta@2026-03-26T07:00:00Z"));
        QVERIFY(!titles.join(' ').contains("Alpha"));
        QVERIFY(!titles.join(' ').contains("Bravo"));
    }

    void rewriteKeepingSizeAndModificationTimeIsReadAgain()
    {
        // What `cp -p`, `rsync -t --inplace` and some sync tools do: new
        // content of the same size written into the same file, its old
        // modification time put back. Only the change time tells.
        VdirFixture fixture;
        writeThreeEvents(fixture);
        IndexedStore::titlesOfColdLoad(fixture, m_day, m_day.addDays(1));
        const QString bravo = fixture.calendarPath() + "/b.ics";
        const SafeFile::FileStamp before = SafeFile::stampOf(bravo);
        writeFile(bravo, timedEvent("b", "Bingo", "20260325T100000"));
        // Setting the times is a change too: the change time moves on at the
        // file system's next tick, whenever that comes.
        QDeadlineTimer deadline(10000);
        do
            restoreModificationTime(bravo, before.modifiedNs);
        while (SafeFile::stampOf(bravo).changedNs == before.changedNs && !deadline.hasExpired());
        const SafeFile::FileStamp after = SafeFile::stampOf(bravo);
        QVERIFY(after.changedNs != before.changedNs);
        QCOMPARE(after.size, before.size);
        QCOMPARE(after.modifiedNs, before.modifiedNs);
        QCOMPARE(after.inode, before.inode);

        IndexedStore warm(fixture);
        QCOMPARE(warm.provider->filesFromIndex(), 2);
        QCOMPARE(warm.provider->filesParsed(), 1);
        const QStringList titles = warm.titles(m_day, m_day.addDays(1));
        QVERIFY(titles.contains("Bingo@2026-03-25T09:00:00Z"));
        QVERIFY(!titles.join(' ').contains("Bravo"));
    }

    void occurrencesKeptForOneDayAreNotUsedOnAnother()
    {
        // The index keeps the expanded occurrences of the window around the
        // day it was written; another day's window is expanded anew.
        VdirFixture fixture;
        writeThreeEvents(fixture);
        fixture.addEvent("weekly.ics",
            singleEvent("UID:w\r\nSUMMARY:Weekly\r\nDTSTART;TZID=Europe/Berlin:20260302T080000\r\n"
                        "DURATION:PT1H\r\nRRULE:FREQ=WEEKLY\r\n"));
        {
            IndexedStore written(fixture);
            written.provider->writeIndexNow();
        }
        fixture.clock.setNow(fixture.clock.now().addDays(60));
        const QDate later = m_day.addDays(60);
        IndexedStore warm(fixture);
        QCOMPARE(warm.provider->filesParsed(), 0);
        const QStringList warmTitles = warm.titles(later, later.addDays(7));
        // The warm store writes the new day's index in the background; let it
        // finish before taking the index away, or it comes back.
        warm.provider->writeIndexNow();
        QVERIFY(QFile::remove(IndexedStore::indexPath(fixture)));
        IndexedStore cold(fixture);
        QCOMPARE(cold.provider->filesParsed(), 4);
        QCOMPARE(warmTitles, cold.titles(later, later.addDays(7)));
        QCOMPARE(warmTitles.size(), 1); // the weekly one, after the summer time change
        QCOMPARE(warmTitles.first(), QString("Weekly@2026-05-25T06:00:00Z"));
    }

    void extremeLengthsSurviveTheIndex()
    {
        // Lengths far beyond any calendar, as damaged or hostile files give
        // them: read the same from the index as from the file.
        VdirFixture fixture;
        fixture.addEvent("weeks.ics",
            singleEvent("UID:weeks\r\nSUMMARY:Weeks\r\nDTSTART;TZID=Europe/Berlin:20260325T090000\r\n"
                        "DURATION:P999999999W\r\nRRULE:FREQ=DAILY;COUNT=2\r\n"));
        fixture.addEvent("days.ics",
            singleEvent("UID:days\r\nSUMMARY:Days\r\nDTSTART;VALUE=DATE:20260325\r\nDURATION:P4294967295DT23H\r\n"));
        fixture.addEvent("ends.ics",
            singleEvent("UID:ends\r\nSUMMARY:Ends\r\nDTSTART:00010101T000000Z\r\nDTEND:99991231T235959Z\r\n"));
        const QStringList coldTitles = IndexedStore::titlesOfColdLoad(fixture, m_day, m_day.addDays(2));
        QCOMPARE(coldTitles.size(), 4);
        IndexedStore warm(fixture);
        QCOMPARE(warm.provider->filesFromIndex(), 3);
        QCOMPARE(warm.titles(m_day, m_day.addDays(2)), coldTitles);
    }

    void ruleHandlingIsNotTakenFromTheIndex()
    {
        // An hourly rule whose days never come: the parser marks it so that
        // nobody iterates it. An index claiming it may go to libical (which
        // would take hours over it) is not believed.
        VdirFixture fixture;
        fixture.addEvent("never.ics",
            singleEvent("UID:n\r\nSUMMARY:Never\r\nDTSTART:20260325T090000Z\r\nDURATION:PT1H\r\n"
                        "RRULE:FREQ=HOURLY;BYMONTH=2;BYMONTHDAY=30\r\n"));
        const QString path = fixture.calendarPath() + "/never.ics";
        ParsedFile parsed = IcsParser::readFile(path, "cal", IcsParser::Details::Omit);
        QCOMPARE(parsed.series().size(), size_t(1));
        const RecurrenceRules::Plan planned = parsed.series()[0].master.repetition().rrulePlans.value(0);
        QCOMPARE(planned, RecurrenceRules::Plan::NothingAfterStart);

        RecurrenceSet claimed = parsed.series()[0].master.repetition();
        claimed.rrulePlans = {RecurrenceRules::Plan::Libical};
        parsed.editSeries()[0].master.recurrence = std::make_shared<const RecurrenceSet>(claimed);
        parsed.stamp = SafeFile::stampOf(path);
        parsed.readAtNs = parsed.stamp.changedNs + PersistentIndex::SettleNs;
        const QString index = IndexedStore::indexPath(fixture);
        writeFile(index, PersistentIndex::toBytes({std::make_shared<const ParsedFile>(parsed)}));
        const PersistentIndex::Contents contents = PersistentIndex::read(index);
        QCOMPARE(contents.size(), 1);
        QCOMPARE(contents.files.value(QFile::encodeName(path))->series()[0].master.repetition().rrulePlans.value(0),
            planned);
    }

    void indexedEventsAreDecodedOnlyWhenAskedFor()
    {
        // Files taken from the index keep their events encoded; writing the
        // index again copies them without decoding, beside newly parsed
        // files whose zones the first index did not have.
        VdirFixture fixture;
        writeThreeEvents(fixture);
        fixture.addEvent("moved.ics",
            singleEvent("UID:m\r\nSUMMARY:Moved\r\nDTSTART;TZID=Europe/Berlin:20260302T080000\r\n"
                        "DURATION:PT1H\r\nRRULE:FREQ=WEEKLY;COUNT=5\r\nEXDATE;TZID=Europe/Berlin:20260309T080000\r\n"
                        "END:VEVENT\r\nBEGIN:VEVENT\r\nUID:m\r\nSUMMARY:Moved once\r\n"
                        "RECURRENCE-ID;TZID=Europe/Berlin:20260316T080000\r\n"
                        "DTSTART;TZID=Europe/Berlin:20260316T100000\r\nDURATION:PT2H\r\n"));
        auto parse = [&fixture](const QString &name) {
            auto file = std::make_shared<ParsedFile>(IcsParser::readFile(fixture.calendarPath() + '/' + name, "cal"));
            file->readAtNs = file->stamp.changedNs + PersistentIndex::SettleNs;
            return file;
        };
        std::vector<PersistentIndex::FilePtr> first;
        QHash<QString, QStringList> expected;
        for (const QString name : {"a.ics", "b.ics", "c.ics", "moved.ics"}) {
            first.push_back(parse(name));
            expected.insert(first.back()->path(), describe(*first.back()));
        }
        const PersistentIndex::Contents read = PersistentIndex::fromBytes(PersistentIndex::toBytes(first));
        QCOMPARE(read.size(), 4);
        for (const PersistentIndex::FilePtr &file : read.files)
            QVERIFY(!file->seriesDecoded());

        fixture.addEvent("harbour.ics",
            calendarWith("BEGIN:VTIMEZONE\r\nTZID:Harbour Time\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
                         "TZOFFSETFROM:-0300\r\nTZOFFSETTO:-0300\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n"
                         "BEGIN:VEVENT\r\nUID:h\r\nSUMMARY:Harbour\r\nDTSTART;TZID=Harbour Time:20260325T070000\r\n"
                         "DURATION:PT1H\r\nEND:VEVENT\r\n"));
        std::vector<PersistentIndex::FilePtr> second {parse("harbour.ics")};
        expected.insert(second.back()->path(), describe(*second.back()));
        // One of the files decoded before the write, the others not.
        const PersistentIndex::FilePtr decodedEarly
            = read.files.value(QFile::encodeName(fixture.calendarPath() + "/c.ics"));
        QCOMPARE(describe(*decodedEarly), expected.value(decodedEarly->path()));
        for (const PersistentIndex::FilePtr &file : read.files)
            second.push_back(file);
        const PersistentIndex::Contents again = PersistentIndex::fromBytes(PersistentIndex::toBytes(second));
        for (const PersistentIndex::FilePtr &file : read.files)
            QCOMPARE(file->seriesDecoded(), file == decodedEarly);
        QCOMPARE(again.size(), 5);
        for (const PersistentIndex::FilePtr &file : again.files)
            QCOMPARE(describe(*file), expected.value(file->path()));

        // Asked for on several threads at once, a file is decoded once.
        const PersistentIndex::FilePtr moved
            = again.files.value(QFile::encodeName(fixture.calendarPath() + "/moved.ics"));
        const std::vector<PersistentIndex::FilePtr> askers(64, moved);
        const QList<const EventSeries *> seen = QtConcurrent::blockingMapped<QList<const EventSeries *>>(
            askers, [](const PersistentIndex::FilePtr &file) { return file->series().data(); });
        QCOMPARE(QSet<const EventSeries *>(seen.begin(), seen.end()).size(), 1);
        QCOMPARE(moved->series().front().overrides.size(), size_t(1));
    }

    void eventsStayWithTheIndexFileTheyWereReadFrom()
    {
        // The store keeps no copy of the events of an index read from disk:
        // they are read from the open file as they are asked for. Replacing
        // the index (as the next write does) or deleting it changes nothing
        // of what the files read from it hold.
        VdirFixture fixture;
        writeThreeEvents(fixture);
        const QString index = IndexedStore::indexPath(fixture);
        std::vector<PersistentIndex::FilePtr> parsed;
        QHash<QString, QStringList> expected;
        for (const QString name : {"a.ics", "b.ics", "c.ics"}) {
            auto file = std::make_shared<ParsedFile>(IcsParser::readFile(fixture.calendarPath() + '/' + name, "cal"));
            file->readAtNs = file->stamp.changedNs + PersistentIndex::SettleNs;
            expected.insert(file->path(), describe(*file));
            parsed.push_back(std::move(file));
        }
        QVERIFY(PersistentIndex::write(index, parsed));
        const PersistentIndex::Contents read = PersistentIndex::read(index);
        QCOMPARE(read.size(), 3);
        QVERIFY(PersistentIndex::write(index, {parsed.front()}));
        QVERIFY(QFile::remove(index));

        // Copied into a new index without being decoded.
        QVERIFY(PersistentIndex::write(index + ".2", read.inRecordOrder));
        for (const PersistentIndex::FilePtr &file : read.files)
            QVERIFY(!file->seriesDecoded());
        const PersistentIndex::Contents copied = PersistentIndex::read(index + ".2");
        QCOMPARE(copied.size(), 3);
        for (const PersistentIndex::FilePtr &file : copied.files)
            QCOMPARE(describe(*file), expected.value(file->path()));
        for (const PersistentIndex::FilePtr &file : read.files)
            QCOMPARE(describe(*file), expected.value(file->path()));
    }

    void indexChangedInPlaceGivesWayToTheFiles_data()
    {
        QTest::addColumn<bool>("truncate");
        QTest::newRow("overwritten") << false;
        QTest::newRow("truncated") << true;
    }

    void indexChangedInPlaceGivesWayToTheFiles()
    {
        // Something else writes into the index file the store reads its
        // events from. Never a crash and never its bytes: the events come
        // from their own files, and a write leaves out what it cannot read.
        QFETCH(bool, truncate);
        VdirFixture fixture;
        writeThreeEvents(fixture);
        const QStringList titles = IndexedStore::titlesOfColdLoad(fixture, m_day, m_day.addDays(3));
        QCOMPARE(titles.size(), 5);
        IndexedStore warm(fixture);
        QCOMPARE(warm.provider->filesFromIndex(), 3);
        warm.provider->writeIndexNow();
        const QString index = IndexedStore::indexPath(fixture);
        const PersistentIndex::Contents read = PersistentIndex::read(index);
        QCOMPARE(read.size(), 3);

        QFile damaged(index);
        QVERIFY(damaged.open(QIODevice::ReadWrite));
        if (truncate) {
            QVERIFY(damaged.resize(PersistentIndex::HeaderBytes + 8));
        } else {
            QVERIFY(damaged.seek(PersistentIndex::HeaderBytes));
            damaged.write(QByteArray(damaged.size() - PersistentIndex::HeaderBytes, '\xff'));
        }
        damaged.close();

        // The running store: each file's events read from the file itself.
        const QRegularExpression fellBack("could not be read again; reading the file");
        for (int i = 0; i < 3; ++i)
            QTest::ignoreMessage(QtWarningMsg, fellBack);
        QCOMPARE(warm.titles(m_day, m_day.addDays(3)), titles);

        // A write of files still encoded keeps none of them.
        QVERIFY(PersistentIndex::write(index + ".2", read.inRecordOrder));
        QVERIFY(PersistentIndex::read(index + ".2").isEmpty());
        for (int i = 0; i < 3; ++i)
            QTest::ignoreMessage(QtWarningMsg, fellBack);
        for (const PersistentIndex::FilePtr &file : read.files) {
            QVERIFY(!file->seriesDecoded());
            QCOMPARE(describe(*file), describe(IcsParser::readFile(file->path(), "cal")));
        }

        // A file changed meanwhile may hold fewer events than its kept
        // occurrences point at: those read as an empty event.
        const ParsedFile alpha = IcsParser::readFile(fixture.calendarPath() + "/a.ics", "cal");
        QCOMPARE(Occurrence({0, 0, &alpha, 0, -1, nullptr}).record().title, QString("Alpha"));
        QVERIFY(Occurrence({0, 0, &alpha, 5, -1, nullptr}).record().title.isEmpty());
        QVERIFY(Occurrence({0, 0, &alpha, 0, 2, nullptr}).record().title.isEmpty());
    }

    void samePathTwiceIsDamage()
    {
        // Records whose checksum holds but that name one file twice (only a
        // hand-made index does): refused whole.
        VdirFixture fixture;
        fixture.addEvent("a.ics", timedEvent("a", "Alpha", "20260325T090000"));
        auto file = std::make_shared<ParsedFile>(IcsParser::readFile(fixture.calendarPath() + "/a.ics", "cal"));
        file->readAtNs = file->stamp.changedNs + PersistentIndex::SettleNs;
        QCOMPARE(PersistentIndex::fromBytes(PersistentIndex::toBytes({file})).size(), 1);
        QString problem;
        QVERIFY(PersistentIndex::fromBytes(PersistentIndex::toBytes({file, file}), &problem).isEmpty());
        QCOMPARE(problem, QString("damaged records"));
    }

    void entryOnePastTheEndOfATableIsDamage_data()
    {
        QTest::addColumn<QString>("table");
        for (const char *table : {"zones", "folders", "calendars", "series", "overrides"})
            QTest::newRow(table) << QString(table);
    }

    void entryOnePastTheEndOfATableIsDamage()
    {
        // Records whose checksum holds but that name the entry just past the
        // end of a table (the zones, folders and calendars records share; a
        // file's series and a series' overrides, which the kept occurrences
        // name): refused whole, never read. The file before has two series:
        // a series of the neighbour's is no series of this file's.
        QFETCH(QString, table);
        const QTimeZone berlin("Europe/Berlin");
        VdirFixture fixture;
        fixture.addEvent("pair.ics",
            calendarWith("BEGIN:VEVENT\r\nUID:p1\r\nSUMMARY:One\r\nDTSTART;TZID=Europe/Berlin:20260325T130000\r\n"
                         "END:VEVENT\r\nBEGIN:VEVENT\r\nUID:p2\r\nSUMMARY:Two\r\n"
                         "DTSTART;TZID=Europe/Berlin:20260325T140000\r\nEND:VEVENT\r\n"));
        fixture.addEvent("review.ics",
            calendarWith("BEGIN:VEVENT\r\nUID:r\r\nSUMMARY:Review\r\nDTSTART;TZID=Europe/Berlin:20260325T091500\r\n"
                         "DURATION:PT1H\r\nRRULE:FREQ=DAILY;COUNT=2\r\nEND:VEVENT\r\n"
                         "BEGIN:VEVENT\r\nUID:r\r\nSUMMARY:Review moved\r\n"
                         "RECURRENCE-ID;TZID=Europe/Berlin:20260326T091500\r\n"
                         "DTSTART;TZID=Europe/Berlin:20260326T101500\r\nDURATION:PT1H\r\nEND:VEVENT\r\n"));
        auto parse = [&fixture](const QString &name) {
            auto file = std::make_shared<ParsedFile>(IcsParser::readFile(fixture.calendarPath() + '/' + name, "cal"));
            file->readAtNs = file->stamp.changedNs + PersistentIndex::SettleNs;
            return file;
        };
        const auto pair = parse("pair.ics");
        const auto review = parse("review.ics");
        QCOMPARE(pair->series().size(), size_t(2));
        const qint64 first = QDateTime(m_day, QTime(9, 15), berlin).toMSecsSinceEpoch();
        const qint64 moved = QDateTime(m_day.addDays(1), QTime(10, 15), berlin).toMSecsSinceEpoch();
        PersistentIndex::Window window;
        window.fromMs = first - 86400000;
        window.toMs = moved + 86400000;
        window.zoneId = "Europe/Berlin";
        window.occurrences = {{first, first + 3600000, 0, -1}, {moved, moved + 3600000, 0, 0}};
        window.ranges = {{review.get(), 0, 2}};
        const QByteArray payload = PersistentIndex::toBytes({pair, review}, window).mid(PersistentIndex::HeaderBytes);
        const PersistentIndex::Contents intact = PersistentIndex::fromPayload(payload);
        QCOMPARE(intact.size(), 2);
        QCOMPARE(intact.window.occurrences.size(), size_t(2));

        // Every table the review's record names has a single entry, 0: 1 is
        // just past its end. Where each is named: after the master's start
        // (its zone), before and after the file's name (folder, calendar),
        // after an occurrence's start and end (its series, then its override).
        const QString name = QStringLiteral("review.ics");
        const QByteArray namePattern = littleEndian<quint32>(quint32(name.size()))
            + QByteArray(reinterpret_cast<const char *>(name.utf16()), name.size() * 2);
        QByteArray pattern;
        qsizetype fromEnd = 0;
        if (table == "zones") {
            pattern = littleEndian<qint64>(m_day.toJulianDay())
                + littleEndian<qint32>(QTime(9, 15).msecsSinceStartOfDay())
                + littleEndian<quint8>(quint8(TimeKind::Zoned));
        } else if (table == "folders") {
            pattern = namePattern;
            fromEnd = -namePattern.size() - 4;
        } else if (table == "calendars") {
            pattern = namePattern;
        } else if (table == "series") {
            pattern = littleEndian<qint64>(first) + littleEndian<qint64>(first + 3600000);
        } else {
            pattern = littleEndian<qint64>(moved) + littleEndian<qint64>(moved + 3600000);
            fromEnd = 4;
        }
        const qsizetype end = endOfOnly(payload, pattern);
        QVERIFY(end > 0);
        const qsizetype at = end + fromEnd;
        QCOMPARE(payload.mid(at, 4), littleEndian<quint32>(0));
        QByteArray damaged = payload;
        damaged.replace(at, 4, littleEndian<quint32>(1));
        QString problem;
        QVERIFY(PersistentIndex::fromPayload(damaged, &problem).isEmpty());
        QCOMPARE(problem, QString("damaged records"));
    }

    void recordsOutOfTheListingsOrderAreUsedAndPutInOrder()
    {
        // Two calendars of 40 files; the index's records reversed, as an
        // index of before a folder's entries were reordered would be.
        VdirFixture fixture;
        for (int i = 0; i < 40; ++i) {
            const QByteArray uid = "e" + QByteArray::number(i);
            fixture.addEvent(QString("%1.ics").arg(i), timedEvent(uid, uid, "20260325T090000"),
                i % 2 ? QStringLiteral("work") : QStringLiteral("home"));
        }
        const QStringList coldTitles = IndexedStore::titlesOfColdLoad(fixture, m_day, m_day.addDays(1));
        QCOMPARE(coldTitles.size(), 40);
        const QString indexPath = IndexedStore::indexPath(fixture);
        PersistentIndex::Contents written = PersistentIndex::read(indexPath);
        QCOMPARE(written.inRecordOrder.size(), size_t(40));
        std::vector<PersistentIndex::FilePtr> reversed(written.inRecordOrder.rbegin(), written.inRecordOrder.rend());
        QVERIFY(PersistentIndex::write(indexPath, reversed, written.window, nullptr, 0));

        {
            IndexedStore warm(fixture);
            QCOMPARE(warm.provider->filesFromIndex(), 40);
            QCOMPARE(warm.provider->filesParsed(), 0);
            QCOMPARE(warm.titles(m_day, m_day.addDays(1)), coldTitles);
            warm.provider->writeIndexNow();
        }
        // Written again, in the order the folders list their files.
        QStringList listed;
        for (const QString &calendar : {QStringLiteral("home"), QStringLiteral("work")}) {
            for (const QString &name : SafeFile::listFolder(fixture.calendarPath(calendar)).files)
                listed.append(fixture.calendarPath(calendar) + QLatin1Char('/') + name);
        }
        QStringList recorded;
        for (const PersistentIndex::FilePtr &file : PersistentIndex::read(indexPath).inRecordOrder)
            recorded.append(file->path());
        QCOMPARE(recorded, listed);

        IndexedStore again(fixture);
        QCOMPARE(again.provider->filesFromIndex(), 40);
        QCOMPARE(again.titles(m_day, m_day.addDays(1)), coldTitles);
    }

    void pathsOutsideAsciiKeepTheirFilesAcrossTheIndex()
    {
        VdirFixture fixture;
        const QStringList names {"Grüße zum Fest.ics", "日本の会議.ics", "plain.ics"};
        for (qsizetype i = 0; i < names.size(); ++i) {
            const QByteArray uid = "u" + QByteArray::number(i);
            fixture.addEvent(names[i],
                singleEvent("UID:" + uid + "\r\nSUMMARY:" + uid
                    + "\r\nDTSTART;TZID=Europe/Berlin:20260325T090000\r\nDURATION:PT1H\r\nLOCATION:Room " + uid
                    + "\r\n"));
        }
        const QStringList coldTitles = IndexedStore::titlesOfColdLoad(fixture, m_day, m_day.addDays(1));
        QCOMPARE(coldTitles.size(), 3);
        IndexedStore warm(fixture);
        QCOMPARE(warm.provider->filesFromIndex(), 3);
        QCOMPARE(warm.provider->filesParsed(), 0);
        QCOMPARE(warm.titles(m_day, m_day.addDays(1)), coldTitles);
        // Each event still leads to its file: its details are read from it.
        const QTimeZone zone = fixture.clock.timeZone();
        const QList<CalendarEvent> events
            = warm.store->events(QDateTime(m_day, QTime(0, 0), zone), QDateTime(m_day.addDays(1), QTime(0, 0), zone));
        QCOMPARE(events.size(), 3);
        for (const CalendarEvent &event : events)
            QCOMPARE(warm.store->eventDetails(event).location, "Room " + event.title);

        // A file removed behind the store's back is gone from it.
        QVERIFY(QFile::remove(fixture.calendarPath() + "/" + names[1]));
        IndexedStore after(fixture);
        QCOMPARE(after.provider->fileCount(), 2);
        QCOMPARE(after.titles(m_day, m_day.addDays(1)), (QStringList {coldTitles[0], coldTitles[2]}));
    }

    void changesWhileRunningReachTheIndex()
    {
        VdirFixture fixture;
        writeThreeEvents(fixture);
        {
            IndexedStore running(fixture);
            fixture.addEvent("a.ics", timedEvent("a", "Alpha two", "20260325T090000"));
            QTRY_VERIFY(running.provider->pendingChangeCount() > 0);
            running.provider->flushPendingChanges();
            running.provider->writeIndexNow();
        }
        IndexedStore next(fixture);
        QCOMPARE(next.provider->filesParsed(), 0);
        QVERIFY(next.titles(m_day, m_day.addDays(1)).contains("Alpha two@2026-03-25T08:00:00Z"));
    }

    void damagedIndexIsIgnoredAndWrittenAnew_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("truncated") << "truncated";
        QTest::newRow("one byte flipped") << "flipped";
        QTest::newRow("another version") << "version";
        QTest::newRow("empty") << "empty";
        QTest::newRow("not an index") << "garbage";
        QTest::newRow("length beyond the file") << "length";
    }

    void damagedIndexIsIgnoredAndWrittenAnew()
    {
        QFETCH(QString, damage);
        VdirFixture fixture;
        writeThreeEvents(fixture);
        const QStringList coldTitles = IndexedStore::titlesOfColdLoad(fixture, m_day, m_day.addDays(3));
        const QString path = IndexedStore::indexPath(fixture);
        QByteArray bytes = readFile(path);
        QVERIFY(bytes.size() > 100);
        if (damage == "truncated")
            bytes.chop(bytes.size() / 3);
        else if (damage == "flipped")
            bytes[bytes.size() - 40] = char(bytes[bytes.size() - 40] ^ 0x20);
        else if (damage == "version")
            bytes[8] = char(bytes[8] + 1); // the version follows the 8-byte magic
        else if (damage == "empty")
            bytes.clear();
        else if (damage == "garbage")
            bytes = QByteArray(4096, 'x');
        else if (damage == "length")
            bytes[12] = char(0x7f);
        writeFile(path, bytes);
        QString problem;
        QVERIFY(PersistentIndex::read(path, &problem).isEmpty());
        QVERIFY(!problem.isEmpty());

        IndexedStore afterDamage(fixture);
        QCOMPARE(afterDamage.provider->filesFromIndex(), 0);
        QCOMPARE(afterDamage.provider->filesParsed(), 3);
        QCOMPARE(afterDamage.titles(m_day, m_day.addDays(3)), coldTitles);
        afterDamage.provider->writeIndexNow();
        QCOMPARE(PersistentIndex::read(path).size(), 3);
    }

    void freshlyWrittenFilesStayOutOfTheIndex()
    {
        // Read within the file system's time tick of their last change, a
        // later change could keep the stamp: such files are parsed next time.
        VdirFixture fixture;
        writeThreeEvents(fixture);
        auto store = std::make_unique<CalendarStore>();
        auto *provider = new LocalFolderProvider(fixture.root, {}, fixture.clock);
        provider->setIndexPath(IndexedStore::indexPath(fixture));
        store->addProvider(provider);
        provider->start();
        QVERIFY(store->waitUntilLoaded(10000));
        provider->writeIndexNow();
        QCOMPARE(PersistentIndex::read(IndexedStore::indexPath(fixture)).size(), 0);
    }

    void instanceDeclinesWhatItCannotAnswerAlike()
    {
        VdirFixture fixture;
        fixture.addEvent("a.ics", timedEvent("a", "Alpha", "20260325T090000"));
        CalendarStore &store = fixture.start();
        const QStringList status {"brivane", "--at", "2026-03-25T08:00:00"};
        QVERIFY(InstanceAnswers::answer(
            InstanceClient::questionFor("status", status), store, InstanceAnswers::Zoho::NotConnected));

        QJsonObject elsewhere = QJsonDocument::fromJson(InstanceClient::questionFor("status", status)).object();
        QJsonObject context = elsewhere["context"].toObject();
        context["zone"] = "Asia/Tokyo";
        elsewhere["context"] = context;
        QVERIFY(
            !InstanceAnswers::answer(QJsonDocument(elsewhere).toJson(), store, InstanceAnswers::Zoho::NotConnected));
        // --follow keeps running and --version is no question for it.
        QVERIFY(!InstanceAnswers::answer(InstanceClient::questionFor("status", {"brivane", "--follow"}), store,
            InstanceAnswers::Zoho::NotConnected));
        QVERIFY(!InstanceAnswers::answer(
            InstanceClient::questionFor("status", {"brivane", "--bogus"}), store, InstanceAnswers::Zoho::NotConnected));
        // Zoho would have to be asked: the command syncs for itself.
        QVERIFY(!InstanceAnswers::answer(
            InstanceClient::questionFor("agenda", {"brivane"}), store, InstanceAnswers::Zoho::NotYetKnown));
        QVERIFY(!InstanceAnswers::answer("not json", store, InstanceAnswers::Zoho::NotConnected));
    }

    // A day far from the instance's own weeks would be expanded on the
    // tray's thread, slower than the command alone: declined at once.
    void instanceDeclinesDaysFarFromItsWindow_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("at");
        QTest::addColumn<bool>("answered");
        for (const char *command : {"status", "agenda"}) {
            QTest::addRow("%s today", command) << command << "2026-03-25T08:00:00" << true;
            QTest::addRow("%s tomorrow", command) << command << "2026-03-26T23:00:00" << true;
            QTest::addRow("%s a week that ends in the window", command) << command << "2026-04-26T08:00:00" << true;
            QTest::addRow("%s a week that runs past the window", command) << command << "2026-05-03T08:00:00" << false;
            QTest::addRow("%s a year on", command) << command << "2027-03-25T08:00:00" << false;
            QTest::addRow("%s a year back", command) << command << "2025-03-25T08:00:00" << false;
            QTest::addRow("%s a year on, --at=", command) << command << "=2027-03-25T08:00:00" << false;
        }
    }
    void instanceDeclinesDaysFarFromItsWindow()
    {
        QFETCH(QString, command);
        QFETCH(QString, at);
        QFETCH(bool, answered);
        VdirFixture fixture;
        fixture.addEvent("daily.ics",
            timedEvent("d", "Daily", "20250101T090000").replace("END:VEVENT", "RRULE:FREQ=DAILY\r\nEND:VEVENT"));
        CalendarStore &store = fixture.start();
        const QStringList arguments
            = at.startsWith('=') ? QStringList {"brivane", "--at" + at} : QStringList {"brivane", "--at", at};
        const std::optional<QByteArray> answer = InstanceAnswers::answer(
            InstanceClient::questionFor(command, arguments), store, InstanceAnswers::Zoho::NotConnected);
        QCOMPARE(answer.has_value(), answered);
    }
};

// Commands against the real program, its instance started as a user would.
class InstanceCommandsTest : public QObject
{
    Q_OBJECT

    struct Run
    {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };

    // A session bus address that certainly leads nowhere: the launcher then
    // answers by itself.
    QByteArray noBus() const { return "unix:path=" + QFile::encodeName(m_home.filePath("no-bus")); }

    static Run command(const QStringList &arguments, bool mayAskInstance, const QByteArray &busAddress = {},
        const QString &program = QStringLiteral(BRIVANE_BINARY))
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("BRIVANE_TIMING", "1");
        if (!mayAskInstance)
            environment.insert("BRIVANE_NO_INSTANCE", "1");
        if (!busAddress.isEmpty())
            environment.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromLocal8Bit(busAddress));
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        if (!process.waitForFinished(30000))
            return {};
        return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    }

    QString m_socket;
    QTemporaryDir m_home;

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        // The program's own folders: the test's XDG folders (no test mode there).
        const QString data = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
        const QString calendar = data + "/brivane/calendars/local/personal";
        writeFile(calendar + "/displayname", "Personal");
        writeFile(calendar + "/standup.ics", timedEvent("s", "Standup", "20260325T093000"));
        writeFile(calendar + "/review.ics",
            singleEvent("UID:r\r\nSUMMARY:Review\r\nDTSTART;TZID=Europe/Berlin:20260323T140000\r\n"
                        "DURATION:PT1H\r\nRRULE:FREQ=DAILY;COUNT=10\r\n"));
        writeFile(calendar + "/trip.ics",
            singleEvent("UID:t\r\nSUMMARY:Trip\r\nDTSTART;VALUE=DATE:20260327\r\nDTEND;VALUE=DATE:20260329\r\n"));
        // Near the real today, where a running instance (on the system's
        // clock) keeps its occurrences at hand.
        const QByteArray today = QDate::currentDate().toString("yyyyMMdd").toLatin1();
        writeFile(calendar + "/call.ics", timedEvent("c", "Call", today + "T093000"));
        writeFile(calendar + "/weekly.ics",
            singleEvent("UID:w\r\nSUMMARY:Weekly\r\nDTSTART;TZID=Europe/Berlin:" + today
                + "T160000\r\nDURATION:PT1H\r\nRRULE:FREQ=WEEKLY\r\n"));
        m_socket = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR")) + "/brivane.socket";
    }

    void commandsAnswerAlikeWithAndWithoutInstance()
    {
        const QList<QStringList> commands {
            {"agenda", "--at", "2026-03-25T09:00:00"},
            {"agenda", "--json", "--at", "2026-03-26T23:30:00"},
            {"status", "--at", "2026-03-25T09:10:00"},
            {"status", "--json", "--at", "2026-03-25T09:40:00"},
            // The hour skipped when clocks go forward, read alike both ways.
            {"status", "--at", "2026-03-29T02:30:00"},
        };
        QList<Run> alone;
        for (const QStringList &arguments : commands) {
            alone.append(command(arguments, true, noBus())); // no instance runs yet: loads itself
            QCOMPARE(alone.last().exitCode, 0);
            QVERIFY(!alone.last().err.contains("answered by the running instance"));
            // The launcher's own answer is the whole program's.
            const Run whole = command(arguments, true, noBus(), QStringLiteral(BRIVANE_APP_BINARY));
            QCOMPARE(whole.exitCode, 0);
            QCOMPARE(whole.out, alone.last().out);
        }

        // Days around today, which the instance answers itself.
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        const QString tomorrow = QDate::currentDate().addDays(1).toString(Qt::ISODate);
        const QList<QStringList> nearToday {
            {"agenda", "--at", today + "T09:00:00"},
            {"agenda", "--json", "--at", tomorrow + "T23:30:00"},
            {"status", "--at", today + "T09:10:00"},
            {"status", "--json", "--at", today + "T09:40:00"},
            {"status", "--at", today + "T15:45:00"},
        };
        QList<Run> nearAlone;
        for (const QStringList &arguments : nearToday) {
            nearAlone.append(command(arguments, true, noBus()));
            QCOMPARE(nearAlone.last().exitCode, 0);
        }

        QProcess instance;
        instance.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        instance.start(QStringLiteral(BRIVANE_BINARY), {});
        QVERIFY(instance.waitForStarted());
        // Answered once its calendars are loaded (before, it declines).
        QTRY_VERIFY_WITH_TIMEOUT(
            command(nearToday.first(), true).err.contains("answered by the running instance"), 20000);
        for (qsizetype i = 0; i < nearToday.size(); ++i) {
            const Run asked = command(nearToday[i], true);
            QVERIFY2(asked.err.contains("answered by the running instance"), asked.err.constData());
            QCOMPARE(asked.exitCode, nearAlone[i].exitCode);
            QCOMPARE(asked.out, nearAlone[i].out);
            QCOMPARE(command(nearToday[i], false).out, nearAlone[i].out);
        }
        // Days far from the instance's today are left to the command, with
        // the same answer.
        for (qsizetype i = 0; i < commands.size(); ++i) {
            if (qAbs(QDate::fromString(commands[i].last().left(10), Qt::ISODate).daysTo(QDate::currentDate())) < 60)
                continue; // the test runs in the spring: no day is far
            const Run asked = command(commands[i], true);
            QVERIFY2(!asked.err.contains("answered by the running instance"), asked.err.constData());
            QCOMPARE(asked.exitCode, alone[i].exitCode);
            QCOMPARE(asked.out, alone[i].out);
        }
        instance.terminate();
        QVERIFY(instance.waitForFinished(10000));
    }

    // A command's own write is in the next command's answer: the instance
    // takes in what changed in its folders before the question, every time,
    // however quickly the question follows.
    void eventAddedIsInTheNextAgendaEveryTime()
    {
        QProcess instance;
        instance.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        instance.start(QStringLiteral(BRIVANE_BINARY), {});
        QVERIFY(instance.waitForStarted());
        // A day the instance keeps at hand: near the real today.
        const QString day = QDate::currentDate().addDays(1).toString(Qt::ISODate);
        const QStringList agenda {"agenda", "--json", "--at", day + "T07:00:00"};
        QTRY_VERIFY_WITH_TIMEOUT(command(agenda, true).err.contains("answered by the running instance"), 20000);
        QStringList added;
        for (int hour = 8; hour < 18; ++hour) {
            const QString title = QStringLiteral("Added at %1").arg(hour);
            const Run add = command(
                {"add", title, "--start", day + QStringLiteral("T%1:00").arg(hour, 2, 10, QLatin1Char('0'))}, true);
            QVERIFY2(add.exitCode == 0, add.err.constData());
            added.append(title);
            const Run asked = command(agenda, true);
            QVERIFY2(asked.err.contains("answered by the running instance"), asked.err.constData());
            QStringList listed;
            for (const QJsonValue &event : QJsonDocument::fromJson(asked.out).object()["today"].toArray())
                listed.append(event.toObject()["title"].toString());
            QCOMPARE(listed, added);
        }
        instance.terminate();
        QVERIFY(instance.waitForFinished(10000));
    }

    // `status --follow` with an instance running follows it over the socket
    // (the command loads no calendars of its own) and prints each new title;
    // once the instance quits, the command goes on by itself.
    void statusFollowsTheRunningInstance()
    {
        const QString calendar = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + "/brivane/calendars/local/personal";
        // A day the instance keeps at hand: the real today, with its call at 09:30.
        const QDate today = QDate::currentDate();
        const QStringList status {"status", "--at", today.toString(Qt::ISODate) + "T08:00:00"};
        QProcess instance;
        instance.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        instance.start(QStringLiteral(BRIVANE_BINARY), {});
        QVERIFY(instance.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(command(status, true).err.contains("answered by the running instance"), 20000);

        QProcess follow;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("BRIVANE_TIMING", "1");
        follow.setProcessEnvironment(environment);
        follow.start(QStringLiteral(BRIVANE_BINARY), status + QStringList {"--follow"});
        QVERIFY(follow.waitForStarted());
        auto nextLine = [&follow] {
            return waitFor([&follow] { return follow.canReadLine(); }, 20000)
                ? QString::fromUtf8(follow.readLine()).trimmed()
                : QStringLiteral("(no line)");
        };
        QCOMPARE(nextLine(), QString("Call \u00B7 09:30"));
        QByteArray told;
        QVERIFY(waitFor([&] {
            told += follow.readAllStandardError();
            return told.contains("following the running instance");
        }));

        writeFile(calendar + "/early.ics",
            singleEvent("UID:e\r\nSUMMARY:Early call\r\nDTSTART;TZID=Europe/Berlin:"
                + today.toString("yyyyMMdd").toLatin1() + "T081000\r\nDURATION:PT10M\r\n"));
        QCOMPARE(nextLine(), QString("Early call \u00B7 in 10m"));

        // The instance quits: the command loads the calendars itself and goes on.
        instance.terminate();
        QVERIFY(instance.waitForFinished(10000));
        QCOMPARE(nextLine(), QString("Early call \u00B7 in 10m"));
        QVERIFY(QFile::remove(calendar + "/early.ics"));
        QCOMPARE(nextLine(), QString("Call \u00B7 09:30"));
        QCOMPARE(follow.state(), QProcess::Running);
        follow.kill();
        follow.waitForFinished();
    }

    void launcherFindsTheWholeProgram()
    {
        // A prefix of its own: the program is looked for under it, never
        // under the prefix the build was configured with.
        QTemporaryDir prefix;
        QVERIFY(QDir(prefix.path()).mkpath("bin"));
        const QString launcher = prefix.filePath("bin/brivane");
        const QString beside = prefix.filePath("bin/brivane-app");
        const QString installed = Launcher::programPath(launcher);
        QCOMPARE(installed, prefix.filePath("libexec/brivane/brivane-app"));
        QVERIFY(Launcher::programPath(QString()).endsWith("/libexec/brivane/brivane-app"));
        QVERIFY(Launcher::programPath(QString()) != installed);
        writeFile(beside, "#!/bin/sh\n");
        QCOMPARE(Launcher::programPath(launcher), installed); // not executable
        QVERIFY(QFile::setPermissions(beside, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(Launcher::programPath(launcher), beside);

        // A launcher without its program answers what it can by itself and
        // says so for the rest.
        QVERIFY(QFile::remove(beside));
        QVERIFY(QFile::copy(QStringLiteral(BRIVANE_BINARY), launcher));
        QVERIFY(QFile::setPermissions(launcher, QFile::ReadOwner | QFile::ExeOwner));
        const QStringList status {"status", "--at", "2026-03-25T09:10:00"};
        const Run answered = command(status, false, noBus(), launcher);
        QCOMPARE(answered.exitCode, 0);
        QCOMPARE(answered.out, command(status, false, noBus(), QStringLiteral(BRIVANE_APP_BINARY)).out);

        const auto cannotStart = [&](const QStringList &arguments, const QByteArray &busAddress) {
            const Run run = command(arguments, false, busAddress, launcher);
            return run.exitCode == 127 && run.err.contains("cannot start " + QFile::encodeName(installed));
        };
        QVERIFY(cannotStart({"zoho", "status"}, noBus()));
#ifdef BRIVANE_HAVE_EDS
        // Where a session bus may lead to the desktop's calendars, the whole
        // program answers.
        QLocalServer bus;
        QVERIFY(bus.listen(m_home.filePath("live-bus")));
        QVERIFY(cannotStart(status, "unix:path=" + QFile::encodeName(bus.fullServerName())));
#endif
    }

    void sessionBusIsReachedOnlyThroughWhatIsThere()
    {
        QLocalServer socket;
        QVERIFY(socket.listen(m_home.filePath("sock et")));
        const QByteArray live = QFile::encodeName(socket.fullServerName());
        const QByteArray gone = QFile::encodeName(m_home.filePath("gone"));
        writeFile(m_home.filePath("plain"), "not a socket");
        const QByteArray plainFile = QFile::encodeName(m_home.filePath("plain"));
        const QByteArray runtime = QFile::encodeName(m_home.path());

        using Launcher::sessionBusMayAnswer;
        QVERIFY(!sessionBusMayAnswer("unix:path=" + gone, {}, false));
        QVERIFY(!sessionBusMayAnswer("unix:path=" + plainFile + ",guid=0123", {}, false));
        QVERIFY(!sessionBusMayAnswer("unix:path=" + gone + ";unix:path=" + plainFile, {}, true));
        QVERIFY(sessionBusMayAnswer("unix:path=" + live.toPercentEncoding("/") + ",guid=0123", {}, false));
        QVERIFY(sessionBusMayAnswer("unix:path=" + gone + ";unix:path=" + live.toPercentEncoding("/"), {}, false));
        // Kinds of address that are not a file to look at.
        QVERIFY(sessionBusMayAnswer("unix:abstract=/tmp/dbus-x,guid=0123", {}, false));
        QVERIFY(sessionBusMayAnswer("tcp:host=127.0.0.1,port=1", {}, false));
        QVERIFY(sessionBusMayAnswer("unix:path=" + gone + ";autolaunch:", {}, false));
        QVERIFY(sessionBusMayAnswer("unix:dir=/tmp", {}, false));

        // No address: the runtime folder's bus, or one GLib starts for the X display.
        QVERIFY(!sessionBusMayAnswer({}, {}, false));
        QVERIFY(!sessionBusMayAnswer({}, runtime, false));
        QVERIFY(sessionBusMayAnswer({}, runtime, true));
        QLocalServer runtimeBus;
        QVERIFY(runtimeBus.listen(m_home.filePath("bus")));
        QVERIFY(sessionBusMayAnswer({}, runtime, false));
    }

    void silentInstanceDoesNotHangTheCommand()
    {
        // Listens, takes the question and never answers, as a paused instance.
        QLocalServer silent;
        QLocalServer::removeServer(m_socket);
        QVERIFY(silent.listen(m_socket));
        const Run run = command({"status", "--at", "2026-03-25T09:10:00"}, true);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(!run.err.contains("answered by the running instance"));
        QCOMPARE(run.out, command({"status", "--at", "2026-03-25T09:10:00"}, false).out);
        silent.close();
    }
};

int main(int argc, char **argv)
{
    QTemporaryDir home;
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
        const QString path = home.path() + QLatin1Char('/') + QLatin1String(name);
        QDir().mkpath(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(name, QFile::encodeName(path));
    }
    // The instance this test starts needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName("unix:path=" + home.path() + "/no-session-bus"));
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    int failures = 0;
    {
        WarmStartTest warm;
        failures += QTest::qExec(&warm, argc, argv);
    }
    {
        InstanceCommandsTest commands;
        failures += QTest::qExec(&commands, argc, argv);
    }
    return failures;
}

#include "tst_warmstart.moc"
