// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/CalendarEventManager.h"

QDateTime endOfDay(const QDateTime &now)
{
    const QDateTime end(now.date(), QTime(23, 59, 59), now.timeZone());
    return end.isValid() ? end : now;
}

CalendarEventManager::CalendarEventManager(
    CalendarStore &store, const Clock &clock, QSet<QString> hiddenCalendarIds, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_clock(clock)
    , m_hiddenCalendarIds(std::move(hiddenCalendarIds))
{
    fetchEvents();
    connect(&m_store, &CalendarStore::changed, this, &CalendarEventManager::refresh);
}

void CalendarEventManager::setHiddenCalendarIds(const QSet<QString> &ids)
{
    m_hiddenCalendarIds = ids;
    fetchEvents();
}

CalendarEventManager::Lists CalendarEventManager::query(
    const CalendarStore &store, const QSet<QString> &hiddenCalendarIds, const QDateTime &now, qsizetype count)
{
    const QDateTime todayEnd = endOfDay(now);
    QDateTime weekEnd = now.addDays(7);
    if (!weekEnd.isValid())
        weekEnd = now;

    const QSet<QString> visible = visibleCalendarIds(store, hiddenCalendarIds);
    // An event that covers part of today is listed under today only, however
    // far it runs on: an all-day event of today (it ends at midnight, one
    // second after todayEnd), one of several days that began today or
    // before, one across midnight. Upcoming holds what starts after today.
    const auto coversToday = [&todayEnd](const CalendarEvent &event) { return event.start < todayEnd; };
    Lists lists;
    if (count == CalendarProvider::AllEvents) {
        lists.today = store.events(now, todayEnd, visible);
        lists.upcoming = store.events(todayEnd, weekEnd, visible);
        lists.upcoming.removeIf(coversToday);
        return lists;
    }
    lists.today = store.firstEvents(now, todayEnd, visible, count);
    lists.upcoming = store.firstEvents(todayEnd, weekEnd, visible, count, coversToday);
    return lists;
}

QSet<QString> CalendarEventManager::visibleCalendarIds(
    const CalendarStore &store, const QSet<QString> &hiddenCalendarIds)
{
    QSet<QString> visible;
    for (const CalendarInfo &calendar : store.calendars()) {
        if (!hiddenCalendarIds.contains(calendar.identifier))
            visible.insert(calendar.identifier);
    }
    // With every calendar hidden everything is shown: an empty restriction
    // means none.
    return visible;
}

void CalendarEventManager::fetchEvents()
{
    Lists lists = query(m_store, m_hiddenCalendarIds, m_clock.now());
    m_todayEvents = std::move(lists.today);
    emit todayEventsChanged();
    m_upcomingEvents = std::move(lists.upcoming);
    emit upcomingEventsChanged();
}

void CalendarEventManager::refresh()
{
    QMetaObject::invokeMethod(this, &CalendarEventManager::fetchEvents, Qt::QueuedConnection);
}
