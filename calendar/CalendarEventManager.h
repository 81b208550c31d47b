// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarStore.h"
#include "calendar/Clock.h"

#include <QObject>

// The rest of today's and the coming week's events of the visible
// calendars, each list short and ordered by start, kept current as the store
// and the hidden-calendar set change. Its owner hands it the hidden set.
class CalendarEventManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<CalendarEvent> todayEvents READ todayEvents NOTIFY todayEventsChanged)
    Q_PROPERTY(QList<CalendarEvent> upcomingEvents READ upcomingEvents NOTIFY upcomingEventsChanged)
public:
    static constexpr int MaxEventsPerList = 10;

    CalendarEventManager(
        CalendarStore &store, const Clock &clock, QSet<QString> hiddenCalendarIds = {}, QObject *parent = nullptr);

    const CalendarStore &store() const { return m_store; }
    const QList<CalendarEvent> &todayEvents() const { return m_todayEvents; }
    const QList<CalendarEvent> &upcomingEvents() const { return m_upcomingEvents; }

    const QSet<QString> &hiddenCalendarIds() const { return m_hiddenCalendarIds; }
    // Takes the new set and queries again.
    void setHiddenCalendarIds(const QSet<QString> &ids);

    // Queries the store now and replaces both lists.
    Q_INVOKABLE void fetchEvents();
    // Queries on the next turn of the event loop.
    Q_INVOKABLE void refresh();

    struct Lists
    {
        QList<CalendarEvent> today;
        QList<CalendarEvent> upcoming;
    };
    // The query itself: from `now` to the end of today, and what starts
    // after today until a week from `now`, without hidden calendars (unless
    // every one is hidden); the first `count` events of each
    // (CalendarProvider::AllEvents: all). No event is in both lists.
    static Lists query(const CalendarStore &store, const QSet<QString> &hiddenCalendarIds, const QDateTime &now,
        qsizetype count = MaxEventsPerList);

    // The calendars whose events are shown, as a restriction for the
    // store's queries: every calendar not hidden. With every calendar hidden
    // it is empty, which the store reads as no restriction at all.
    static QSet<QString> visibleCalendarIds(const CalendarStore &store, const QSet<QString> &hiddenCalendarIds);

signals:
    void todayEventsChanged();
    void upcomingEventsChanged();

private:
    CalendarStore &m_store;
    const Clock &m_clock;
    QSet<QString> m_hiddenCalendarIds;
    QList<CalendarEvent> m_todayEvents;
    QList<CalendarEvent> m_upcomingEvents;
};

// 23:59:59 of the day of `now`, or `now` itself when that time does not exist.
QDateTime endOfDay(const QDateTime &now);
