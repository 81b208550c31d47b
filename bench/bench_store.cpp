// Measures the calendar store on a folder of calendars: cold load, the
// refresh after one file changes, the list and title queries, and memory.
// Prints figures; asserts nothing.
#include "calendar/CalendarEventManager.h"
#include "calendar/CalendarStore.h"
#include "calendar/LocalFolderProvider.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTextStream>

#include <cstdio>

namespace {

qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

template<typename F> double microsecondsPerCall(int repetitions, F &&call)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < repetitions; ++i)
        call();
    return double(timer.nsecsElapsed()) / 1000.0 / repetitions;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_store FOLDER\n");
        return 2;
    }
    const QString folder = args.at(1);
    QTextStream out(stdout);
    SystemClock clock;

    const qint64 rssBefore = statusKb("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    CalendarStore store;
    // The folder is the default root here: it exists, so nothing is added to it.
    auto *provider = new LocalFolderProvider(folder, {}, clock);
    store.addProvider(provider);
    provider->start();
    const double startReturnedMs = double(timer.nsecsElapsed()) / 1e6;
    store.waitUntilLoaded(600000);
    const double coldLoadMs = double(timer.nsecsElapsed()) / 1e6;
    const qint64 rssLoaded = statusKb("VmRSS:");

    // Queries: the two lists and the title's two days.
    const QDateTime now = clock.now();
    const QDateTime endOfToday = endOfDay(now);
    const QDateTime endOfTomorrow = endOfDay(now.addDays(1));
    qsizetype todayCount = 0;
    qsizetype upcomingCount = 0;
    qsizetype titleCount = 0;
    const double todayUs = microsecondsPerCall(200, [&] { todayCount = store.events(now, endOfToday).size(); });
    const double upcomingUs
        = microsecondsPerCall(200, [&] { upcomingCount = store.events(endOfToday, now.addDays(7)).size(); });
    const double titleUs = microsecondsPerCall(200, [&] { titleCount = store.events(now, endOfTomorrow).size(); });
    const double listsUs = microsecondsPerCall(200, [&] { CalendarEventManager::query(store, {}, now); });

    // Refresh after one file changes: from the moment the change is applied
    // (not counting the quiet interval) to the change notice.
    QString someFile;
    for (QDirIterator it(folder, {QStringLiteral("*.ics")}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        someFile = it.next();
        break;
    }
    double refreshMs = -1;
    if (!someFile.isEmpty()) {
        QFile file(someFile);
        file.open(QIODevice::ReadOnly);
        QByteArray text = file.readAll();
        file.close();
        text.replace("SUMMARY:", "SUMMARY:Changed ");
        QSignalSpy changed(&store, &CalendarStore::changed);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(text);
        file.close();
        QDeadlineTimer noticed(5000);
        while (provider->pendingChangeCount() == 0 && !noticed.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QElapsedTimer refreshTimer;
        refreshTimer.start();
        provider->flushPendingChanges();
        refreshMs = changed.isEmpty() ? -1 : double(refreshTimer.nsecsElapsed()) / 1e6;
    }

    out << "files " << provider->fileCount() << ", occurrences indexed " << provider->indexedOccurrenceCount() << "\n"
        << "start() returned after      " << QString::number(startReturnedMs, 'f', 1)
        << " ms (main thread free while loading)\n"
        << "cold load                   " << QString::number(coldLoadMs, 'f', 1) << " ms\n"
        << "refresh after one change    " << QString::number(refreshMs, 'f', 2) << " ms\n"
        << "today's list query          " << QString::number(todayUs / 1000.0, 'f', 4) << " ms (" << todayCount
        << " events)\n"
        << "upcoming list query         " << QString::number(upcomingUs / 1000.0, 'f', 4) << " ms (" << upcomingCount
        << " events)\n"
        << "title query (two days)      " << QString::number(titleUs / 1000.0, 'f', 4) << " ms (" << titleCount
        << " events)\n"
        << "both lists, capped at ten   " << QString::number(listsUs / 1000.0, 'f', 4) << " ms\n"
        << "store memory (RSS growth)   " << QString::number((rssLoaded - rssBefore) / 1024.0, 'f', 1) << " MB\n"
        << "peak RSS                    " << QString::number(statusKb("VmHWM:") / 1024.0, 'f', 1) << " MB\n";
    return 0;
}
