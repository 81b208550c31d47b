// SPDX-License-Identifier: GPL-3.0-or-later
// Real-world files exported by other calendar programs, recurrence corner
// cases and fuzzed files, when the checkout has them beside it: every one is
// read without a crash or a hang, and none is changed by reading.
#include "RewriteCheck.h"
#include "TestSupport.h"

#include "calendar/IcsParser.h"
#include "calendar/IcsWriter.h"
#include "calendar/RecurrenceExpander.h"

#include <QCryptographicHash>
#include <QDirIterator>

#include <optional>

using namespace TestSupport;

namespace {
// BRIVANE_ICS_CORPUS, or shared/ics-corpus beside the checkout or beside
// one of the folders above it.
QString corpusFolder()
{
    const QByteArray fromEnvironment = qgetenv("BRIVANE_ICS_CORPUS");
    if (!fromEnvironment.isEmpty())
        return QString::fromLocal8Bit(fromEnvironment);
    for (QDir dir(QStringLiteral(BRIVANE_SOURCE_DIR)); dir.cdUp();) {
        if (dir.exists(QStringLiteral("shared/ics-corpus")))
            return dir.filePath(QStringLiteral("shared/ics-corpus"));
    }
    return {};
}

QHash<QString, QByteArray> checksums(const QString &folder)
{
    QHash<QString, QByteArray> sums;
    for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        sums.insert(path, QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256));
    }
    return sums;
}

// Every occurrence of the text's events in the window, as one line each.
std::optional<QStringList> occurrencesOf(const QByteArray &text, qint64 fromMs, qint64 toMs, const QTimeZone &zone)
{
    const ParsedFile file = IcsParser::parse(QStringLiteral("/corpus/file.ics"), QStringLiteral("corpus"), text);
    RecurrenceExpander::ExpansionBudget budget(60000, 60000);
    std::vector<Occurrence> occurrences;
    if (!RecurrenceExpander::expandFile(file, fromMs, toMs, zone, occurrences, budget))
        return std::nullopt; // cut short: not comparable
    QStringList lines;
    for (const Occurrence &occurrence : occurrences)
        lines.append(occurrence.series().key + '|' + RecurrenceExpander::recurrenceKeyOfOccurrence(occurrence, zone)
            + '|' + QString::number(occurrence.startMs) + '|' + QString::number(occurrence.endMs) + '|'
            + occurrence.record().title);
    lines.sort();
    return lines;
}
} // namespace

class CorpusTest : public QObject
{
    Q_OBJECT

private slots:
    void everyFileIsReadAndLeftAsItWas()
    {
        const QString folder = corpusFolder();
        if (folder.isEmpty() || !QDir(folder).exists())
            QSKIP("SKIPPED: no iCalendar corpus found (no shared/ics-corpus beside the checkout or a folder above it, "
                  "and BRIVANE_ICS_CORPUS not set); the real-world files were not read");
        const QDir corpus(folder);

        VdirFixture fixture(
            QTimeZone("Europe/Berlin"), QDateTime(QDate(2019, 3, 4), QTime(10, 0), QTimeZone("Europe/Berlin")));
        int copied = 0;
        for (QDirIterator it(corpus.path(), {"*.ics"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString path = it.next();
            const QString calendar = QFileInfo(path).dir().dirName();
            QDir().mkpath(fixture.calendarPath(calendar));
            QVERIFY(QFile::copy(path, fixture.calendarPath(calendar) + "/" + QFileInfo(path).fileName()));
            ++copied;
        }
        QVERIFY(copied > 100);
        const QHash<QString, QByteArray> before = checksums(fixture.root);

        fixture.start();
        QCOMPARE(fixture.provider->fileCount(), copied);
        // The index window, and ranges far from it that are expanded on the spot.
        const QList<CalendarEvent> nearNow = fixture.eventsOn(QDate(2019, 3, 1), QDate(2019, 4, 1));
        const QList<CalendarEvent> wide = fixture.eventsOn(QDate(1990, 1, 1), QDate(2040, 1, 1));
        QVERIFY(!nearNow.isEmpty());
        QVERIFY(wide.size() > 1000);
        QSet<QString> ids;
        for (const CalendarEvent &event : wide) {
            QVERIFY(event.start.isValid() && event.end.isValid());
            QVERIFY(event.end >= event.start);
            if (ids.contains(event.id))
                qWarning() << "duplicate" << event.id << event.start;
            ids.insert(event.id);
        }
        QCOMPARE(ids.size(), wide.size());
        QCOMPARE(checksums(fixture.root), before);
    }

    void warmStartFromTheIndexGivesTheSameEvents()
    {
        // Every real-world file through the index and back: the events of a
        // warm start are those of a cold one, near today and far from it.
        const QString folder = corpusFolder();
        if (folder.isEmpty() || !QDir(folder).exists())
            QSKIP("SKIPPED: no iCalendar corpus found; the index was not checked against real-world files");
        VdirFixture fixture(
            QTimeZone("Europe/Berlin"), QDateTime(QDate(2019, 3, 4), QTime(10, 0), QTimeZone("Europe/Berlin")));
        for (QDirIterator it(folder, {"*.ics"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString path = it.next();
            const QString calendar = QFileInfo(path).dir().dirName();
            QDir().mkpath(fixture.calendarPath(calendar));
            QVERIFY(QFile::copy(path, fixture.calendarPath(calendar) + "/" + QFileInfo(path).fileName()));
        }
        const QString index = fixture.dir.path() + "/calendar-index";
        auto load = [&](QStringList &events) {
            CalendarStore store;
            auto *provider = new LocalFolderProvider(fixture.root, {}, fixture.clock);
            provider->setIndexPath(index);
            provider->setIndexSettleNs(0);
            store.addProvider(provider);
            provider->start();
            if (!store.waitUntilLoaded(60000))
                return qsizetype(-1);
            const QTimeZone zone = fixture.clock.timeZone();
            for (const auto &[from, to] :
                {std::pair(QDate(2019, 2, 20), QDate(2019, 4, 20)), std::pair(QDate(1990, 1, 1), QDate(2040, 1, 1))}) {
                for (const CalendarEvent &event :
                    store.events(QDateTime(from, QTime(0, 0), zone), QDateTime(to, QTime(0, 0), zone)))
                    events.append(event.id + '|' + event.title + '|' + event.start.toString(Qt::ISODateWithMs) + '|'
                        + event.end.toString(Qt::ISODateWithMs) + '|' + QString::number(event.allDay));
            }
            provider->writeIndexNow();
            return provider->filesFromIndex();
        };
        QStringList cold, warm;
        QCOMPARE(load(cold), 0);
        QVERIFY(load(warm) > 100);
        QCOMPARE(warm.size(), cold.size());
        for (qsizetype i = 0; i < cold.size(); ++i)
            QCOMPARE(warm[i], cold[i]);
    }

    void removingAnOccurrenceChangesOnlyItsLines()
    {
        // In every file with a repeating event, one occurrence of each of its
        // first few series is removed (an occurrence of the rule, and one
        // moved by an override where there is one): the new text must be the
        // file with one EXDATE added and the override's lines left out, and
        // must give the same occurrences less the removed one.
        const QString folder = corpusFolder();
        if (folder.isEmpty() || !QDir(folder).exists())
            QSKIP("SKIPPED: no iCalendar corpus found; removals were not tried on real-world files");
        const QTimeZone zone("Europe/Berlin");
        int removals = 0;
        QStringList refused;
        for (QDirIterator it(folder, {"*.ics"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString path = it.next();
            const QByteArray content = readFile(path);
            const ParsedFile file = IcsParser::parse(path, QStringLiteral("corpus"), content);
            int seriesTried = 0;
            for (quint32 index = 0; index < file.series().size() && seriesTried < 20; ++index) {
                const EventSeries &series = file.series()[index];
                if (!series.hasMaster || !series.master.repeats())
                    continue;
                ++seriesTried;
                const qint64 from = series.master.start.toMSecs(zone) - 86400000;
                const qint64 to = from + qint64(400) * 86400000;
                RecurrenceExpander::ExpansionBudget budget(60000, 60000);
                std::vector<Occurrence> occurrences;
                RecurrenceExpander::expandFile(file, from, to, zone, occurrences, budget);
                std::erase_if(occurrences, [&](const Occurrence &o) { return o.seriesIndex != index; });
                std::sort(occurrences.begin(), occurrences.end(),
                    [](const Occurrence &a, const Occurrence &b) { return a.startMs < b.startMs; });
                std::vector<const Occurrence *> chosen;
                if (!occurrences.empty())
                    chosen.push_back(&occurrences[qMin<size_t>(1, occurrences.size() - 1)]);
                const auto moved = std::find_if(
                    occurrences.begin(), occurrences.end(), [](const Occurrence &o) { return o.overrideIndex >= 0; });
                if (moved != occurrences.end() && &*moved != chosen.front())
                    chosen.push_back(&*moved);

                for (const Occurrence *occurrence : chosen) {
                    const QString key = RecurrenceExpander::recurrenceKeyOfOccurrence(*occurrence, zone);
                    const QString where = path + " " + series.key + " " + key;
                    const IcsWriter::Edit edit = IcsWriter::removeFromFile(content, series.key, key, zone);
                    if (!edit.ok) {
                        // Only files that are not read completely are left alone.
                        QVERIFY2(edit.error.contains("could not be read completely"), qPrintable(where + edit.error));
                        refused.append(where);
                        continue;
                    }
                    ++removals;
                    QVERIFY2(!edit.deleteFile, qPrintable(where));
                    const RewriteCheck::Explanation change = RewriteCheck::explain(content, edit.content, 1);
                    QVERIFY2(change.ok, qPrintable(where));
                    QVERIFY2(change.added.size() == 1, qPrintable(where));
                    // Its override goes (and any duplicate of it); a plain occurrence has none.
                    QVERIFY2(occurrence->overrideIndex >= 0 ? !change.removed.isEmpty() : change.removed.isEmpty(),
                        qPrintable(where));

                    const std::optional<QStringList> before = occurrencesOf(content, from, to, zone);
                    const std::optional<QStringList> after = occurrencesOf(edit.content, from, to, zone);
                    if (!before || !after)
                        continue;
                    QStringList expected = *before;
                    const QString prefix = series.key + '|' + key + '|';
                    QCOMPARE(
                        expected.removeIf([&](const QString &line) { return line.startsWith(prefix); }), qsizetype(1));
                    QCOMPARE(*after, expected);
                }
            }
        }
        if (!refused.isEmpty())
            qInfo().noquote() << refused.size() << "removals refused on files not read completely:\n"
                              << refused.join('\n');
        qInfo() << removals << "removals checked";
        QVERIFY(removals > 50);
    }
};

BRIVANE_TEST_MAIN(CorpusTest)
#include "tst_corpus.moc"
