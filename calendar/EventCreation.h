// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/AnyCalendarEvent.h"
#include "calendar/CalendarStore.h"

#include <functional>
#include <optional>

// How a new event is made, for the popover's form and `brivane add` alike:
// the proposed times, the calendars it can go to, and the save itself.
namespace EventCreation {

struct Times
{
    QDateTime start;
    QDateTime end;
};

// The full hour after `initialDate`, for one hour: 14:37 proposes
// 15:00–16:00, a day's midnight 01:00–02:00 on that day. A moment of today
// that `now` has passed counts as `now`, so today's date proposes the next
// full hour, never one already gone.
Times defaultTimes(const QDateTime &initialDate, const QDateTime &now);

// The writable calendars of the store ordered by title (plain string order,
// case first); Zoho's, which take new events only over the network, after
// the others, in Zoho's order.
QList<CalendarTarget> targets(const CalendarStore &store);

// The names `targets` are listed and chosen by: each calendar's title, and
// where several of them share it, with the account's after it (see
// CalendarNames).
QStringList targetNames(const CalendarStore &store, const QList<CalendarTarget> &targets);

// The store's default calendar for new events when it is one of `targets`,
// otherwise the first target; none for an empty list.
std::optional<CalendarTarget> preselectedTarget(const CalendarStore &store, const QList<CalendarTarget> &targets);

// A title that is more than white space.
bool canSave(const QString &title);

struct Draft
{
    QString title;
    QDateTime start;
    QDateTime end; // for an all-day event the last day, inclusive
    bool allDay = false;
};

struct Result
{
    bool ok = false;
    QString error; // what the user reads when !ok
    QString eventId; // the new event's id when known
};

QString noTargetMessage();

// Writes the draft (its title trimmed) into `target` through the store.
// `done` is called exactly once: from inside the call when the draft is
// refused before anything is written, else from the event loop.
void save(const Draft &draft, const std::optional<CalendarTarget> &target, CalendarStore &store,
    std::function<void(const Result &)> done);

} // namespace EventCreation
