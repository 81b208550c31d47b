// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarTypes.h"

#include <QLocale>
#include <QStringList>

class CalendarStore;

// The text beside the tray icon: the next timed event of today or tomorrow
// with its countdown or start time, or the date when there is none.
struct StatusTitle
{
    enum class State { Idle, Upcoming, Running };

    // Lines of today's events a tooltip lists before "and N more".
    static constexpr int MaxListedEvents = 10;

    QString text; // with its leading space, as the status item shows it
    QStringList nextEvents; // today's coming timed events, one line each, at most ten and "and N more"
    State state = State::Idle;

    // The text without its leading space: the tooltip and `brivane status`.
    QString plainText() const { return text.mid(1); }
    // "idle", "event" or "running", for panels that style by class.
    QString stateClass() const;

    bool operator==(const StatusTitle &other) const = default;
};

namespace StatusTitleBuilder {

// Reads the store and builds the title. Hidden calendars are left out as
// the popover's lists leave them out (so with every calendar hidden none is).
StatusTitle compute(
    const CalendarStore &store, const QSet<QString> &hiddenCalendarIds, const QDateTime &now, const QLocale &locale);

// The same from the events of today (from `now`) and of tomorrow, as the
// store returned them.
StatusTitle fromEvents(const QList<CalendarEvent> &today, const QList<CalendarEvent> &tomorrow, const QDateTime &now,
    const QLocale &locale);

// A name of 23 or more user-perceived characters becomes its first 22 and "…".
QString shortenedName(const QString &name);

} // namespace StatusTitleBuilder
