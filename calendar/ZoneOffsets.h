#pragma once

#include <QDate>
#include <QTime>
#include <QTimeZone>

// Wall-clock times to instants at the speed a load of many events needs.
// QDateTime asks the zone's backend (ICU on most Linux builds) at every
// construction, which costs microseconds; here each zone's changes of
// offset are read once and kept. Near a change (where a wall time may be
// skipped or come twice) QDateTime decides, so the results are always
// QDateTime's own.
namespace ZoneOffsets {

// What QDateTime(date, time, zone).toMSecsSinceEpoch() gives.
qint64 msecsOf(const QTimeZone &zone, QDate date, QTime time);

} // namespace ZoneOffsets
