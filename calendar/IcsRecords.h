// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarTypes.h"
#include "calendar/SafeFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

class ResolvedZone;

namespace RecurrenceRules {
enum class Plan : quint8;
}

// The four kinds of time an iCalendar file can hold. They are kept apart
// until the moment an instant is needed.
enum class TimeKind : quint8 {
    Utc, // "…Z": an instant
    Zoned, // TZID: a wall-clock time in a named zone
    Floating, // no zone: the wall-clock time wherever the user is
    Date, // a whole day, never shifted by any zone
};

struct IcsTime
{
    QDate date;
    QTime time; // null for Date
    TimeKind kind = TimeKind::Floating;
    const ResolvedZone *zone = nullptr; // Zoned only

    bool isValid() const { return date.isValid(); }
    bool isDate() const { return kind == TimeKind::Date; }
    // Floating times and dates are placed in `userZone`; a date gives its
    // first moment there.
    QDateTime toDateTime(const QTimeZone &userZone) const;
    // The same instant as milliseconds since the epoch, made without a
    // QDateTime where that is safe (see ZoneOffsets): loads convert
    // every event's times.
    qint64 toMSecs(const QTimeZone &userZone) const;
    // The same wall-clock reading shifted by whole days.
    IcsTime addDays(qint64 days) const;
};

// What only an event's detail shows. Kept out of the records the store
// holds (most events never have their detail opened); read from the file
// when asked for.
struct RecordDetails
{
    QString notes;
    QString location;
    QString url;
    QList<EventAlarm> alarms;
};

// How an event repeats. Most events do not: kept apart from the record.
struct RecurrenceSet
{
    // Each RRULE as text, with how it is to be expanded (decided once, when
    // the file is read).
    QList<QByteArray> rrules;
    QList<RecurrenceRules::Plan> rrulePlans;
    QList<IcsTime> rdates;
    QList<IcsTime> rdateEnds; // parallel to rdates; invalid unless a PERIOD
    QList<IcsTime> exdates;

    bool isEmpty() const { return rrules.isEmpty() && rdates.isEmpty() && exdates.isEmpty(); }
};

// One VEVENT, reduced to what the program shows and needs for recurrence.
struct EventRecord
{
    QString uid;
    QString title;
    bool hasTitle = false;
    // Only when the file was parsed for its details.
    std::shared_ptr<const RecordDetails> details;
    IcsTime start;
    // Length of each occurrence: whole days on the wall clock, then exact
    // seconds (DTEND gives exact seconds for timed events, DURATION may give
    // both).
    qint32 durationDays = 0;
    qint64 durationSeconds = 0;
    // Longer than any calendar needs (about 10,000 years); longer lengths
    // are read as this, so arithmetic on instants cannot overflow.
    static constexpr qint32 MaxDurationDays = 3'660'000;
    static constexpr qint64 MaxDurationSeconds = qint64(MaxDurationDays) * 86400;
    // How the event repeats; null for the many events that do not.
    std::shared_ptr<const RecurrenceSet> recurrence;
    IcsTime recurrenceId; // valid for an override of one occurrence
    bool cancelled = false;
    int sequence = 0;

    const RecurrenceSet &repetition() const
    {
        static const RecurrenceSet none;
        return recurrence ? *recurrence : none;
    }
    bool repeats() const { return recurrence && (!recurrence->rrules.isEmpty() || !recurrence->rdates.isEmpty()); }
};

// A master event and the overrides of its occurrences. A file from some
// servers holds overrides without their master; `hasMaster` is then false and
// each override stands alone.
struct EventSeries
{
    QString key; // unique within the file
    bool hasMaster = false;
    EventRecord master;
    std::vector<EventRecord> overrides;
};

// A file's events as the calendar index stores them, decoded only when
// first asked for: of a large calendar, most files are never shown.
class EncodedSeries
{
public:
    virtual ~EncodedSeries() = default;
    // The events of the file whose bytes start at `offset`. The bytes were
    // checked when the index was read, but an index read from disk is read
    // again here: nothing when it no longer holds them (changed in place
    // behind the store's back).
    virtual std::optional<std::vector<EventSeries>> decode(quint32 offset, quint32 length) const = 0;
};

// Everything kept in memory of one .ics file.
struct ParsedFile
{
    // The file's path as the file system has it (UTF-8): a large store keeps
    // one per file, in half the memory of the same path in UTF-16.
    QByteArray pathUtf8;
    QString calendarId;
    qint64 size = 0;
    size_t contentHash = 0;
    // The file as it was when read; an invalid stamp when it could not be
    // opened.
    SafeFile::FileStamp stamp;
    // When it was read (ns since the epoch): a change within the same tick
    // of the file system's clock as the read would not show in the stamp.
    qint64 readAtNs = 0;
    QStringList problems;
    // False when the parser reported errors or parts were skipped: such a
    // file is shown as far as it could be read, and never written back.
    // (The small fields side by side: a large store holds one of these per file.)
    bool readComplete = true;
    // Set once expanding this file's rules took longer than its share of
    // time: later passes give it only a token share.
    mutable bool recurrenceOverBudget = false;
    // Where the file came in its calendars' listing at the last load (for a
    // file taken from the index, until then: where its record is). The index
    // keeps its records in this order, which the next listing of unchanged
    // folders repeats: the load then meets them one after the other.
    mutable quint32 listedAt = 0;

    // The file's events. Safe from any thread: a file taken from the index
    // decodes them on first use.
    QString path() const { return QString::fromUtf8(pathUtf8); }

    const std::vector<EventSeries> &series() const { return m_series.get(*this); }
    // For building a file (the parser, tests).
    std::vector<EventSeries> &editSeries() { return m_series.edit(*this); }
    // The events stay encoded in `source` until first asked for.
    void setEncodedSeries(std::shared_ptr<const EncodedSeries> source, quint32 offset, quint32 length)
    {
        m_series.setEncoded(std::move(source), offset, length);
    }
    const EncodedSeries *encodedSource() const { return m_series.source(); }
    quint32 encodedOffset() const { return m_series.offset(); }
    quint32 encodedLength() const { return m_series.length(); }
    bool seriesDecoded() const { return m_series.decoded(); }

private:
    // The events, either built in place or decoded once from their encoding.
    class LazySeries
    {
    public:
        LazySeries() = default;
        LazySeries(const LazySeries &other);
        LazySeries &operator=(const LazySeries &other);
        LazySeries(LazySeries &&other) noexcept;
        LazySeries &operator=(LazySeries &&other) noexcept;

        // Events whose encoding can no longer be read are read from `owner`'s file.
        const std::vector<EventSeries> &get(const ParsedFile &owner) const;
        std::vector<EventSeries> &edit(const ParsedFile &owner);
        void setEncoded(std::shared_ptr<const EncodedSeries> source, quint32 offset, quint32 length);
        const EncodedSeries *source() const { return m_source.get(); }
        quint32 offset() const { return m_offset; }
        quint32 length() const { return m_lengthAndDecoded.load(std::memory_order_relaxed) & ~DecodedBit; }
        bool decoded() const
        {
            return !m_source || (m_lengthAndDecoded.load(std::memory_order_acquire) & DecodedBit) != 0;
        }

    private:
        // Set in the length once `m_series` holds the decoded events (an
        // index is far smaller than 2 GiB): a flag of its own would make
        // every file of a large store 8 bytes larger.
        static constexpr quint32 DecodedBit = 0x8000'0000u;

        mutable std::vector<EventSeries> m_series;
        std::shared_ptr<const EncodedSeries> m_source;
        quint32 m_offset = 0;
        mutable std::atomic<quint32> m_lengthAndDecoded = 0;
    };
    LazySeries m_series;
};
