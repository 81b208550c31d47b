// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/CalendarTypes.h"

#include <QCoreApplication>

#include <algorithm>

bool overlapsRange(qint64 eventStartMs, qint64 eventEndMs, qint64 rangeStartMs, qint64 rangeEndMs)
{
    if (eventStartMs >= rangeEndMs)
        return false;
    if (eventEndMs <= eventStartMs)
        return eventStartMs >= rangeStartMs;
    return eventEndMs > rangeStartMs;
}

void sortByStart(QList<CalendarEvent> &events)
{
    std::stable_sort(
        events.begin(), events.end(), [](const CalendarEvent &a, const CalendarEvent &b) { return a.start < b.start; });
}

QDate firstStorableDay()
{
    return QDate(1900, 1, 1);
}

QDate lastStorableDay()
{
    return QDate(2999, 12, 31);
}

QString storableRangeProblem(const QDateTime &start, const QDateTime &end, bool allDay)
{
    Q_UNUSED(allDay); // an all-day event's end is its last day: the same bound
    // A time is written in its own zone (or in UTC, at most a day away):
    // iCalendar libraries write and read years up to 3000.
    auto within = [](const QDateTime &moment) {
        return moment.isValid() && moment.date() >= firstStorableDay() && moment.date() <= lastStorableDay();
    };
    if (within(start) && within(end))
        return {};
    return QCoreApplication::translate("CalendarTypes", "Events can be saved between %1 and %2.")
        .arg(firstStorableDay().toString(Qt::ISODate), lastStorableDay().toString(Qt::ISODate));
}
