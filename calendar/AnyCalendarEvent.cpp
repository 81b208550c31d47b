// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/AnyCalendarEvent.h"

#include "calendar/EventFormatting.h"

#include <algorithm>

AnyCalendarEvent AnyCalendarEvent::fromLocal(const CalendarEvent &event)
{
    AnyCalendarEvent any;
    // The occurrence's own id: a series' occurrences must not share one.
    any.id = event.id;
    any.title = EventFormatting::displayTitle(event);
    any.startDate = event.start;
    any.endDate = event.end;
    any.isAllDay = event.allDay;
    any.color = hexColor(event.calendarColor).value_or(systemBlue());
    any.source = Source::Local;
    any.localEvent = event;
    return any;
}

AnyCalendarEvent AnyCalendarEvent::fromZoho(const ZohoEvent &event)
{
    AnyCalendarEvent any;
    any.id = QStringLiteral("zoho_") + event.id;
    any.title = event.title;
    any.startDate = event.startDate;
    any.endDate = event.endDate;
    any.isAllDay = event.isAllDay;
    any.color = event.calendarColor;
    any.source = Source::Zoho;
    any.zohoEvent = event;
    return any;
}

QString CalendarTarget::identityKey() const
{
    if (const CalendarInfo *calendar = localCalendar())
        return QStringLiteral("ek_") + calendar->identifier;
    return QStringLiteral("zh_") + zohoCalendar()->id;
}

size_t qHash(const CalendarTarget &target, size_t hashSeed)
{
    return qHash(target.identityKey(), hashSeed);
}

namespace UnifiedEvents {

QList<AnyCalendarEvent> merged(const QList<CalendarEvent> &local, const QList<ZohoEvent> &zoho)
{
    QList<AnyCalendarEvent> result;
    result.reserve(local.size() + zoho.size());
    for (const CalendarEvent &event : local)
        result.append(AnyCalendarEvent::fromLocal(event));
    for (const ZohoEvent &event : zoho)
        result.append(AnyCalendarEvent::fromZoho(event));
    std::stable_sort(result.begin(), result.end(),
        [](const AnyCalendarEvent &a, const AnyCalendarEvent &b) { return a.startDate < b.startDate; });
    return result;
}

QList<AnyCalendarEvent> eventsOfDay(const std::optional<QDate> &selectedDay, const QList<AnyCalendarEvent> &mergedToday,
    const QList<AnyCalendarEvent> &mergedUpcoming, const QTimeZone &zone)
{
    if (!selectedDay)
        return mergedToday;
    QList<AnyCalendarEvent> result;
    for (const QList<AnyCalendarEvent> *list : {&mergedToday, &mergedUpcoming}) {
        for (const AnyCalendarEvent &event : *list) {
            // Only the start counts: an event from the evening before is not listed.
            if (event.startDate.toTimeZone(zone).date() == *selectedDay)
                result.append(event);
        }
    }
    return result;
}

} // namespace UnifiedEvents
