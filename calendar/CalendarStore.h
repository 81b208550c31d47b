// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarProvider.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

// The program's one view of every calendar it can read: the providers'
// sources, calendars and events, merged. Nothing above it knows which
// provider holds what.
class CalendarStore : public QObject
{
    Q_OBJECT
public:
    explicit CalendarStore(QObject *parent = nullptr);
    ~CalendarStore() override;

    // The store takes ownership.
    void addProvider(CalendarProvider *provider);
    const std::vector<CalendarProvider *> &providers() const { return m_providers; }

    bool isLoaded() const;
    // See CalendarProvider::takeInPendingChanges.
    void takeInPendingChanges();
    // For a command that is done: finishes the providers' background work,
    // then the store may be left to the end of the process unfreed (freeing
    // 50,000 events' records takes longer than the command's own work).
    void finishBackgroundWork();
    // Runs the event loop until every provider has loaded or the timeout
    // passes; for the command line, never for the user interface.
    bool waitUntilLoaded(int timeoutMs = 60000);

    // Answers granted when at least one provider can be read. The answer
    // comes from the event loop, never from inside the call.
    void requestAccess(std::function<void(bool granted)> onAnswer);

    QList<CalendarSource> sources() const;
    QList<CalendarInfo> calendars() const;
    std::optional<CalendarInfo> calendar(const QString &calendarId) const;
    std::optional<CalendarInfo> defaultCalendarForNewEvents() const;

    // See CalendarProvider::events.
    QList<CalendarEvent> events(const QDateTime &start, const QDateTime &end, const QSet<QString> &calendarIds = {},
        qsizetype atLeastFirst = CalendarProvider::AllEvents) const;
    // The first `count` events of the range by start that `leftOut` does not
    // exclude, without making every event of a busy range.
    QList<CalendarEvent> firstEvents(const QDateTime &start, const QDateTime &end, const QSet<QString> &calendarIds,
        qsizetype count, const std::function<bool(const CalendarEvent &)> &leftOut = {}) const;

    // See CalendarProvider::answersAtOnce; true when every provider does.
    bool answersAtOnce(const QDateTime &start, const QDateTime &end) const;
    // The occurrence with this id (as `events` hands them out), or nothing.
    std::optional<CalendarEvent> eventById(const QString &id) const;

    // Notes, link and location, read when a detail view asks for them.
    EventDetails eventDetails(const CalendarEvent &event) const;

    StoreResult saveEvent(const NewEventRequest &request);
    // See CalendarProvider::saveEventLater: every calendar, whether its
    // provider answers at once or over the network.
    void saveEventLater(const NewEventRequest &request, CalendarProvider::SaveCallback done);
    StoreResult removeEvent(const CalendarEvent &event, RemoveSpan span = RemoveSpan::ThisEvent);

signals:
    void changed();
    void loaded();

private:
    CalendarProvider *providerOfCalendar(const QString &calendarId) const;

    std::vector<CalendarProvider *> m_providers;
};
