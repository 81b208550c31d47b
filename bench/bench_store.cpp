// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the calendar store on a folder of calendars: cold load, the
// refresh after one file changes, the list and title queries, and memory.
// Prints figures; asserts nothing.
#include "calendar/CalendarEventManager.h"
#include "calendar/CalendarStore.h"
#include "calendar/LocalFolderProvider.h"
#ifdef BRIVANE_HAVE_EDS
#include "calendar/EdsProvider.h"
#endif

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTextStream>
#include <QTimer>

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

struct Queries
{
    double todayUs, upcomingUs, titleUs;
    qsizetype todayCount = 0, upcomingCount = 0, titleCount = 0;
};

// The two lists and the title's two days, as the program asks them.
Queries measureQueries(const CalendarStore &store, const QDateTime &now)
{
    const QDateTime endOfToday = endOfDay(now);
    const QDateTime endOfTomorrow = endOfDay(now.addDays(1));
    Queries q {};
    q.todayUs = microsecondsPerCall(200, [&] { q.todayCount = store.events(now, endOfToday).size(); });
    q.upcomingUs = microsecondsPerCall(200, [&] { q.upcomingCount = store.events(endOfToday, now.addDays(7)).size(); });
    q.titleUs = microsecondsPerCall(200, [&] { q.titleCount = store.events(now, endOfTomorrow).size(); });
    return q;
}

void printQueries(QTextStream &out, const Queries &q)
{
    out << "today's list query          " << QString::number(q.todayUs / 1000.0, 'f', 4) << " ms (" << q.todayCount
        << " events)\n"
        << "upcoming list query         " << QString::number(q.upcomingUs / 1000.0, 'f', 4) << " ms ("
        << q.upcomingCount << " events)\n"
        << "title query (two days)      " << QString::number(q.titleUs / 1000.0, 'f', 4) << " ms (" << q.titleCount
        << " events)\n";
}

#ifdef BRIVANE_HAVE_EDS
// The desktop's calendars (a running Evolution Data Server, a private one in
// bench/run): load, the main thread's longest pause while loading, queries.
int benchEds(QTextStream &out)
{
    SystemClock clock;
    const qint64 rssBefore = statusKb("VmRSS:");
    CalendarStore store;
    auto *provider = new EdsProvider(clock);
    provider->setLoadTimeout(600000);
    store.addProvider(provider);

    // A 1 ms tick: the longest gap between ticks is the longest time the
    // main thread was busy while the calendars loaded.
    QElapsedTimer sinceTick;
    qint64 longestGapNs = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestGapNs = qMax(longestGapNs, sinceTick.nsecsElapsed());
        sinceTick.restart();
    });
    QElapsedTimer timer;
    timer.start();
    sinceTick.start();
    tick.start();
    provider->start();
    const double startReturnedMs = double(timer.nsecsElapsed()) / 1e6;
    store.waitUntilLoaded(600000);
    const double loadMs = double(timer.nsecsElapsed()) / 1e6;
    tick.stop();
    const qint64 rssLoaded = statusKb("VmRSS:");

    const Queries queries = measureQueries(store, clock.now());
    out << "calendars " << store.calendars().size() << ", event records " << provider->eventRecordCount()
        << ", occurrences in the window " << provider->windowOccurrenceCount() << "\n"
        << "start() returned after      " << QString::number(startReturnedMs, 'f', 1) << " ms\n"
        << "load (registry to loaded)   " << QString::number(loadMs, 'f', 1) << " ms\n"
        << "longest main-thread pause   " << QString::number(double(longestGapNs) / 1e6, 'f', 1)
        << " ms while loading (1 ms tick)\n";
    printQueries(out, queries);
    out << "provider memory (RSS growth) " << QString::number((rssLoaded - rssBefore) / 1024.0, 'f', 1) << " MB\n";
    return provider->hasRegistry() ? 0 : 1;
}
#endif

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream out(stdout);
    if (args.value(1) == QLatin1String("--eds")) {
#ifdef BRIVANE_HAVE_EDS
        return benchEds(out);
#else
        std::fprintf(stderr, "bench_store: built without Evolution Data Server\n");
        return 2;
#endif
    }
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_store FOLDER [--index FILE] | --eds\n");
        return 2;
    }
    const QString folder = args.at(1);
    // With an index file: a first run makes it (a cold load), later ones
    // start warm from it.
    const QString indexPath = args.value(2) == QLatin1String("--index") ? args.value(3) : QString();
    // A fixed "now" (bench/generate_vdir.py --around 2026-12-07), so that the
    // figures do not change with the hour the benchmark runs at.
    const QTimeZone zone("Europe/Berlin");
    FixedClock clock(QDateTime(QDate(2026, 12, 7), QTime(9, 0), zone), zone);

    const qint64 rssBefore = statusKb("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    CalendarStore store;
    // The folder is the default root here: it exists, so nothing is added to it.
    auto *provider = new LocalFolderProvider(folder, {}, clock);
    provider->setIndexPath(indexPath);
    store.addProvider(provider);
    provider->start();
    const double startReturnedMs = double(timer.nsecsElapsed()) / 1e6;
    store.waitUntilLoaded(600000);
    const double coldLoadMs = double(timer.nsecsElapsed()) / 1e6;
    const qint64 rssLoaded = statusKb("VmRSS:");
    const bool warm = provider->filesFromIndex() > 0;
    provider->writeIndexNow();

    const QDateTime now = clock.now();
    const Queries queries = measureQueries(store, now);
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
        << (warm ? "warm load (from the index)  " : "cold load                   ")
        << QString::number(coldLoadMs, 'f', 1) << " ms (" << provider->filesFromIndex() << " files from the index, "
        << provider->filesParsed() << " parsed)\n"
        << "refresh after one change    " << QString::number(refreshMs, 'f', 2) << " ms\n";
    printQueries(out, queries);
    out << "both lists, capped at ten   " << QString::number(listsUs / 1000.0, 'f', 4) << " ms\n"
        << "store memory (RSS growth)   " << QString::number((rssLoaded - rssBefore) / 1024.0, 'f', 1) << " MB\n"
        << "peak RSS                    " << QString::number(statusKb("VmHWM:") / 1024.0, 'f', 1) << " MB\n";
    return 0;
}
