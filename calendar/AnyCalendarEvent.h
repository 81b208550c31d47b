// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarTypes.h"
#include "calendar/ZohoTypes.h"

#include <QColor>
#include <QHash>

#include <optional>

// Where an event of the popover comes from.
enum class Source {
    Local, // local folders and the desktop's calendars
    Zoho,
};

// One event as every popover view sees it, whatever its calendar: an
// occurrence of the store, with what the rows show of it made once.
struct AnyCalendarEvent
{
    QString id;
    QString title;
    QDateTime startDate;
    QDateTime endDate;
    bool isAllDay = false;
    QColor color;
    Source source = Source::Local;
    CalendarEvent storeEvent;

    static AnyCalendarEvent fromStore(const CalendarEvent &event);
};

// A calendar a new event can be written to. Equal, and hashed, by the
// calendar's identifier alone.
class CalendarTarget
{
public:
    explicit CalendarTarget(CalendarInfo calendar)
        : m_calendar(std::move(calendar))
    { }

    const CalendarInfo &calendar() const { return m_calendar; }
    bool isZoho() const { return m_calendar.providerId == ZohoProviderId; }

    bool operator==(const CalendarTarget &other) const { return m_calendar.identifier == other.m_calendar.identifier; }

private:
    CalendarInfo m_calendar;
};

size_t qHash(const CalendarTarget &target, size_t hashSeed = 0);

namespace UnifiedEvents {

// The store's events as the views show them, in the store's order.
QList<AnyCalendarEvent> fromStore(const QList<CalendarEvent> &events);

// Without a selected day: the today list. With one: the events of both
// lists (today's first) that start on that day in `zone`.
QList<AnyCalendarEvent> eventsOfDay(const std::optional<QDate> &selectedDay, const QList<AnyCalendarEvent> &today,
    const QList<AnyCalendarEvent> &upcoming, const QTimeZone &zone);

} // namespace UnifiedEvents
