#pragma once

#include "calendar/CalendarProvider.h"
#include "calendar/Clock.h"
#include "calendar/FolderWatcher.h"
#include "calendar/OccurrenceIndex.h"
#include "calendar/VdirLayout.h"

#include <QFutureWatcher>
#include <QHash>
#include <QSet>
#include <QTimer>

#include <memory>

// Calendars kept as folders of .ics files (the vdir layout shared with
// vdirsyncer and khal). Files are parsed once into compact records, in the
// background at start; afterwards only the files that change are read again.
class LocalFolderProvider final : public CalendarProvider
{
    Q_OBJECT
public:
    // `defaultRoot` gets the "Local" account on first start; `extraRoots` are
    // further folders of the same layout (a vdirsyncer folder, say).
    LocalFolderProvider(QString defaultRoot, QStringList extraRoots, const Clock &clock, QObject *parent = nullptr);
    ~LocalFolderProvider() override;

    // Begins reading in the background; `loaded` follows.
    void start();

    QString providerId() const override { return QStringLiteral("local"); }
    bool isLoaded() const override { return m_loaded; }
    bool isReadable() const override;
    QList<CalendarSource> sources() const override;
    QList<CalendarInfo> calendars() const override;
    QString defaultCalendarId() const override;
    QList<CalendarEvent> events(
        const QDateTime &start, const QDateTime &end, const QSet<QString> &calendarIds) const override;
    EventDetails eventDetails(const CalendarEvent &event) const override;
    StoreResult saveEvent(const NewEventRequest &request) override;
    StoreResult removeEvent(const CalendarEvent &event, RemoveSpan span) override;

    // How long changes are gathered before they are applied and announced.
    void setCoalescingInterval(int milliseconds) { m_coalesceTimer.setInterval(milliseconds); }
    qsizetype fileCount() const { return m_files.size(); }
    size_t indexedOccurrenceCount() const { return m_index.size(); }

private:
    using FilePtr = std::shared_ptr<const ParsedFile>;
    struct LoadResult;

    QStringList roots() const;
    void setLayout(Vdir::Layout layout);
    void applyLoad(const std::shared_ptr<LoadResult> &result);
    void noteFileChange(const QString &path);
    void noteFolderChange();
    void processPendingChanges();
    bool rescanLayout();
    const Vdir::CalendarDir *calendarForFile(const QString &path) const;
    const Vdir::CalendarDir *calendarById(const QString &calendarId) const;
    bool replaceFile(FilePtr file);
    bool dropFile(const QString &path);
    void announceChangeSoon();
    void ensureIndexWindow() const;
    CalendarEvent materialize(const Occurrence &occurrence) const;
    QString filePathOfEvent(const QString &eventIdentifier) const;

    const Clock &m_clock;
    QString m_defaultRoot;
    QStringList m_extraRoots;

    bool m_loaded = false;
    Vdir::Layout m_layout;
    QHash<QString, qsizetype> m_calendarByPath; // folder or single file → index in m_layout.calendars
    QHash<QString, FilePtr> m_files;
    mutable OccurrenceIndex m_index;
    mutable QDate m_indexDay;

    FolderWatcher m_watcher;
    QTimer m_coalesceTimer;
    QSet<QString> m_pendingFiles;
    bool m_pendingLayout = false;
    bool m_pendingFullRescan = false;
    bool m_ownChangePending = false;
    QFutureWatcher<std::shared_ptr<LoadResult>> m_loadWatcher;
};
