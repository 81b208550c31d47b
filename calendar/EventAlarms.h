// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarTypes.h"

#include <QTimeZone>

#include <optional>

typedef struct icalcomponent_impl icalcomponent;

// An event's alarms (VALARM) and when they come due.
namespace EventAlarms {

// The alarms of a VEVENT that show something or play a sound (ACTION
// DISPLAY or AUDIO). Other actions, alarms without a usable TRIGGER and
// absolute triggers not given in UTC are left out.
QList<EventAlarm> read(icalcomponent *event);

// The UTC instant at which `alarm` comes due for the occurrence `event`.
// Offsets are exact seconds from the occurrence's start or end instant, so
// that a change of the clocks between the two moves nothing; an all-day
// event's start and end are the midnights of its dates in `zone`.
std::optional<QDateTime> dueAt(const EventAlarm &alarm, const CalendarEvent &event, const QTimeZone &zone);

// The trigger in a stable short form ("S-600", "E300", "A20261207T090000Z"),
// to tell one alarm of an event from another across restarts.
QString triggerKey(const EventAlarm &alarm);

} // namespace EventAlarms
