#include "calendar/CalendarTypes.h"

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
