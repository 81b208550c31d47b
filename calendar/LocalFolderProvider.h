// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarProvider.h"
#include "calendar/Clock.h"
#include "calendar/FolderWatcher.h"
#include "calendar/OccurrenceIndex.h"
#include "calendar/PersistentIndex.h"
#include "calendar/VdirLayout.h"

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QHash>
#include <QSet>
#include <QTimer>

#include <functional>
#include <memory>

// Calendars kept as folders of .ics files (the vdir layout shared with
// vdirsyncer and khal). Files are parsed once into compact records, in the
// background at start; afterwards only the files that change are read again.
class LocalFolderProvider final : public CalendarProvider
{
    Q_OBJECT
public:
    // Changes are applied once the folders have been quiet this long, so a
    // sync that writes many files is one change…
    static constexpr int QuietIntervalMs = 250;
    // …but never later than this after the first of them.
    static constexpr int MaxChangeDelayMs = 2000;
    // A file that reads as empty or broken while another program is still
    // writing it is looked at again this many times before it is believed.
    static constexpr int MaxRereadsOfBrokenFile = 8;
    // Warning lines for one load or one batch of changes; the rest are counted.
    static constexpr int MaxWarningLines = 20;

    // `defaultRoot`, a root of accounts, gets the "Local" account on first
    // start; `extraFolders` are further folders of calendars (vdirsyncer's
    // and khal's, say).
    LocalFolderProvider(
        QString defaultRoot, QList<Vdir::Folder> extraFolders, const Clock &clock, QObject *parent = nullptr);
    ~LocalFolderProvider() override;

    // Where the records of what was parsed are kept between runs (see
    // PersistentIndex); empty, the default, keeps none. Set before `start`.
    void setIndexPath(const QString &path) { m_indexPath = path; }
    // How long after its last change a file must have been read to go into
    // the index (PersistentIndex::SettleNs); tests that write files and
    // index them at once set 0.
    void setIndexSettleNs(qint64 settleNs) { m_indexSettleNs = settleNs; }
    // After changes, the index is written once the folders have been quiet
    // this long.
    static constexpr int IndexWriteDelayMs = 2000;

    // Names of accounts by folder (see Vdir::scan). Set before `start`.
    void setAccountNames(QHash<QString, QString> names) { m_accountNames = std::move(names); }

    // Whether the folders are watched for changes (the default). Set before `start`.
    void setWatching(bool watching) { m_watching = watching; }

    // Whether `start` makes the default root, with its "Personal" calendar,
    // when it is not there (the default). Where another provider may offer
    // the calendar new events go to, it is made only once none does, by
    // createDefaultRoot(). Set before `start`.
    void setCreatesDefaultRoot(bool creates) { m_createsDefaultRoot = creates; }
    // Makes the default root when it is not there and takes it in.
    void createDefaultRoot();

    void start() override;

    QString providerId() const override { return QStringLiteral("local"); }
    bool isLoaded() const override { return m_loaded; }
    bool isReadable() const override;
    QList<CalendarSource> sources() const override;
    QList<CalendarInfo> calendars() const override;
    QString defaultCalendarId() const override;
    QList<CalendarEvent> events(const QDateTime &start, const QDateTime &end, const QSet<QString> &calendarIds,
        qsizetype atLeastFirst) const override;
    // Inside the window of occurrences kept at hand.
    bool answersAtOnce(const QDateTime &start, const QDateTime &end) const override;
    std::optional<CalendarEvent> eventById(const QString &id) const override;
    EventDetails eventDetails(const CalendarEvent &event) const override;
    StoreResult saveEvent(const NewEventRequest &request) override;
    StoreResult removeEvent(const CalendarEvent &event, RemoveSpan span) override;

    // Applies the changes noted so far now, instead of once the folders are quiet.
    void flushPendingChanges();
    // The same after reading what the watcher has not reported yet.
    void takeInPendingChanges() override;
    // Files and folders noted as changed and not yet applied.
    qsizetype pendingChangeCount() const { return m_pendingFiles.size() + (m_pendingLayout ? 1 : 0); }
    qsizetype fileCount() const { return m_files.size(); }
    // Of the first load: files taken from the index, and files parsed.
    qsizetype filesFromIndex() const { return m_filesFromIndex; }
    qsizetype filesParsed() const { return m_filesParsed; }
    // Writes the index now if it is out of date, and waits for any write
    // under way. For commands about to exit, and tests.
    void writeIndexNow();
    void finishBackgroundWork() override { writeIndexNow(); }
    size_t indexedOccurrenceCount() const { return m_index.size(); }

    // Runs on the loading thread just before a load hands its result over;
    // lets tests act while a load is under way.
    void setLoadFinishingHook(std::function<void()> hook) { m_loadFinishingHook = std::move(hook); }

private:
    using FilePtr = std::shared_ptr<const ParsedFile>;
    struct LoadResult;

    QList<Vdir::Folder> folders() const;
    // The folders to watch for the given ones to appear and change.
    QStringList watchedFolders() const;
    void setLayout(Vdir::Layout layout);
    void applyLoad(const std::shared_ptr<LoadResult> &result);
    void noteFileChange(const QString &path);
    void noteFolderChange();
    void scheduleProcessing();
    // `asked`: for a question, not because the folders went quiet.
    void processPendingChanges(bool asked = false);
    bool rescanLayout(QStringList &problems);
    const Vdir::CalendarDir *calendarForFile(const QString &path) const;
    const Vdir::CalendarDir *calendarById(const QString &calendarId) const;
    bool replaceFile(FilePtr file, QStringList &problems);
    bool dropFile(const QString &path);
    bool keepWhileStillBeingWritten(const QString &path, const ParsedFile &fresh, bool asked);
    void announceOwnChange();
    void ensureIndexWindow() const;
    CalendarEvent materialize(const Occurrence &occurrence) const;
    QString filePathOfEvent(const QString &eventIdentifier) const;
    void reportProblems(const QStringList &problems) const;
    // Const: a query that moves the window to a new day makes the index old.
    void writeIndexSoon() const;
    void startIndexWrite();

    const Clock &m_clock;
    QString m_defaultRoot;
    QList<Vdir::Folder> m_extraFolders;
    QHash<QString, QString> m_accountNames;

    bool m_loaded = false;
    Vdir::Layout m_layout;
    QHash<QString, qsizetype> m_calendarByPath; // folder or single file → index in m_layout.calendars
    QHash<QByteArray, FilePtr> m_files; // by `ParsedFile::pathUtf8`
    mutable OccurrenceIndex m_index;
    mutable QDate m_indexDay;

    FolderWatcher m_watcher;
    QTimer m_quietTimer;
    QElapsedTimer m_firstPendingChange;
    QSet<QString> m_pendingFiles;
    bool m_pendingLayout = false;
    bool m_pendingFullRescan = false;
    bool m_ownChangePending = false;
    // Files that read as empty or broken while still being written, with how
    // often they were looked at since.
    QHash<QString, int> m_brokenRereads;
    // Written by this provider before the first load was applied.
    QSet<QByteArray> m_writtenDuringLoad; // in UTF-8, as `m_files` has them
    QFutureWatcher<std::shared_ptr<LoadResult>> m_loadWatcher;
    std::function<void()> m_loadFinishingHook;

    bool m_watching = true;
    bool m_createsDefaultRoot = true;
    QString m_indexPath;
    qint64 m_indexSettleNs = PersistentIndex::SettleNs;
    qsizetype m_filesFromIndex = 0;
    qsizetype m_filesParsed = 0;
    mutable bool m_indexOutOfDate = false;
    mutable QTimer m_indexWriteTimer;
    QFuture<void> m_indexWrite;
};
