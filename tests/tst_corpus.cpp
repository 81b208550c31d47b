// Real-world files exported by other calendar programs, recurrence corner
// cases and fuzzed files, when the checkout has them beside it: every one is
// read without a crash or a hang, and none is changed by reading.
#include "TestSupport.h"

#include <QCryptographicHash>
#include <QDirIterator>

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
};

BRIVANE_TEST_MAIN(CorpusTest)
#include "tst_corpus.moc"
