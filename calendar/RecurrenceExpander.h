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

    const EventSeries &series() const { return file->series[seriesIndex]; }
    const EventRecord &record() const
    {
        return overrideIndex < 0 ? series().master : series().overrides[size_t(overrideIndex)];
    }
};

namespace RecurrenceExpander {

// Bounds that keep a hostile rule (FREQ=SECONDLY over decades) from stalling
// the program; a real calendar never comes near them.
constexpr int MaxStepsPerSeries = 200000;
constexpr int MaxOccurrencesPerSeries = 5000;

// Appends every occurrence of the file's events that overlaps [fromMs, toMs).
// Rules are followed on the wall clock of the event's own zone, so a weekly
// 09:00 meeting stays at 09:00 across a DST change.
void expandFile(
    const ParsedFile &file, qint64 fromMs, qint64 toMs, const QTimeZone &userZone, std::vector<Occurrence> &out);

// Tests compare expansion with and without jumping ahead to the window.
void setJumpToWindowEnabled(bool enabled);

// The text that identifies an occurrence within its series: the original
// start in the form of the series' DTSTART ("20261207", "20261207T090000",
// "20261207T080000Z").
QString recurrenceKey(const IcsTime &originalStart, const QTimeZone &userZone);
QString recurrenceKeyOfOccurrence(const Occurrence &occurrence, const QTimeZone &userZone);

} // namespace RecurrenceExpander
