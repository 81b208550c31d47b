// SPDX-License-Identifier: GPL-3.0-or-later
// Writing into the user's folders: a write either lands whole or leaves
// everything as it was and says why in words; the index never goes through
// a link or into another user's folder.
#include "TestSupport.h"

#include "calendar/PersistentIndex.h"
#include "calendar/SafeFile.h"

#include <QDirIterator>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

QByteArray repeating(const char *uid, const char *title)
{
    return singleEvent(QByteArray("UID:") + uid + "\r\nSUMMARY:" + title
        + "\r\nDTSTART;TZID=Europe/Berlin:20260323T090000\r\nDURATION:PT1H\r\nRRULE:FREQ=DAILY;COUNT=5\r\n");
}

// Every name in `folder`, dot files (temporary files) included.
QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Makes the given step of every write fail with `error` while it lives.
class WriteFault
{
public:
    WriteFault(SafeFile::WriteStep failing, int error)
    {
        SafeFile::setWriteFault([failing, error](SafeFile::WriteStep step) { return step == failing ? error : 0; });
    }
    ~WriteFault() { SafeFile::setWriteFault({}); }
    WriteFault(const WriteFault &) = delete;
    WriteFault &operator=(const WriteFault &) = delete;
};

void addFailingSteps()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("said");
    QTest::newRow("full disk while writing") << int(SafeFile::WriteStep::Write) << ENOSPC << "No space left on device";
    QTest::newRow("quota on create") << int(SafeFile::WriteStep::Create) << EDQUOT << "Disk quota exceeded";
    QTest::newRow("read-only file system") << int(SafeFile::WriteStep::Create) << EROFS << "Read-only file system";
    QTest::newRow("device fails the sync") << int(SafeFile::WriteStep::Sync) << EIO << "Input/output error";
    QTest::newRow("network file system fails the close")
        << int(SafeFile::WriteStep::Close) << ENOSPC << "No space left on device";
    QTest::newRow("rename refused") << int(SafeFile::WriteStep::Rename) << EACCES << "Permission denied";
}

} // namespace

class FileWritesTest : public QObject
{
    Q_OBJECT

private slots:
    // ---- new events

    void newEventThatCannotBeWrittenLeavesNoFile_data() { addFailingSteps(); }
    void newEventThatCannotBeWrittenLeavesNoFile()
    {
        QFETCH(int, step);
        QFETCH(int, error);
        QFETCH(QString, said);
        VdirFixture fixture;
        fixture.addEvent("old.ics", repeating("old", "Old"));
        CalendarStore &store = fixture.start();
        const QStringList before = entriesOf(fixture.calendarPath());

        StoreResult saved;
        {
            WriteFault fault(SafeFile::WriteStep(step), error);
            saved = store.saveEvent(
                newEvent(fixture.calendarId(), "Dentist", fixture.clock.now(), fixture.clock.now().addSecs(3600)));
        }
        QVERIFY(!saved.ok);
        QVERIFY2(saved.error.contains(said), qPrintable(saved.error));
        QVERIFY2(!saved.error.contains("Unknown error"), qPrintable(saved.error));
        // Neither the event nor a temporary file stays behind.
        QCOMPARE(entriesOf(fixture.calendarPath()), before);
        QVERIFY(!titlesOf(fixture.eventsOn(QDate(2026, 3, 25), QDate(2026, 3, 26))).contains("Dentist"));
    }

    void newEventIsCompleteOnDisk()
    {
        VdirFixture fixture;
        fixture.addEvent("old.ics", repeating("old", "Old"));
        CalendarStore &store = fixture.start();
        const QString longTitle = QString(9000, QLatin1Char('x'));
        const StoreResult saved = store.saveEvent(
            newEvent(fixture.calendarId(), longTitle, fixture.clock.now(), fixture.clock.now().addSecs(3600)));
        QVERIFY2(saved.ok, qPrintable(saved.error));
        QStringList files = entriesOf(fixture.calendarPath());
        files.removeOne("old.ics");
        QCOMPARE(files.size(), 1);
        QVERIFY(!files.first().startsWith('.'));
        const QByteArray written = readFile(fixture.calendarPath() + "/" + files.first());
        QVERIFY(written.endsWith("END:VCALENDAR\r\n"));
        // Files are made as other programs make them (the umask decides).
        QFileInfo info(fixture.calendarPath() + "/" + files.first());
        QVERIFY(info.permissions().testFlag(QFileDevice::ReadOwner));
        QVERIFY(info.permissions().testFlag(QFileDevice::WriteOwner));
    }

    // ---- changes to existing files

    void failedRewriteLeavesTheFileAsItWas_data() { addFailingSteps(); }
    void failedRewriteLeavesTheFileAsItWas()
    {
        QFETCH(int, step);
        QFETCH(int, error);
        QFETCH(QString, said);
        VdirFixture fixture;
        const QByteArray original = repeating("daily", "Daily");
        fixture.addEvent("daily.ics", original);
        CalendarStore &store = fixture.start();
        const QList<CalendarEvent> shown = fixture.eventsOn(QDate(2026, 3, 25), QDate(2026, 3, 26));
        QCOMPARE(titlesOf(shown), QStringList {"Daily"});

        StoreResult removed;
        {
            WriteFault fault(SafeFile::WriteStep(step), error);
            removed = store.removeEvent(shown.first());
        }
        QVERIFY(!removed.ok);
        QVERIFY2(removed.error.contains(said), qPrintable(removed.error));
        QCOMPARE(readFile(fixture.calendarPath() + "/daily.ics"), original);
        QCOMPARE(entriesOf(fixture.calendarPath()), QStringList {"daily.ics"});
        QCOMPARE(titlesOf(fixture.eventsOn(QDate(2026, 3, 25), QDate(2026, 3, 26))), QStringList {"Daily"});
    }

    void rewriteKeepsTheFilesPermissions()
    {
        VdirFixture fixture;
        fixture.addEvent("daily.ics", repeating("daily", "Daily"));
        const QString path = fixture.calendarPath() + "/daily.ics";
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
        CalendarStore &store = fixture.start();
        const QList<CalendarEvent> shown = fixture.eventsOn(QDate(2026, 3, 25), QDate(2026, 3, 26));
        QVERIFY(store.removeEvent(shown.first()).ok);
        struct stat info = {};
        QVERIFY(::stat(QFile::encodeName(path).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 07777, mode_t(0640));
        QVERIFY(readFile(path).contains("EXDATE"));
    }

    // ---- the write itself

    void aLinkAtTheNameIsReplacedNeverWrittenThrough()
    {
        QTemporaryDir dir;
        const QString precious = dir.path() + "/precious.txt";
        writeFile(precious, "the user's own\n");
        const QString name = dir.path() + "/target";
        QVERIFY(QFile::link(precious, name));

        const SafeFile::WriteResult written = SafeFile::writeAtomically(name, "new\n");
        QVERIFY(written.ok);
        QCOMPARE(readFile(precious), QByteArray("the user's own\n"));
        QVERIFY(!QFileInfo(name).isSymLink());
        QCOMPARE(readFile(name), QByteArray("new\n"));
    }

    void aNewFileNeverTakesAnotherFilesName()
    {
        QTemporaryDir dir;
        const QString precious = dir.path() + "/precious.txt";
        writeFile(precious, "the user's own\n");
        const QString name = dir.path() + "/event.ics";
        QVERIFY(QFile::link(precious, name));
        SafeFile::WriteOptions options;
        options.replaceExisting = false;
        const SafeFile::WriteResult written = SafeFile::writeAtomically(name, "new\n", options);
        QVERIFY(!written.ok);
        QCOMPARE(written.error, EEXIST);
        QVERIFY(QFileInfo(name).isSymLink());
        QCOMPARE(readFile(precious), QByteArray("the user's own\n"));
        QCOMPARE(entriesOf(dir.path()), QStringList({"event.ics", "precious.txt"}));
    }

    void abandonedWriteLeavesNothing()
    {
        QTemporaryDir dir;
        const QString name = dir.path() + "/file";
        writeFile(name, "old\n");
        SafeFile::WriteOptions options;
        options.beforeRename = [] { return false; };
        const SafeFile::WriteResult written = SafeFile::writeAtomically(name, "new\n", options);
        QVERIFY(!written.ok);
        QVERIFY(written.abandoned);
        QCOMPARE(readFile(name), QByteArray("old\n"));
        QCOMPARE(entriesOf(dir.path()), QStringList {"file"});
    }

    // ---- the index

    void indexLinkIsReplacedNotFollowed()
    {
        VdirFixture fixture;
        fixture.addEvent("daily.ics", repeating("daily", "Daily"));
        QTemporaryDir cache;
        const QString precious = cache.path() + "/notes.txt";
        writeFile(precious, "the user's notes\n");
        QDir().mkpath(cache.path() + "/brivane");
        const QString indexPath = cache.path() + "/brivane/calendar-index";
        QVERIFY(QFile::link(precious, indexPath));

        auto store = std::make_unique<CalendarStore>();
        auto *provider = new LocalFolderProvider(fixture.root, {}, fixture.clock);
        provider->setIndexPath(indexPath);
        provider->setIndexSettleNs(0); // the file was written just now
        store->addProvider(provider);
        provider->start();
        QVERIFY(store->waitUntilLoaded(10000));
        provider->writeIndexNow();

        QCOMPARE(readFile(precious), QByteArray("the user's notes\n"));
        QVERIFY(!QFileInfo(indexPath).isSymLink());
        QCOMPARE(PersistentIndex::read(indexPath).size(), 1);
        struct stat info = {};
        QVERIFY(::stat(QFile::encodeName(indexPath).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0600));
    }

    // ~/.cache on another disk, linked by the user: used as it is.
    void cacheFolderLinkedByTheUserStaysUsable()
    {
        VdirFixture fixture;
        fixture.addEvent("daily.ics", repeating("daily", "Daily"));
        QTemporaryDir elsewhere;
        QTemporaryDir home;
        QVERIFY(QFile::link(elsewhere.path(), home.path() + "/.cache"));
        const QString indexPath = home.path() + "/.cache/brivane/calendar-index";
        std::vector<PersistentIndex::FilePtr> files;
        QString problem;
        QVERIFY2(PersistentIndex::write(indexPath, files, {}, &problem), qPrintable(problem));
        QVERIFY(QFileInfo(elsewhere.path() + "/brivane/calendar-index").isFile());
        struct stat info = {};
        QVERIFY(::stat(QFile::encodeName(elsewhere.path() + "/brivane").constData(), &info) == 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0700));
    }

    void indexIsNotKeptInAnotherUsersFolder()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to give a folder to another user");
        QTemporaryDir cache;
        const QString folder = cache.path() + "/brivane";
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
        std::vector<PersistentIndex::FilePtr> files;
        QString problem;
        QVERIFY(!PersistentIndex::write(folder + "/calendar-index", files, {}, &problem));
        QVERIFY2(problem.contains("another user"), qPrintable(problem));
        QVERIFY(entriesOf(folder).isEmpty());
        // Nor read from one: it could show events the user never had.
        QVERIFY(::chown(QFile::encodeName(folder).constData(), 0, 0) == 0);
        QVERIFY(PersistentIndex::write(folder + "/calendar-index", files, {}, &problem));
        QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
        problem.clear();
        PersistentIndex::read(folder + "/calendar-index", &problem);
        QVERIFY2(problem.contains("another user"), qPrintable(problem));
    }

    void failedIndexWriteKeepsTheOldIndex_data() { addFailingSteps(); }
    void failedIndexWriteKeepsTheOldIndex()
    {
        QFETCH(int, step);
        QFETCH(int, error);
        QFETCH(QString, said);
        QTemporaryDir cache;
        const QString indexPath = cache.path() + "/brivane/calendar-index";
        std::vector<PersistentIndex::FilePtr> files;
        QString problem;
        QVERIFY(PersistentIndex::write(indexPath, files, {}, &problem));
        const QByteArray before = readFile(indexPath);
        {
            WriteFault fault(SafeFile::WriteStep(step), error);
            PersistentIndex::Window window;
            window.fromMs = 1;
            window.toMs = 2;
            window.zoneId = "Europe/Berlin";
            QVERIFY(!PersistentIndex::write(indexPath, files, window, &problem));
        }
        QVERIFY2(problem.contains(said), qPrintable(problem));
        QCOMPARE(readFile(indexPath), before);
        QCOMPARE(entriesOf(cache.path() + "/brivane"), QStringList {"calendar-index"});
    }
};

BRIVANE_TEST_MAIN(FileWritesTest)
#include "tst_filewrites.moc"
