// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/EventRemoval.h"

#include <QCoreApplication>

namespace EventRemoval {

QString zohoRefusal()
{
    return QCoreApplication::translate("EventRemoval", "Events of Zoho calendars cannot be deleted here.");
}

std::optional<QString> refusal(const AnyCalendarEvent &event, const CalendarStore &store)
{
    if (event.source == Source::Zoho)
        return zohoRefusal();
    const std::optional<CalendarInfo> calendar = store.calendar(event.storeEvent.calendarId);
    if (!calendar)
        return QCoreApplication::translate("EventRemoval", "The calendar no longer exists.");
    if (!calendar->allowsModifications)
        return QCoreApplication::translate("EventRemoval", "The calendar \"%1\" is read-only.").arg(calendar->title);
    return std::nullopt;
}

StoreResult remove(const AnyCalendarEvent &event, CalendarStore &store)
{
    if (const std::optional<QString> reason = refusal(event, store))
        return StoreResult::failure(*reason);
    return store.removeEvent(event.storeEvent, RemoveSpan::ThisEvent);
}

} // namespace EventRemoval
