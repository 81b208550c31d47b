// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/AnyCalendarEvent.h"

#include <QDateTime>

#include <optional>

// The popover's open overlay: the new-event form for a date, or one event's detail.
struct ActiveSheet
{
    enum class Kind { NewEvent, EventDetail };

    static ActiveSheet newEvent(const QDateTime &date) { return {Kind::NewEvent, date, std::nullopt}; }
    static ActiveSheet eventDetail(const AnyCalendarEvent &event) { return {Kind::EventDetail, {}, event}; }

    Kind kind;
    QDateTime date;
    std::optional<AnyCalendarEvent> event;
};
