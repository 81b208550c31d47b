#pragma once

#include "calendar/CalendarTypes.h"

#include <QTimeZone>

namespace EventFormatting {

// "09:00–10:30" on the 24-hour clock in `zone`, or "All day".
QString timeText(const CalendarEvent &event, const QTimeZone &zone);

// The title, or "Untitled" when the event has none.
QString displayTitle(const CalendarEvent &event);

} // namespace EventFormatting
