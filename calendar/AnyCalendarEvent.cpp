// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/AnyCalendarEvent.h"

#include "calendar/EventFormatting.h"

AnyCalendarEvent AnyCalendarEvent::fromStore(const CalendarEvent &event)
{
    AnyCalendarEvent any;
    // The occurrence's own id: a series' occurrences must not share one.
    any.id = event.id;
    const bool zoho = event.providerId == ZohoProviderId;
    // Zoho's untitled events stay untitled, as Zoho shows them.
    any.title = zoho ? event.title : EventFormatting::displayTitle(event);
    any.startDate = event.start;
    any.endDate = event.end;
    any.isAllDay = event.allDay;
    any.color = hexColor(event.calendarColor).value_or(systemBlue());
    any.source = zoho ? Source::Zoho : Source::Local;
    any.storeEvent = event;
    return any;
}

size_t qHash(const CalendarTarget &target, size_t hashSeed)
{
    return qHash(target.calendar().identifier, hashSeed);
}

namespace UnifiedEvents {

QList<AnyCalendarEvent> fromStore(const QList<CalendarEvent> &events)
{
    QList<AnyCalendarEvent> result;
    result.reserve(events.size());
    for (const CalendarEvent &event : events)
        result.append(AnyCalendarEvent::fromStore(event));
    return result;
}

QList<AnyCalendarEvent> eventsOfDay(const std::optional<QDate> &selectedDay, const QList<AnyCalendarEvent> &today,
    const QList<AnyCalendarEvent> &upcoming, const QTimeZone &zone)
{
    if (!selectedDay)
        return today;
    QList<AnyCalendarEvent> result;
    for (const QList<AnyCalendarEvent> *list : {&today, &upcoming}) {
        for (const AnyCalendarEvent &event : *list) {
            // Only the start counts: an event from the evening before is not listed.
            if (event.startDate.toTimeZone(zone).date() == *selectedDay)
                result.append(event);
        }
    }
    return result;
}

} // namespace UnifiedEvents
