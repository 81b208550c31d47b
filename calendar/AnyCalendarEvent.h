// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarTypes.h"
#include "calendar/ZohoTypes.h"

#include <QColor>
#include <QHash>

#include <optional>
#include <variant>

// Where an event of the popover comes from.
enum class Source {
    Local, // the calendar store (local folders and the desktop's calendars)
    Zoho,
};

// One event as every popover view sees it, whatever its source.
struct AnyCalendarEvent
{
    QString id;
    QString title;
    QDateTime startDate;
    QDateTime endDate;
    bool isAllDay = false;
    QColor color;
    Source source = Source::Local;
    std::optional<CalendarEvent> localEvent; // set exactly when source is Local
    std::optional<ZohoEvent> zohoEvent; // set exactly when source is Zoho

    static AnyCalendarEvent fromLocal(const CalendarEvent &event);
    static AnyCalendarEvent fromZoho(const ZohoEvent &event);
};

// A calendar a new event can be written to. Equal, and hashed, by the
// calendar's identity alone.
class CalendarTarget
{
public:
    static CalendarTarget local(const CalendarInfo &calendar) { return CalendarTarget(calendar); }
    static CalendarTarget zoho(const ZohoCalendar &calendar) { return CalendarTarget(calendar); }

    bool isZoho() const { return std::holds_alternative<ZohoCalendar>(m_calendar); }
    const CalendarInfo *localCalendar() const { return std::get_if<CalendarInfo>(&m_calendar); }
    const ZohoCalendar *zohoCalendar() const { return std::get_if<ZohoCalendar>(&m_calendar); }
    // "ek_" or "zh_" and the calendar's identifier: what equality and hashing use.
    QString identityKey() const;

    bool operator==(const CalendarTarget &other) const { return identityKey() == other.identityKey(); }

private:
    explicit CalendarTarget(std::variant<CalendarInfo, ZohoCalendar> calendar)
        : m_calendar(std::move(calendar))
    { }
    std::variant<CalendarInfo, ZohoCalendar> m_calendar;
};

size_t qHash(const CalendarTarget &target, size_t hashSeed = 0);

namespace UnifiedEvents {

// Local events, then Zoho events, ordered by start; at equal starts local
// ones come first and each source keeps its own order.
QList<AnyCalendarEvent> merged(const QList<CalendarEvent> &local, const QList<ZohoEvent> &zoho);

// Without a selected day: the merged today list. With one: the events of
// both merged lists (today's first) that start on that day in `zone`.
QList<AnyCalendarEvent> eventsOfDay(const std::optional<QDate> &selectedDay, const QList<AnyCalendarEvent> &mergedToday,
    const QList<AnyCalendarEvent> &mergedUpcoming, const QTimeZone &zone);

} // namespace UnifiedEvents
