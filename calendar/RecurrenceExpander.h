// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/IcsRecords.h"

#include <QTimeZone>

#include <memory>
#include <vector>

struct CalendarEvent;

// One occurrence of one event of a parsed file, as instants. The record it
// comes from is found through `file`, `seriesIndex` and `overrideIndex`
// (-1: made from the master's rule or RDATEs).
struct Occurrence
{
    qint64 startMs = 0;
    qint64 endMs = 0;
    const ParsedFile *file = nullptr;
    quint32 seriesIndex = 0;
    qint32 overrideIndex = -1;
    // The event as handed out, made on first use and kept while the
    // occurrence is indexed.
    mutable std::shared_ptr<const CalendarEvent> materialized;

    // A file whose index records could not be read again is read from
    // itself, and may since hold fewer events than its occurrences point
    // at: those give an empty event until the file's change is seen.
    const EventSeries &series() const
    {
        static const EventSeries none;
        const std::vector<EventSeries> &all = file->series();
        return seriesIndex < all.size() ? all[seriesIndex] : none;
    }
    const EventRecord &record() const
    {
        const EventSeries &of = series();
        if (overrideIndex < 0)
            return of.master;
        static const EventRecord none;
        return size_t(overrideIndex) < of.overrides.size() ? of.overrides[size_t(overrideIndex)] : none;
    }
};

namespace RecurrenceExpander {

// Bounds that keep a hostile rule (FREQ=SECONDLY over decades) from stalling
// the program; a real calendar never comes near them.
constexpr int MaxStepsPerSeries = 200000;
constexpr int MaxOccurrencesPerSeries = 5000;

// Time for expanding rules in one pass over files (a load, one changed file,
// a query far from today). Each file may use a share of the pass's pool; a
// file that needs more is taken as far as it got and marked, and marked files
// get only a token share in later passes. Once the pool is spent, rules are
// not followed at all (their first occurrence still counts), so a pass over
// many files costs what reading them costs.
class ExpansionBudget
{
public:
    static constexpr qint64 PerFileMs = 300;
    static constexpr qint64 MarkedFileMs = 5;

    explicit ExpansionBudget(qint64 poolMs, qint64 perFileMs = PerFileMs);

    qint64 allowanceNs(const ParsedFile &file) const;
    void spend(qint64 ns) { m_poolNs -= ns; }
    void noteCutShort(const ParsedFile &file) { m_cutShort.append(&file); }
    // Files whose rules were not followed to the end in this pass.
    const QList<const ParsedFile *> &cutShort() const { return m_cutShort; }

private:
    qint64 m_poolNs;
    qint64 m_perFileNs;
    QList<const ParsedFile *> m_cutShort;
};

// Appends every occurrence of the file's events that overlaps [fromMs, toMs).
// Rules are followed on the wall clock of the event's own zone, so a weekly
// 09:00 meeting stays at 09:00 across a DST change. Returns false when the
// budget cut the expansion short.
bool expandFile(const ParsedFile &file, qint64 fromMs, qint64 toMs, const QTimeZone &userZone,
    std::vector<Occurrence> &out, ExpansionBudget &budget);
// With a budget of one file's share.
bool expandFile(
    const ParsedFile &file, qint64 fromMs, qint64 toMs, const QTimeZone &userZone, std::vector<Occurrence> &out);

// Tests compare expansion with and without jumping ahead to the window.
void setJumpToWindowEnabled(bool enabled);

// The text that identifies an occurrence within its series: the original
// start in the form of the series' DTSTART ("20261207", "20261207T090000",
// "20261207T080000Z").
QString recurrenceKey(const IcsTime &originalStart, const QTimeZone &userZone);
QString recurrenceKeyOfOccurrence(const Occurrence &occurrence, const QTimeZone &userZone);

} // namespace RecurrenceExpander
