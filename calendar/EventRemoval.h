// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/AnyCalendarEvent.h"
#include "calendar/CalendarStore.h"

#include <optional>

// How an event is deleted, for the popover's detail and `brivane delete`
// alike: which events may be, and the removal itself.
namespace EventRemoval {

// Why `event` cannot be deleted, or nothing when it can. Events of read-only
// calendars are only shown, and so are Zoho's.
std::optional<QString> refusal(const AnyCalendarEvent &event, const CalendarStore &store);

// The reason a Zoho event is not deleted.
QString zohoRefusal();

// Deletes `event`; of a repeating event this occurrence alone.
StoreResult remove(const AnyCalendarEvent &event, CalendarStore &store);

} // namespace EventRemoval
