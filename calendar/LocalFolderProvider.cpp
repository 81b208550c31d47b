// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/LocalFolderProvider.h"

#include "calendar/CalendarTypes.h"

#include "calendar/IcsParser.h"
#include "calendar/IcsWriter.h"
#include "calendar/PersistentIndex.h"
#include "calendar/SafeFile.h"
#include "calendar/TimeZoneRegistry.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QThreadPool>
#include <QUuid>
#include <QtConcurrent>

#include <algorithm>
#include <malloc.h>
#include <span>

Q_LOGGING_CATEGORY(lcLocal, "brivane.local", QtInfoMsg)

namespace {

constexpr int IndexDaysBefore = 7;
constexpr int IndexDaysAfter = 42;
// Time for following recurrence rules: a whole load, one query far from today.
constexpr qint64 LoadExpansionPoolMs = 2000;
constexpr qint64 QueryExpansionPoolMs = 1000;

std::pair<qint64, qint64> indexWindow(QDate today, const QTimeZone &zone)
{
    return {QDateTime(today.addDays(-IndexDaysBefore), QTime(0, 0), zone).toMSecsSinceEpoch(),
        QDateTime(today.addDays(IndexDaysAfter), QTime(0, 0), zone).toMSecsSinceEpoch()};
}

using KeptOccurrence = std::pair<const ParsedFile *, PersistentIndex::StoredOccurrence>;

// The window as the index keeps it: the occurrences of every file but those
// whose expansion was cut short (expanded anew next time). `occurrences`
// are the store's, in any order.
void fillWindow(PersistentIndex::Window &window, const std::vector<PersistentIndex::FilePtr> &files,
    std::vector<KeptOccurrence> occurrences, std::vector<const ParsedFile *> cutShort)
{
    const std::less<const ParsedFile *> before;
    struct ByFile
    {
        std::less<const ParsedFile *> before;
        bool operator()(const KeptOccurrence &a, const KeptOccurrence &b) const { return before(a.first, b.first); }
        bool operator()(const KeptOccurrence &a, const ParsedFile *b) const { return before(a.first, b); }
        bool operator()(const ParsedFile *a, const KeptOccurrence &b) const { return before(a, b.first); }
    };
    std::stable_sort(occurrences.begin(), occurrences.end(), ByFile());
    std::sort(cutShort.begin(), cutShort.end(), before);
    window.occurrences.reserve(occurrences.size());
    for (const KeptOccurrence &occurrence : occurrences)
        window.occurrences.push_back(occurrence.second);
    window.ranges.reserve(files.size());
    for (const PersistentIndex::FilePtr &file : files) {
        if (std::binary_search(cutShort.begin(), cutShort.end(), file.get(), before))
            continue;
        const auto [first, last] = std::equal_range(occurrences.begin(), occurrences.end(), file.get(), ByFile());
        window.ranges.push_back({file.get(), quint32(first - occurrences.begin()), quint32(last - first)});
    }
    window.sortRanges();
}

QThreadPool &parsePool()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(qMax(1, QThread::idealThreadCount()));
        return p;
    }();
    return *pool;
}

struct ParseJob
{
    QString path;
    QString calendarId;
    quint32 listedAt = 0;
};

std::shared_ptr<const ParsedFile> parse(const ParseJob &job)
{
    auto file = std::make_shared<ParsedFile>(IcsParser::readFile(job.path, job.calendarId));
    file->listedAt = job.listedAt;
    return file;
}

std::vector<std::shared_ptr<const ParsedFile>> parseInParallel(const std::vector<ParseJob> &jobs)
{
    return QtConcurrent::blockingMapped<std::vector<std::shared_ptr<const ParsedFile>>>(&parsePool(), jobs, parse);
}

std::vector<std::shared_ptr<const ParsedFile>> parseAll(const std::vector<ParseJob> &jobs)
{
    // One file is read here at once; a burst (a sync run) is read in parallel.
    if (jobs.size() > 8)
        return parseInParallel(jobs);
    std::vector<std::shared_ptr<const ParsedFile>> parsed;
    for (const ParseJob &job : jobs)
        parsed.push_back(parse(job));
    return parsed;
}

struct Listed
{
    const Vdir::CalendarDir *calendar;
    QStringList names; // in a calendar folder; none for a single-file calendar
    QList<SafeFile::FileStamp> stamps; // parallel to `names` (the file of a single-file calendar)
    QStringList problems;
};

// The calendars' event files, with their stamps when `takeStamps`. The
// folders are read side by side, then the stamps taken in parts of a size
// whatever folder they are in: every core has work throughout, however the
// files are spread. Called on a thread of the global pool, which only waits
// meanwhile: the pool runs another in its place.
std::vector<Listed> listCalendars(const QList<Vdir::CalendarDir> &calendars, bool takeStamps, QStringList &problems)
{
    std::vector<Listed> listed;
    listed.reserve(size_t(calendars.size()));
    for (const Vdir::CalendarDir &calendar : calendars)
        listed.push_back({&calendar, {}, {}, {}});
    QThreadPool *pool = QThreadPool::globalInstance();
    pool->releaseThread();
    const auto reserveAgain = qScopeGuard([pool] { pool->reserveThread(); });
    QtConcurrent::blockingMap(
        pool, listed, [](Listed &entry) { entry.names = Vdir::eventFileNames(*entry.calendar, &entry.problems); });
    if (takeStamps) {
        struct Part
        {
            const Listed *entry;
            SafeFile::FileStamp *stamps; // the entry's, made before the parts run
            qsizetype first;
            qsizetype end;
        };
        constexpr qsizetype PartSize = 512;
        std::vector<Part> parts;
        for (Listed &entry : listed) {
            if (entry.calendar->singleFile) {
                entry.stamps = {SafeFile::stampOf(entry.calendar->path)};
                continue;
            }
            entry.stamps.resize(entry.names.size());
            for (qsizetype first = 0; first < entry.names.size(); first += PartSize)
                parts.push_back({&entry, entry.stamps.data(), first, qMin(first + PartSize, entry.names.size())});
        }
        QtConcurrent::blockingMap(pool, parts, [](const Part &part) {
            SafeFile::takeStamps(part.entry->calendar->path, part.entry->names, part.first, part.end, part.stamps);
        });
    }
    for (Listed &entry : listed)
        problems += std::move(entry.problems);
    return listed;
}

QString problemLine(const ParsedFile &file)
{
    return file.path() + QStringLiteral(": ") + file.problems.join(QStringLiteral("; "));
}

QStringList cutShortLines(const RecurrenceExpander::ExpansionBudget &budget)
{
    QStringList lines;
    for (const ParsedFile *file : budget.cutShort())
        lines.append(file->path() + QStringLiteral(": repeating events too costly to follow; shown in part"));
    return lines;
}

// How many of `sorted` (by start) a caller asking for at least the first
// `atLeastFirst` gets: those, and all that start together with the last.
template<typename Occurrences, typename StartOf>
size_t countOfFirst(const Occurrences &sorted, qsizetype atLeastFirst, StartOf startOf)
{
    if (atLeastFirst < 0 || size_t(atLeastFirst) >= sorted.size())
        return sorted.size();
    if (atLeastFirst == 0)
        return 0;
    size_t count = size_t(atLeastFirst);
    const qint64 lastStart = startOf(sorted[count - 1]);
    while (count < sorted.size() && startOf(sorted[count]) == lastStart)
        ++count;
    return count;
}

QDateTime inZoneOf(const IcsTime &like, qint64 ms, const QTimeZone &userZone)
{
    if (like.kind == TimeKind::Zoned && like.zone && like.zone->isIana())
        return QDateTime::fromMSecsSinceEpoch(ms, like.zone->ianaZone());
    return QDateTime::fromMSecsSinceEpoch(ms, userZone);
}

} // namespace

struct LocalFolderProvider::LoadResult
{
    std::vector<FilePtr> files;
    QHash<QByteArray, FilePtr> byPath; // the same files, by `pathUtf8`
    OccurrenceIndex index;
    QDate indexDay;
    QStringList problems;
    qsizetype fromIndex = 0;
    qsizetype parsed = 0;
    // The index on disk no longer says what was found.
    bool indexOutOfDate = false;
};

LocalFolderProvider::LocalFolderProvider(
    QString defaultRoot, QList<Vdir::Folder> extraFolders, const Clock &clock, QObject *parent)
    : CalendarProvider(parent)
    , m_clock(clock)
    , m_defaultRoot(std::move(defaultRoot))
    , m_extraFolders(std::move(extraFolders))
{
    m_quietTimer.setSingleShot(true);
    connect(&m_quietTimer, &QTimer::timeout, this, [this] { processPendingChanges(); });
    connect(&m_watcher, &FolderWatcher::fileChanged, this, &LocalFolderProvider::noteFileChange);
    connect(&m_watcher, &FolderWatcher::folderChanged, this, &LocalFolderProvider::noteFolderChange);
    connect(&m_watcher, &FolderWatcher::overflowed, this, [this] {
        m_pendingFullRescan = true;
        noteFolderChange();
    });
    connect(&m_loadWatcher, &QFutureWatcherBase::finished, this, [this] { applyLoad(m_loadWatcher.result()); });
    m_indexWriteTimer.setSingleShot(true);
    m_indexWriteTimer.setInterval(IndexWriteDelayMs);
    connect(&m_indexWriteTimer, &QTimer::timeout, this, &LocalFolderProvider::startIndexWrite);
}

LocalFolderProvider::~LocalFolderProvider()
{
    m_loadWatcher.waitForFinished();
    m_indexWrite.waitForFinished();
}

QList<Vdir::Folder> LocalFolderProvider::folders() const
{
    QList<Vdir::Folder> all {{m_defaultRoot, Vdir::Kind::Root, {}, {}, false}};
    for (Vdir::Folder folder : m_extraFolders) {
        if (folder.path.trimmed().isEmpty())
            continue;
        folder.path = QDir::cleanPath(QDir::fromNativeSeparators(folder.path));
        all.append(folder);
    }
    return all;
}

QStringList LocalFolderProvider::watchedFolders() const
{
    QStringList watched;
    for (const Vdir::Folder &folder : folders()) {
        // A pattern's matches come and go in the folder above its first
        // wildcard.
        static const QRegularExpression wildcards(QStringLiteral("[*?\\[]"));
        QString path = folder.path;
        const qsizetype wildcard = path.indexOf(wildcards);
        if (wildcard >= 0)
            path = path.left(wildcard).section(QLatin1Char('/'), 0, -2);
        if (!path.isEmpty())
            watched.append(path);
    }
    return watched;
}

void LocalFolderProvider::reportProblems(const QStringList &problems) const
{
    for (qsizetype i = 0; i < problems.size() && i < MaxWarningLines; ++i)
        qCWarning(lcLocal).noquote() << problems[i];
    if (problems.size() > MaxWarningLines)
        qCWarning(lcLocal).noquote() << "… and" << problems.size() - MaxWarningLines
                                     << "more problems with calendar files";
}

void LocalFolderProvider::start()
{
    if (m_createsDefaultRoot && !Vdir::ensureDefaultRoot(m_defaultRoot))
        qCWarning(lcLocal) << "cannot create the calendar folder" << m_defaultRoot;
    if (m_watching) {
        for (const QString &root : watchedFolders()) {
            // The default root not made yet is watched once it is (createDefaultRoot).
            if (root != m_defaultRoot || QFileInfo::exists(root))
                m_watcher.watch(root);
        }
    }
    Vdir::Layout layout = Vdir::scan(folders(), m_accountNames);
    QStringList layoutProblems = std::exchange(layout.problems, {});
    setLayout(std::move(layout));

    const QList<Vdir::CalendarDir> calendars = m_layout.calendars;
    const QTimeZone zone = m_clock.timeZone();
    const QDate today = m_clock.now().date();
    const std::function<void()> finishingHook = m_loadFinishingHook;
    const QString indexPath = m_indexPath;
    m_loadWatcher.setFuture(QtConcurrent::run([calendars, zone, today, layoutProblems, finishingHook, indexPath] {
        auto result = std::make_shared<LoadResult>();
        result->problems = layoutProblems;
        QElapsedTimer step;
        step.start();
        // The index is read while the folders are listed and their files'
        // stamps taken: two independent waits on the disk.
        QFuture<PersistentIndex::Contents> reading;
        if (!indexPath.isEmpty() && QFileInfo::exists(indexPath)) {
            reading = QtConcurrent::run(&parsePool(), [indexPath] {
                QString problem;
                PersistentIndex::Contents contents = PersistentIndex::read(indexPath, &problem);
                if (!problem.isEmpty())
                    qCInfo(lcLocal).noquote() << "calendar index not used:" << problem;
                return contents;
            });
        }
        std::vector<Listed> listed = listCalendars(calendars, reading.isValid(), result->problems);
        qCDebug(lcTiming) << "folders listed and files checked:" << step.restart() << "ms";
        // Taken, not copied: the table is changed below, and a copy would be made whole.
        PersistentIndex::Contents known = reading.isValid() ? reading.takeResult() : PersistentIndex::Contents();
        const qsizetype indexed = known.size();
        qCDebug(lcTiming) << "index read:" << indexed << "files, waited" << step.restart() << "ms";

        // Files whose stamp is what the index recorded come from it; the
        // rest are parsed. The index's table by path becomes the provider's,
        // rid of what is no longer there.
        QHash<QByteArray, FilePtr> &byPath = known.files;
        // Unchanged folders list their files in the order of the records:
        // each is compared with the record after the last one met, and
        // looked up by path only where the orders part.
        const std::vector<FilePtr> &recorded = known.inRecordOrder;
        size_t expected = 0;
        quint32 listedAt = 0;
        qsizetype outOfOrder = 0;
        std::vector<ParseJob> jobs;
        // Each file's path is put together in one reused buffer: a path of
        // its own is made only for the files to be parsed.
        QByteArray path;
        path.reserve(1024);
        for (const Listed &entry : listed) {
            const QByteArray calendarPath = SafeFile::encodedPath(entry.calendar->path);
            const qsizetype count = entry.calendar->singleFile ? 1 : entry.names.size();
            for (qsizetype i = 0; i < count; ++i, ++listedAt) {
                path.resize(0);
                path.append(calendarPath);
                if (!entry.calendar->singleFile) {
                    path.append('/');
                    SafeFile::appendEncoded(path, entry.names[i]);
                }
                FilePtr fromIndex;
                if (expected < recorded.size() && recorded[expected]->pathUtf8 == path) {
                    fromIndex = recorded[expected];
                } else if (const auto found = byPath.constFind(path); found != byPath.cend()) {
                    fromIndex = *found;
                    ++outOfOrder;
                } else {
                    jobs.push_back({QString::fromUtf8(path), entry.calendar->id, listedAt});
                    continue;
                }
                expected = fromIndex->listedAt + 1;
                if (fromIndex->calendarId == entry.calendar->id && fromIndex->stamp == entry.stamps.value(i)) {
                    fromIndex->listedAt = listedAt;
                    result->files.push_back(std::move(fromIndex));
                } else {
                    byPath.remove(path);
                    jobs.push_back({QString::fromUtf8(path), entry.calendar->id, listedAt});
                }
            }
        }
        result->fromIndex = qsizetype(result->files.size());
        if (byPath.size() != result->fromIndex) {
            // Files gone since the index was written.
            std::vector<const ParsedFile *> kept;
            kept.reserve(result->files.size());
            for (const FilePtr &file : result->files)
                kept.push_back(file.get());
            std::sort(kept.begin(), kept.end());
            byPath.removeIf([&kept](const QHash<QByteArray, FilePtr>::iterator &file) {
                return !std::binary_search(kept.begin(), kept.end(), file.value().get());
            });
        }
        result->parsed = qsizetype(jobs.size());
        // Records far out of the listing's order (an index of before a
        // folder was rebuilt) are written again in it.
        result->indexOutOfDate
            = !indexPath.isEmpty() && (!jobs.empty() || result->fromIndex != indexed || outOfOrder > indexed / 8);
        for (FilePtr &file : parseInParallel(jobs)) {
            byPath.insert(file->pathUtf8, file);
            result->files.push_back(std::move(file));
        }
        result->byPath = std::move(byPath);
        qCDebug(lcTiming) << "parsed" << jobs.size() << "files:" << step.restart() << "ms";

        // The window's occurrences: kept in the index for its files when it
        // was written for the same days in the same zone, expanded for the rest.
        const auto [from, to] = indexWindow(today, zone);
        const bool windowKept = known.window.matches(from, to, zone.id());
        if (!windowKept && !indexPath.isEmpty())
            result->indexOutOfDate = true;
        RecurrenceExpander::ExpansionBudget budget(LoadExpansionPoolMs);
        std::vector<Occurrence> occurrences;
        for (const FilePtr &file : result->files) {
            if (!file->problems.isEmpty())
                result->problems.append(problemLine(*file));
            const PersistentIndex::Window::Range *kept = windowKept ? known.window.find(file.get()) : nullptr;
            if (!kept) {
                RecurrenceExpander::expandFile(*file, from, to, zone, occurrences, budget);
                continue;
            }
            for (const PersistentIndex::StoredOccurrence &stored : known.window.occurrencesOf(*kept))
                occurrences.push_back(
                    {stored.startMs, stored.endMs, file.get(), stored.seriesIndex, stored.overrideIndex, nullptr});
        }
        result->index.rebuildFrom(from, to, std::move(occurrences));
        qCDebug(lcTiming) << "occurrences of the window indexed:" << step.restart() << "ms";
        result->problems += cutShortLines(budget);
        result->indexDay = today;
        if (finishingHook)
            finishingHook();
        return result;
    }));
}

void LocalFolderProvider::applyLoad(const std::shared_ptr<LoadResult> &result)
{
    QHash<QByteArray, FilePtr> fresh = std::move(result->byPath);
    m_index = std::move(result->index);
    m_indexDay = result->indexDay;
    // What this provider wrote while the load ran is newer than what the load
    // read (or did not see at all).
    for (const QByteArray &path : std::as_const(m_writtenDuringLoad)) {
        if (const FilePtr stale = fresh.take(path))
            m_index.removeFile(stale.get());
        if (const FilePtr own = m_files.value(path)) {
            fresh.insert(path, own);
            m_index.addFile(*own, m_clock.timeZone());
        }
    }
    m_writtenDuringLoad.clear();
    m_files = std::move(fresh);
    m_loaded = true;
    m_filesFromIndex = result->fromIndex;
    m_filesParsed = result->parsed;
    if (result->indexOutOfDate) {
        m_indexOutOfDate = true;
        startIndexWrite();
    }
    // libical's parsing leaves the allocator holding freed memory in every
    // parsing thread's arena; hand it back.
    QElapsedTimer trimming;
    trimming.start();
    malloc_trim(0);
    qCDebug(lcTiming) << "memory handed back:" << trimming.elapsed() << "ms";
    reportProblems(result->problems);
    qCDebug(lcLocal) << "loaded" << m_files.size() << "files," << m_index.size() << "occurrences indexed";
    emit loaded();
    emit changed();
    if (!m_pendingFiles.isEmpty() || m_pendingLayout)
        scheduleProcessing();
}

void LocalFolderProvider::setLayout(Vdir::Layout layout)
{
    m_layout = std::move(layout);
    m_calendarByPath.clear();
    for (qsizetype i = 0; i < m_layout.calendars.size(); ++i)
        m_calendarByPath.insert(m_layout.calendars[i].path, i);
    if (!m_watching)
        return;
    for (const Vdir::SourceDir &source : m_layout.sources)
        m_watcher.watch(source.path);
    for (const Vdir::CalendarDir &calendar : m_layout.calendars) {
        if (!calendar.singleFile)
            m_watcher.watch(calendar.path);
    }
    for (const QString &folder : m_layout.emptyFolders)
        m_watcher.watch(folder);
}

void LocalFolderProvider::createDefaultRoot()
{
    if (QFileInfo::exists(m_defaultRoot))
        return;
    if (!Vdir::ensureDefaultRoot(m_defaultRoot)) {
        qCWarning(lcLocal) << "cannot create the calendar folder" << m_defaultRoot;
        return;
    }
    if (m_watching)
        m_watcher.watch(m_defaultRoot);
    m_pendingLayout = true;
    if (m_loaded)
        flushPendingChanges(); // else taken in with the load
}

bool LocalFolderProvider::isReadable() const
{
    // Our own folder always counts, made or still to be made.
    if (!m_createsDefaultRoot && !QFileInfo::exists(m_defaultRoot))
        return true;
    const QStringList all = watchedFolders();
    return std::any_of(all.begin(), all.end(), [](const QString &root) {
        const QFileInfo info(root);
        return info.isDir() && info.isReadable();
    });
}

QList<CalendarSource> LocalFolderProvider::sources() const
{
    QList<CalendarSource> result;
    for (const Vdir::SourceDir &source : m_layout.sources)
        result.append({source.id, source.title, providerId(), {}});
    return result;
}

QList<CalendarInfo> LocalFolderProvider::calendars() const
{
    QList<CalendarInfo> result;
    for (const Vdir::CalendarDir &calendar : m_layout.calendars) {
        CalendarInfo info;
        info.identifier = calendar.id;
        info.title = calendar.title;
        info.color = calendar.color;
        info.sourceId = calendar.sourceId;
        info.providerId = providerId();
        info.allowsModifications = calendar.writable;
        result.append(info);
    }
    return result;
}

QString LocalFolderProvider::defaultCalendarId() const
{
    const QString preferred = QFileInfo(m_defaultRoot + QStringLiteral("/local/personal")).canonicalFilePath();
    if (const auto it = m_calendarByPath.constFind(preferred); it != m_calendarByPath.constEnd()) {
        if (m_layout.calendars[*it].writable)
            return m_layout.calendars[*it].id;
    }
    for (const Vdir::CalendarDir &calendar : m_layout.calendars) {
        if (calendar.writable)
            return calendar.id;
    }
    return {};
}

const Vdir::CalendarDir *LocalFolderProvider::calendarById(const QString &calendarId) const
{
    for (const Vdir::CalendarDir &calendar : m_layout.calendars) {
        if (calendar.id == calendarId)
            return &calendar;
    }
    return nullptr;
}

const Vdir::CalendarDir *LocalFolderProvider::calendarForFile(const QString &path) const
{
    auto it = m_calendarByPath.constFind(path);
    if (it == m_calendarByPath.constEnd())
        it = m_calendarByPath.constFind(QFileInfo(path).path());
    if (it == m_calendarByPath.constEnd())
        return nullptr;
    const Vdir::CalendarDir &calendar = m_layout.calendars[*it];
    return (calendar.singleFile ? calendar.path == path : true) ? &calendar : nullptr;
}

void LocalFolderProvider::ensureIndexWindow() const
{
    const QDate today = m_clock.now().date();
    if (m_index.isBuilt() && m_indexDay == today)
        return;
    std::vector<const ParsedFile *> files;
    files.reserve(size_t(m_files.size()));
    for (const FilePtr &file : m_files)
        files.push_back(file.get());
    const auto [from, to] = indexWindow(today, m_clock.timeZone());
    RecurrenceExpander::ExpansionBudget budget(LoadExpansionPoolMs);
    m_index.rebuild(from, to, files, m_clock.timeZone(), budget);
    m_indexDay = today;
    // The index keeps the window's occurrences: those of the new day.
    writeIndexSoon();
    reportProblems(cutShortLines(budget));
}

QList<CalendarEvent> LocalFolderProvider::events(
    const QDateTime &start, const QDateTime &end, const QSet<QString> &calendarIds, qsizetype atLeastFirst) const
{
    if (!m_loaded || !start.isValid() || !end.isValid())
        return {};
    const qint64 fromMs = start.toMSecsSinceEpoch();
    const qint64 toMs = end.toMSecsSinceEpoch();
    auto accept = [&calendarIds](const ParsedFile &file) {
        return calendarIds.isEmpty() || calendarIds.contains(file.calendarId);
    };

    ensureIndexWindow();
    QList<CalendarEvent> result;
    if (m_index.covers(fromMs, toMs)) {
        const std::vector<const Occurrence *> found = m_index.query(fromMs, toMs, accept);
        const size_t wanted = countOfFirst(found, atLeastFirst, [](const Occurrence *o) { return o->startMs; });
        result.reserve(qsizetype(wanted));
        for (const Occurrence *occurrence : std::span(found).first(wanted)) {
            if (!occurrence->materialized)
                occurrence->materialized = std::make_shared<const CalendarEvent>(materialize(*occurrence));
            result.append(*occurrence->materialized);
        }
        return result;
    }
    // Far from today (a month browsed ahead): expand on demand.
    std::vector<Occurrence> found;
    RecurrenceExpander::ExpansionBudget budget(QueryExpansionPoolMs);
    for (const FilePtr &file : m_files) {
        if (accept(*file))
            RecurrenceExpander::expandFile(*file, fromMs, toMs, m_clock.timeZone(), found, budget);
    }
    reportProblems(cutShortLines(budget));
    std::sort(found.begin(), found.end(), occurrenceLess);
    const size_t wanted = countOfFirst(found, atLeastFirst, [](const Occurrence &o) { return o.startMs; });
    result.reserve(qsizetype(wanted));
    for (const Occurrence &occurrence : std::span(found).first(wanted))
        result.append(materialize(occurrence));
    return result;
}

bool LocalFolderProvider::answersAtOnce(const QDateTime &start, const QDateTime &end) const
{
    if (!m_loaded || !start.isValid() || !end.isValid())
        return false;
    ensureIndexWindow();
    return m_index.covers(start.toMSecsSinceEpoch(), end.toMSecsSinceEpoch());
}

CalendarEvent LocalFolderProvider::materialize(const Occurrence &occurrence) const
{
    const QTimeZone zone = m_clock.timeZone();
    const EventRecord &record = occurrence.record();
    const ParsedFile &file = *occurrence.file;
    CalendarEvent event;
    event.eventIdentifier = file.path() + QLatin1Char('#') + occurrence.series().key;
    event.recurrenceKey = RecurrenceExpander::recurrenceKeyOfOccurrence(occurrence, zone);
    event.isRecurring = !event.recurrenceKey.isEmpty();
    event.id
        = event.isRecurring ? event.eventIdentifier + QLatin1Char('@') + event.recurrenceKey : event.eventIdentifier;
    event.title = record.title;
    event.hasTitle = record.hasTitle;
    event.allDay = record.start.isDate();
    if (event.allDay) {
        event.startDate = QDateTime::fromMSecsSinceEpoch(occurrence.startMs, zone).date();
        event.endDate = qMax(event.startDate.addDays(1), QDateTime::fromMSecsSinceEpoch(occurrence.endMs, zone).date());
        event.start = QDateTime(event.startDate, QTime(0, 0), zone);
        event.end = QDateTime(event.endDate, QTime(0, 0), zone);
    } else {
        event.start = inZoneOf(record.start, occurrence.startMs, zone);
        event.end = inZoneOf(record.start, occurrence.endMs, zone);
    }
    event.calendarId = file.calendarId;
    if (const Vdir::CalendarDir *calendar = calendarById(file.calendarId)) {
        event.calendarTitle = calendar->title;
        event.calendarColor = calendar->color;
        event.sourceId = calendar->sourceId;
    }
    event.providerId = providerId();
    return event;
}

bool LocalFolderProvider::replaceFile(FilePtr file, QStringList &problems)
{
    const auto it = m_files.constFind(file->pathUtf8);
    bool sameContent = false;
    if (it != m_files.constEnd()) {
        file->listedAt = (*it)->listedAt; // where the listing still has it
        sameContent = (*it)->contentHash == file->contentHash && (*it)->size == file->size
            && (*it)->calendarId == file->calendarId;
        if (sameContent && (*it)->stamp == file->stamp)
            return false;
        m_index.removeFile(it->get());
    }
    if (!file->problems.isEmpty() && !sameContent)
        problems.append(problemLine(*file));
    const ParsedFile &added = *file;
    m_files.insert(file->pathUtf8, std::move(file));
    if (!m_index.addFile(added, m_clock.timeZone()))
        problems.append(added.path() + QStringLiteral(": repeating events too costly to follow; shown in part"));
    if (sameContent) {
        // Touched, not changed: nothing to announce, but the index must learn
        // the new stamp or it would have the file parsed at every start.
        writeIndexSoon();
        return false;
    }
    return true;
}

bool LocalFolderProvider::dropFile(const QString &path)
{
    const QByteArray key = SafeFile::encodedPath(path);
    const auto it = m_files.constFind(key);
    if (it == m_files.constEnd())
        return false;
    m_index.removeFile(it->get());
    m_files.remove(key);
    return true;
}

// Another program writing a file in place (truncate, then write) can be
// caught in between; a file that had events and now reads as empty or broken
// keeps its old events until it has been looked at again once the folder is
// quiet, and its last change is older than that.
bool LocalFolderProvider::keepWhileStillBeingWritten(const QString &path, const ParsedFile &fresh, bool asked)
{
    const FilePtr current = m_files.value(SafeFile::encodedPath(path));
    const bool looksBroken = fresh.series().empty() || !fresh.readComplete;
    if (!looksBroken || !current || current->series().empty() || !current->readComplete) {
        m_brokenRereads.remove(path);
        return false;
    }
    int &rereads = m_brokenRereads[path];
    // Already waiting for the folder to be quiet: a question does not count
    // as one of its looks, or questions in quick succession would have a
    // file believed while it is still being written.
    if (asked && rereads > 0) {
        m_pendingFiles.insert(path);
        return true;
    }
    const QDateTime lastChange = QFileInfo(path).lastModified();
    const bool recentlyChanged
        = !lastChange.isValid() || lastChange.msecsTo(QDateTime::currentDateTimeUtc()) < QuietIntervalMs;
    if ((rereads == 0 || recentlyChanged) && rereads < MaxRereadsOfBrokenFile) {
        ++rereads;
        m_pendingFiles.insert(path);
        return true;
    }
    m_brokenRereads.remove(path);
    return false;
}

void LocalFolderProvider::scheduleProcessing()
{
    if (!m_quietTimer.isActive() && !m_firstPendingChange.isValid())
        m_firstPendingChange.start();
    const qint64 waited = m_firstPendingChange.isValid() ? m_firstPendingChange.elapsed() : 0;
    // Restarted by every change: applied once the folders are quiet.
    m_quietTimer.start(int(qBound(qint64(0), qint64(MaxChangeDelayMs) - waited, qint64(QuietIntervalMs))));
}

void LocalFolderProvider::noteFileChange(const QString &path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (name == QLatin1String("displayname") || name == QLatin1String("color")) {
        m_pendingLayout = true;
    } else if (Vdir::isEventFileName(name)) {
        // A .ics file beside the calendar folders is a calendar of its own.
        if (!m_calendarByPath.contains(info.path()))
            m_pendingLayout = true;
        m_pendingFiles.insert(path);
    } else {
        return; // temporary files of atomic writers and the like
    }
    scheduleProcessing();
}

void LocalFolderProvider::noteFolderChange()
{
    m_pendingLayout = true;
    scheduleProcessing();
}

void LocalFolderProvider::announceOwnChange()
{
    m_ownChangePending = true;
    scheduleProcessing();
}

bool LocalFolderProvider::rescanLayout(QStringList &problems)
{
    Vdir::Layout fresh = Vdir::scan(folders(), m_accountNames);
    problems += std::exchange(fresh.problems, {});
    QHash<QString, QString> oldIds; // path → id
    for (const Vdir::CalendarDir &calendar : m_layout.calendars)
        oldIds.insert(calendar.path, calendar.id);
    bool changedAnything
        = fresh.sources.size() != m_layout.sources.size() || fresh.calendars.size() != m_layout.calendars.size();
    for (qsizetype i = 0; !changedAnything && i < fresh.calendars.size(); ++i) {
        const Vdir::CalendarDir &a = fresh.calendars[i];
        const Vdir::CalendarDir &b = m_layout.calendars[i];
        changedAnything = a.id != b.id || a.title != b.title || a.color != b.color || a.writable != b.writable;
    }
    for (qsizetype i = 0; !changedAnything && i < fresh.sources.size(); ++i)
        changedAnything = fresh.sources[i].title != m_layout.sources[i].title;

    QSet<QString> freshPaths;
    for (const Vdir::CalendarDir &calendar : fresh.calendars) {
        freshPaths.insert(calendar.path);
        // A calendar that is new, or every calendar after lost events: read all its files.
        if (!oldIds.contains(calendar.path) || m_pendingFullRescan) {
            for (const QString &path : Vdir::eventFiles(calendar, &problems))
                m_pendingFiles.insert(path);
        }
    }
    for (const Vdir::CalendarDir &calendar : m_layout.calendars) {
        if (freshPaths.contains(calendar.path))
            continue;
        if (!calendar.singleFile)
            m_watcher.unwatch(calendar.path);
    }
    // Files of calendars that are gone, or of a full rescan, are checked below.
    for (const FilePtr &file : std::as_const(m_files)) {
        const QString path = file->path();
        const QString folder = QFileInfo(path).path();
        if (m_pendingFullRescan || (!freshPaths.contains(path) && !freshPaths.contains(folder)))
            m_pendingFiles.insert(path);
    }
    setLayout(std::move(fresh));
    if (changedAnything)
        m_index.clear(); // events carry calendar titles and colours: made anew on the next query
    return changedAnything;
}

void LocalFolderProvider::flushPendingChanges()
{
    m_quietTimer.stop();
    processPendingChanges();
}

void LocalFolderProvider::takeInPendingChanges()
{
    if (!m_loaded)
        return;
    m_watcher.takePendingEvents();
    if (m_pendingFiles.isEmpty() && !m_pendingLayout && !m_ownChangePending)
        return;
    m_quietTimer.stop();
    processPendingChanges(true);
}

void LocalFolderProvider::processPendingChanges(bool asked)
{
    if (!m_loaded)
        return; // picked up once the load is applied
    m_firstPendingChange.invalidate();
    QStringList problems;
    bool changedAnything = std::exchange(m_ownChangePending, false);
    if (m_pendingLayout) {
        changedAnything |= rescanLayout(problems);
        m_pendingLayout = false;
        m_pendingFullRescan = false;
    }
    const QSet<QString> paths = std::exchange(m_pendingFiles, {});
    std::vector<ParseJob> jobs;
    for (const QString &path : paths) {
        const Vdir::CalendarDir *calendar = calendarForFile(path);
        if (!calendar || !QFileInfo(path).isFile()) {
            m_brokenRereads.remove(path);
            changedAnything |= dropFile(path);
        } else {
            jobs.push_back({path, calendar->id});
        }
    }
    for (FilePtr &file : parseAll(jobs)) {
        if (!keepWhileStillBeingWritten(file->path(), *file, asked))
            changedAnything |= replaceFile(std::move(file), problems);
    }
    reportProblems(problems);
    if (!m_pendingFiles.isEmpty())
        scheduleProcessing(); // files still being written: looked at again when quiet
    if (changedAnything) {
        writeIndexSoon();
        emit changed();
    }
}

void LocalFolderProvider::writeIndexSoon() const
{
    if (m_indexPath.isEmpty())
        return;
    m_indexOutOfDate = true;
    m_indexWriteTimer.start();
}

void LocalFolderProvider::startIndexWrite()
{
    if (!m_indexOutOfDate || m_indexPath.isEmpty())
        return;
    if (m_indexWrite.isRunning()) {
        m_indexWriteTimer.start(); // once this one is done
        return;
    }
    m_indexOutOfDate = false;
    // Taken here, put in order on the write's thread.
    std::vector<PersistentIndex::FilePtr> files;
    files.reserve(size_t(m_files.size()));
    // A file whose expansion was cut short is expanded anew next time: it
    // gets no occurrences in the index.
    std::vector<const ParsedFile *> cutShort;
    for (const FilePtr &file : std::as_const(m_files)) {
        files.push_back(file);
        if (file->recurrenceOverBudget)
            cutShort.push_back(file.get());
    }
    PersistentIndex::Window window;
    std::vector<KeptOccurrence> occurrences;
    const bool windowBuilt = m_index.isBuilt();
    if (windowBuilt) {
        window.fromMs = m_index.windowStartMs();
        window.toMs = m_index.windowEndMs();
        window.zoneId = m_clock.timeZone().id();
        occurrences.reserve(size_t(m_index.size()));
        m_index.forEach([&occurrences](const Occurrence &occurrence) {
            occurrences.push_back({occurrence.file,
                {occurrence.startMs, occurrence.endMs, occurrence.seriesIndex, occurrence.overrideIndex}});
        });
    }
    // The records are shared and never changed once made: the write reads
    // them on its own thread while the store goes on.
    m_indexWrite = QtConcurrent::run(
        [path = m_indexPath, settleNs = m_indexSettleNs, files = std::move(files), window = std::move(window),
            occurrences = std::move(occurrences), cutShort = std::move(cutShort), windowBuilt]() mutable {
            if (windowBuilt)
                fillWindow(window, files, std::move(occurrences), std::move(cutShort));
            std::sort(files.begin(), files.end(),
                [](const FilePtr &a, const FilePtr &b) { return a->listedAt < b->listedAt; });
            QString problem;
            if (!PersistentIndex::write(path, files, window, &problem, settleNs))
                qCWarning(lcLocal).noquote() << "cannot write the calendar index" << path << ":" << problem;
        });
}

void LocalFolderProvider::writeIndexNow()
{
    m_indexWrite.waitForFinished();
    if (m_indexOutOfDate) {
        m_indexWriteTimer.stop();
        startIndexWrite();
        m_indexWrite.waitForFinished();
    }
}

QString LocalFolderProvider::filePathOfEvent(const QString &eventIdentifier) const
{
    // The identifier is "<file path>#<series key>"; the path may hold '#' too.
    for (qsizetype hash = eventIdentifier.indexOf(QLatin1Char('#')); hash > 0;
         hash = eventIdentifier.indexOf(QLatin1Char('#'), hash + 1)) {
        const QString candidate = eventIdentifier.left(hash);
        if (m_files.contains(SafeFile::encodedPath(candidate)))
            return candidate;
    }
    return {};
}

std::optional<CalendarEvent> LocalFolderProvider::eventById(const QString &id) const
{
    // "<file path>#<series key>", and "@<recurrence key>" for one occurrence
    // of a series; a UID may hold '@' too, so every reading is tried.
    const QString path = filePathOfEvent(id);
    if (path.isEmpty())
        return std::nullopt;
    const FilePtr file = m_files.value(SafeFile::encodedPath(path));
    const QString rest = id.mid(path.size() + 1);
    const QTimeZone zone = m_clock.timeZone();
    // Where the occurrence can lie: at the event's own start, at the start of
    // the changed occurrence the key names, or on the day the key names (its
    // original start). Expanded around each, its id is compared.
    std::vector<qint64> around;
    for (const EventSeries &series : file->series()) {
        if (rest == series.key) {
            if (series.hasMaster)
                around.push_back(series.master.start.toMSecs(zone));
        } else if (rest.startsWith(series.key + QLatin1Char('@'))) {
            const QString key = rest.mid(series.key.size() + 1);
            for (const EventRecord &override : series.overrides) {
                if (RecurrenceExpander::recurrenceKey(override.recurrenceId, zone) == key)
                    around.push_back(override.start.toMSecs(zone));
            }
            const QDate day = QDate::fromString(key.left(8), QStringLiteral("yyyyMMdd"));
            if (day.isValid())
                around.push_back(QDateTime(day, QTime(12, 0), QTimeZone::utc()).toMSecsSinceEpoch());
        }
    }
    // More than any zone's offset from the key's day.
    constexpr qint64 MarginMs = 3LL * 86400 * 1000;
    for (const qint64 ms : around) {
        std::vector<Occurrence> found;
        RecurrenceExpander::expandFile(*file, ms - MarginMs, ms + MarginMs, zone, found);
        for (const Occurrence &occurrence : found) {
            CalendarEvent event = materialize(occurrence);
            if (event.id == id)
                return event;
        }
    }
    return std::nullopt;
}

EventDetails LocalFolderProvider::eventDetails(const CalendarEvent &event) const
{
    const QString path = filePathOfEvent(event.eventIdentifier);
    if (path.isEmpty())
        return {};
    // Read afresh: the records in memory leave the details out.
    const ParsedFile file
        = IcsParser::readFile(path, m_files.value(SafeFile::encodedPath(path))->calendarId, IcsParser::Details::Keep);
    const QString seriesKey = event.eventIdentifier.mid(path.size() + 1);
    const QTimeZone zone = m_clock.timeZone();
    for (const EventSeries &series : file.series()) {
        if (series.key != seriesKey)
            continue;
        const EventRecord *record = series.hasMaster ? &series.master : nullptr;
        for (const EventRecord &override : series.overrides) {
            if (!event.recurrenceKey.isEmpty()
                && RecurrenceExpander::recurrenceKey(override.recurrenceId, zone) == event.recurrenceKey)
                record = &override;
        }
        if (!record && !series.overrides.empty())
            record = &series.overrides.front();
        if (record && record->details)
            return {record->details->notes, record->details->url, record->details->location, record->details->alarms};
    }
    return {};
}

StoreResult LocalFolderProvider::saveEvent(const NewEventRequest &request)
{
    const Vdir::CalendarDir *calendar = calendarById(request.calendarId);
    if (!calendar)
        return StoreResult::failure(tr("The calendar no longer exists."));
    if (calendar->singleFile || !calendar->writable)
        return StoreResult::failure(tr("The calendar \"%1\" is read-only.").arg(calendar->title));
    if (!QFileInfo(calendar->path).isDir())
        return StoreResult::failure(tr("The folder of the calendar \"%1\" no longer exists.").arg(calendar->title));
    if (!request.start.isValid() || !request.end.isValid())
        return StoreResult::failure(tr("The event has no valid start and end."));
    if (request.allDay ? request.end.date() < request.start.date() : request.end < request.start)
        return StoreResult::failure(tr("The event ends before it starts."));
    if (const QString problem = storableRangeProblem(request.start, request.end, request.allDay); !problem.isEmpty())
        return StoreResult::failure(problem);

    const QString uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QByteArray content = IcsWriter::newEventFile(request, uid, m_clock.now());
    const QString path = calendar->path + QLatin1Char('/') + uid + QStringLiteral(".ics");
    if (StoreResult written = IcsWriter::writeAtomically(path, content); !written.ok)
        return written;
    QStringList problems;
    replaceFile(std::make_shared<ParsedFile>(IcsParser::parse(path, calendar->id, content)), problems);
    if (!m_loaded)
        m_writtenDuringLoad.insert(SafeFile::encodedPath(path));
    announceOwnChange();
    return StoreResult::success(path + QLatin1Char('#') + uid);
}

StoreResult LocalFolderProvider::removeEvent(const CalendarEvent &event, RemoveSpan span)
{
    Q_UNUSED(span); // only "this event" exists
    const QString path = filePathOfEvent(event.eventIdentifier);
    if (path.isEmpty())
        return StoreResult::failure(tr("The event no longer exists."));
    const Vdir::CalendarDir *calendar = calendarForFile(path);
    if (!calendar)
        return StoreResult::failure(tr("The calendar no longer exists."));
    if (calendar->singleFile || !calendar->writable)
        return StoreResult::failure(tr("The calendar \"%1\" is read-only.").arg(calendar->title));

    const QString fileName = QFileInfo(path).fileName();
    const QString seriesKey = event.eventIdentifier.mid(path.size() + 1);
    // The removal is made on what the file holds now; if another program
    // changes the file before it is replaced, it is made again on that.
    constexpr int Attempts = 3;
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        const SafeFile::Read read = SafeFile::readRegularFile(path, IcsParser::MaxFileSize);
        if (!read.ok())
            return StoreResult::failure(tr("Could not read \"%1\": %2").arg(fileName, read.error));
        const IcsWriter::Edit edit
            = IcsWriter::removeFromFile(read.data, seriesKey, event.recurrenceKey, m_clock.timeZone());
        if (!edit.ok)
            return StoreResult::failure(edit.error);
        const IcsWriter::Outcome outcome = edit.deleteFile
            ? IcsWriter::deleteIfUnchanged(path, read.data)
            : IcsWriter::replaceIfUnchanged(path, read.data, edit.content);
        if (outcome.changedMeanwhile)
            continue;
        if (!outcome.result.ok)
            return outcome.result;
        QStringList problems;
        if (edit.deleteFile)
            dropFile(path);
        else
            replaceFile(std::make_shared<ParsedFile>(IcsParser::parse(path, calendar->id, edit.content)), problems);
        announceOwnChange();
        return StoreResult::success(event.eventIdentifier);
    }
    return StoreResult::failure(
        tr("\"%1\" is being changed by another program; the event was left as it is.").arg(fileName));
}
