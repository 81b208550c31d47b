// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QTime>
#include <QTimeZone>

// Wall-clock times to instants at the speed a load of many events needs.
// QDateTime asks the zone's backend (ICU on most Linux builds) at every
// construction, which costs microseconds; here each zone's changes of
// offset are read once and kept. Near a change a wall time may be skipped
// or come twice: it is read as RFC 5545 reads an event's start, where
// QDateTime reads a repeated one as its second pass.
namespace ZoneOffsets {

// The instant of a wall-clock time in `zone`. One the zone skips is read
// with the offset before the change (02:30 in Berlin's spring gap is 03:30
// summer time); one it repeats is its first pass (02:30 on Berlin's autumn
// night is 02:30 summer time).
qint64 msecsOf(const QTimeZone &zone, QDate date, QTime time);

// The same instant in `zone`; invalid where QDateTime(date, time, zone) is.
QDateTime dateTimeOf(const QTimeZone &zone, QDate date, QTime time);

// Every change of `zone`'s offset after `from` and before `to`, in order.
// QTimeZone::transitions() and nextTransition() (Qt 6.4) end with the zone
// file's table, in 2037, though later years follow the zone's rule:
// previousTransition() knows those, so the list is built from the end.
QList<QTimeZone::OffsetData> changesBetween(const QTimeZone &zone, const QDateTime &from, const QDateTime &to);

// The rule above for any zone: `wallMs` is the wall-clock time read as UTC,
// `offsetAt(ms)` the zone's offset (ms) at an instant. Every reading of a
// wall time has the offset in force a day before or a day after it (no zone
// changes twice within two days); the earlier one that really shows the
// wall time is its first pass, and in a gap, where neither does, the offset
// before it counts.
template<typename OffsetAt> qint64 instantOfWallTime(qint64 wallMs, OffsetAt offsetAt)
{
    constexpr qint64 Day = 24LL * 3600 * 1000;
    const qint64 before = offsetAt(wallMs - Day);
    const qint64 after = offsetAt(wallMs + Day);
    if (before == after || offsetAt(wallMs - before) == before)
        return wallMs - before;
    if (offsetAt(wallMs - after) == after)
        return wallMs - after;
    return wallMs - before;
}

} // namespace ZoneOffsets
