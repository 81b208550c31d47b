#pragma once

#include "calendar/CalendarTypes.h"

#include <QTimeZone>

namespace EventFormatting {

// "09:00–10:30" on the 24-hour clock in `zone`, or "All day".
QString timeText(const CalendarEvent &event, const QTimeZone &zone);
QString timeText(const QDateTime &start, const QDateTime &end, bool allDay, const QTimeZone &zone);

// The title, or "Untitled" when the event has none.
QString displayTitle(const CalendarEvent &event);

// Whether the event runs at `now`; both ends count.
bool isHappening(const QDateTime &start, const QDateTime &end, const QDateTime &now);

// Where the event stands against `now`, in whole minutes truncated toward
// zero: "in 5m", "in 2h", "in 3d" before it; "ends in 12m" or "now" while it
// runs; "-40m" or "-4h" after it, counted from its start.
QString relativeTimeLabel(const QDateTime &start, const QDateTime &end, const QDateTime &now);

} // namespace EventFormatting
