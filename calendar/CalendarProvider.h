// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarTypes.h"

#include <QObject>
#include <QSet>

#include <functional>
#include <optional>

// One kind of calendar storage behind the CalendarStore (local folders, the
// desktop's calendar service). Everything runs on the thread the provider
// lives in; loading may use workers but publishes here.
class CalendarProvider : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QString providerId() const = 0;
    // Begins the first read, in the background; `loaded` follows.
    virtual void start() = 0;
    // True once the first full read is done; before that the provider answers
    // with what it has (nothing).
    virtual bool isLoaded() const = 0;
    // Whether anything could be read at all (the access answer).
    virtual bool isReadable() const = 0;

    virtual QList<CalendarSource> sources() const = 0;
    virtual QList<CalendarInfo> calendars() const = 0;
    // Empty when the provider has no calendar that takes new events.
    virtual QString defaultCalendarId() const = 0;

    // Occurrences with any part inside [start, end), ordered by start. An
    // empty `calendarIds` means every calendar. With `atLeastFirst` ≥ 0 the
    // provider may leave out the events that start after the first
    // `atLeastFirst` (those starting together with the last of them stay):
    // a list that shows its first few events need not have the rest made.
    // Fewer than `atLeastFirst` events means there are no more.
    static constexpr qsizetype AllEvents = -1;
    virtual QList<CalendarEvent> events(const QDateTime &start, const QDateTime &end, const QSet<QString> &calendarIds,
        qsizetype atLeastFirst) const = 0;
    // Whether `events` answers for [start, end) from what it holds at hand,
    // without working through every repeating event at length: a question
    // from another process about a day far away is better left to it.
    virtual bool answersAtOnce(const QDateTime &start, const QDateTime &end) const
    {
        Q_UNUSED(start);
        Q_UNUSED(end);
        return true;
    }

    // The occurrence whose `CalendarEvent::id` is `id`, wherever in time it
    // lies; nothing when the provider has none such.
    virtual std::optional<CalendarEvent> eventById(const QString &id) const = 0;

    // Notes, link and location of an occurrence handed out by `events`;
    // empty when the event is gone.
    virtual EventDetails eventDetails(const CalendarEvent &event) const = 0;

    virtual StoreResult saveEvent(const NewEventRequest &request) = 0;
    // The same for a caller that can wait: `done` is called exactly once,
    // from the event loop, never from inside the call. A provider whose
    // writes travel over the network overrides it; the others answer with
    // what `saveEvent` did.
    using SaveCallback = std::function<void(const StoreResult &result)>;
    virtual void saveEventLater(const NewEventRequest &request, SaveCallback done)
    {
        const StoreResult result = saveEvent(request);
        QMetaObject::invokeMethod(
            this, [done = std::move(done), result] { done(result); }, Qt::QueuedConnection);
    }
    virtual StoreResult removeEvent(const CalendarEvent &event, RemoveSpan span) = 0;
    // Applies at once what others changed before this call and the provider
    // has noted but not yet taken in (changes are otherwise applied once
    // things are quiet), so that an answer is never older than the question.
    virtual void takeInPendingChanges() { }
    // Finishes what runs in the background and must not be cut off (a file
    // being written), for a process about to end.
    virtual void finishBackgroundWork() { }

signals:
    // Something in the provider changed, by this program or another;
    // bursts of changes are announced once.
    void changed();
    void loaded();
};
