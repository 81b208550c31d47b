// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/IcsRecords.h"

#include <QByteArray>
#include <QHash>
#include <QLoggingCategory>
#include <QString>

#include <memory>
#include <span>
#include <vector>

// What the local folders held at the last load, kept on disk so that the
// next start parses only the files that changed since. Each file's records
// are trusted only while its stamp (size, modification and change time,
// inode) is the same. The whole index is versioned and checksummed: one that
// is missing, from another version, truncated or damaged is ignored and
// written anew, so deleting it is always safe.
// QT_LOGGING_RULES="brivane.timing.debug=true": how long each step of a load takes.
Q_DECLARE_LOGGING_CATEGORY(lcTiming)

namespace PersistentIndex {

// Raised whenever the layout or the meaning of the records changes (6:
// titles as the parser keeps them, on one line and bounded; an older index
// may hold whole ones).
constexpr quint32 FormatVersion = 6;
// Magic, version, payload length and checksum before the records.
constexpr qsizetype HeaderBytes = 8 + 4 + 8 + 8;
// An index larger than this is neither written nor read.
constexpr qint64 MaxBytes = 512LL * 1024 * 1024;
// File times advance in coarse ticks: a file read less than this after its
// last change might change again with the same stamp, so it is left out of
// the index (and parsed again next time).
constexpr qint64 SettleNs = 2'000'000'000;

using FilePtr = std::shared_ptr<const ParsedFile>;

// One occurrence of a file's event within the window, as the store indexes it.
struct StoredOccurrence
{
    qint64 startMs = 0;
    qint64 endMs = 0;
    quint32 seriesIndex = 0;
    qint32 overrideIndex = -1;
};

// The occurrences of the store's window of days, kept so that a start on
// the same day in the same zone need not expand the files' rules again.
struct Window
{
    // A file's occurrences: a run of `occurrences`.
    struct Range
    {
        const ParsedFile *file = nullptr;
        quint32 first = 0;
        quint32 count = 0;
    };

    qint64 fromMs = 0;
    qint64 toMs = 0;
    QByteArray zoneId;
    // All files' occurrences in one run, and where each file's are. Files
    // without a range (their expansion was cut short, say) are expanded
    // anew. (One allocation for all: a large store has tens of thousands of
    // files, most with no occurrence in the window.)
    std::vector<StoredOccurrence> occurrences;
    std::vector<Range> ranges; // in the order of their files' addresses, for `find`

    bool matches(qint64 from, qint64 to, const QByteArray &zone) const
    {
        return fromMs == from && toMs == to && zoneId == zone && !zoneId.isEmpty();
    }
    // Puts `ranges` in the order `find` needs.
    void sortRanges();
    // The range of `file`, or null.
    const Range *find(const ParsedFile *file) const;
    std::span<const StoredOccurrence> occurrencesOf(const Range &range) const
    {
        return std::span<const StoredOccurrence>(occurrences).subspan(range.first, range.count);
    }
};

// What an index holds: the files by path, and the window's occurrences.
struct Contents
{
    QHash<QByteArray, FilePtr> files; // by `ParsedFile::pathUtf8`
    // The same files in the order of their records (each one's `listedAt`).
    std::vector<FilePtr> inRecordOrder;
    Window window;

    bool isEmpty() const { return files.isEmpty(); }
    qsizetype size() const { return files.size(); }
};

// The index's usual place: $XDG_CACHE_HOME/brivane/calendar-index.
QString defaultPath();

// The index as bytes: header, checksum and records.
QByteArray toBytes(const std::vector<FilePtr> &files, const Window &window = {}, qint64 settleNs = SettleNs);

// Reads what `toBytes` wrote. Anything else, however damaged, gives an empty
// result and, in `problem`, why it was not used.
Contents fromBytes(QByteArray bytes, QString *problem = nullptr);

// The records alone, without header and checksum: what a fuzzer feeds.
Contents fromPayload(const QByteArray &payload, QString *problem = nullptr);

// Reads the index file; missing, unreadable or damaged gives an empty result.
Contents read(const QString &path, QString *problem = nullptr);

// Writes the index atomically (a temporary file renamed over the old one).
// Files that could not be opened, or that were read less than `settleNs`
// after their last change, are left out: they are parsed again next time. False, with `problem`, on failure.
bool write(const QString &path, const std::vector<FilePtr> &files, const Window &window = {},
    QString *problem = nullptr, qint64 settleNs = SettleNs);

} // namespace PersistentIndex
