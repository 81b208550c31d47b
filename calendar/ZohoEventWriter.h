// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/ZohoTypes.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

// Creating an event in a Zoho calendar, as new-event forms and `brivane add`
// ask for it; the Zoho client (zoho/ZohoCalendarManager) does the work.
class ZohoEventWriter
{
public:
    virtual ~ZohoEventWriter() = default;

    using CreateCallback = std::function<void(const std::optional<ZohoError> &error)>;
    // Creates the event; `done` gets the error, if any, and is called by the
    // writer itself, from the event loop.
    virtual void createEvent(const QString &title, const QDateTime &start, const QDateTime &end, bool allDay,
        const QString &calendarId, CreateCallback done)
        = 0;
    // The uid Zoho gave the event created last; empty when its answer named none.
    virtual QString lastCreatedEventId() const = 0;
};
