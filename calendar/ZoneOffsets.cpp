// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/ZoneOffsets.h"

#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <memory>
#include <vector>

namespace ZoneOffsets {
namespace {

constexpr qint64 MsPerDay = 24LL * 3600 * 1000;
// Wall times this close to a change of offset are left to QDateTime.
constexpr qint64 NearChangeMs = 2 * MsPerDay;

// The changes of one zone's offset within the years calendars use.
struct Table
{
    qint64 fromMs = 0; // the table covers [fromMs, toMs) in UTC
    qint64 toMs = 0;
    int initialOffsetMs = 0; // in effect before the first change
    std::vector<qint64> changesAtMs; // sorted
    std::vector<int> offsetsMs; // in effect from the change of the same index
};

std::shared_ptr<const Table> buildTable(const QTimeZone &zone)
{
    auto table = std::make_shared<Table>();
    const QDateTime from(QDate(1970, 1, 1), QTime(0, 0), QTimeZone::utc());
    const QDateTime to(QDate(2100, 1, 1), QTime(0, 0), QTimeZone::utc());
    table->fromMs = from.toMSecsSinceEpoch();
    table->toMs = to.toMSecsSinceEpoch();
    table->initialOffsetMs = zone.offsetFromUtc(from) * 1000;
    if (zone.hasTransitions()) {
        for (const QTimeZone::OffsetData &change : changesBetween(zone, from, to)) {
            table->changesAtMs.push_back(change.atUtc.toMSecsSinceEpoch());
            table->offsetsMs.push_back(change.offsetFromUtc * 1000);
        }
    }
    return table;
}

const Table &tableFor(const QTimeZone &zone)
{
    // Most loads meet one or two zones: the last one is kept per thread.
    thread_local QTimeZone lastZone;
    thread_local std::shared_ptr<const Table> lastTable;
    if (lastTable && lastZone == zone)
        return *lastTable;
    static QMutex mutex;
    static QHash<QByteArray, std::shared_ptr<const Table>> tables;
    QMutexLocker lock(&mutex);
    std::shared_ptr<const Table> &table = tables[zone.id()];
    if (!table)
        table = buildTable(zone);
    lastZone = zone;
    lastTable = table;
    return *table;
}

// The instant of a wall time (read as UTC) that may be near a change.
qint64 msecsNearChange(const QTimeZone &zone, qint64 wallMs)
{
    return instantOfWallTime(wallMs, [&zone](qint64 ms) {
        return qint64(zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()))) * 1000;
    });
}

} // namespace

QList<QTimeZone::OffsetData> changesBetween(const QTimeZone &zone, const QDateTime &from, const QDateTime &to)
{
    QList<QTimeZone::OffsetData> changes;
    if (!zone.hasTransitions())
        return changes;
    for (QDateTime before = to;;) {
        const QTimeZone::OffsetData change = zone.previousTransition(before);
        if (!change.atUtc.isValid() || change.atUtc >= before || change.atUtc <= from)
            break;
        changes.append(change);
        before = change.atUtc;
    }
    std::reverse(changes.begin(), changes.end());
    return changes;
}

qint64 msecsOf(const QTimeZone &zone, QDate date, QTime time)
{
    if (!zone.isValid() || !date.isValid() || !time.isValid())
        return QDateTime(date, time, zone).toMSecsSinceEpoch();
    const qint64 wallMs
        = date.toJulianDay() * MsPerDay - QDate(1970, 1, 1).toJulianDay() * MsPerDay + time.msecsSinceStartOfDay();
    const Table &table = tableFor(zone);
    if (wallMs < table.fromMs + NearChangeMs || wallMs >= table.toMs - NearChangeMs)
        return msecsNearChange(zone, wallMs);
    // The change nearest the wall time (read as UTC; offsets are far below
    // the margin): too close, and the zone is asked.
    const auto next = std::lower_bound(table.changesAtMs.begin(), table.changesAtMs.end(), wallMs);
    if ((next != table.changesAtMs.end() && *next - wallMs < NearChangeMs)
        || (next != table.changesAtMs.begin() && wallMs - *(next - 1) < NearChangeMs))
        return msecsNearChange(zone, wallMs);
    const int offsetMs = next == table.changesAtMs.begin()
        ? table.initialOffsetMs
        : table.offsetsMs[size_t(next - table.changesAtMs.begin() - 1)];
    return wallMs - offsetMs;
}

QDateTime dateTimeOf(const QTimeZone &zone, QDate date, QTime time)
{
    if (!zone.isValid() || !date.isValid() || !time.isValid())
        return QDateTime(date, time, zone);
    return QDateTime::fromMSecsSinceEpoch(msecsOf(zone, date, time), zone);
}

} // namespace ZoneOffsets
