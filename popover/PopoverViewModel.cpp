#include "popover/PopoverViewModel.h"

#include "settings/AppSettings.h"

PopoverViewModel::PopoverViewModel(CalendarStore &store, AppSettings &settings, const Clock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_eventManager(store, clock, settings.hiddenCalendarIDs())
{
    connect(&settings, &AppSettings::hiddenCalendarIDsChanged, this,
        [this, &settings] { m_eventManager.setHiddenCalendarIds(settings.hiddenCalendarIDs()); });
    connect(&m_eventManager, &CalendarEventManager::todayEventsChanged, this,
        [this] { m_todayRows.setEvents(m_eventManager.todayEvents(), m_clock.timeZone()); });
    connect(&m_eventManager, &CalendarEventManager::upcomingEventsChanged, this,
        [this] { m_upcomingRows.setEvents(m_eventManager.upcomingEvents(), m_clock.timeZone()); });
    m_todayRows.setEvents(m_eventManager.todayEvents(), m_clock.timeZone());
    m_upcomingRows.setEvents(m_eventManager.upcomingEvents(), m_clock.timeZone());
}

void PopoverViewModel::appeared()
{
    m_eventManager.fetchEvents();
}
