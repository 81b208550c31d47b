// SPDX-License-Identifier: GPL-3.0-or-later
#include "popover/PopoverViewModel.h"

#include "settings/AppSettings.h"

PopoverViewModel::PopoverViewModel(
    CalendarStore &store, AppSettings &settings, const Clock &clock, DesktopLauncher &launcher, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_clock(clock)
    , m_launcher(launcher)
    , m_eventManager(store, clock, settings.hiddenCalendarIds())
    , m_grid(settings, clock)
    , m_list(m_eventManager, settings, clock, launcher)
{
    connect(&settings, &AppSettings::hiddenCalendarIdsChanged, this,
        [this, &settings] { m_eventManager.setHiddenCalendarIds(settings.hiddenCalendarIds()); });
    m_grid.setEventManager(&m_eventManager);

    connect(&m_grid, &CalendarGridViewModel::selectedDateChanged, this,
        [this] { m_list.setSelectedDate(m_grid.selection()); });
    connect(&m_grid, &CalendarGridViewModel::dayActivated, this,
        [this](const QDate &day) { openNewEvent(day.startOfDay(m_clock.timeZone())); });
    connect(&m_list, &EventsListViewModel::newEventRequested, this, [this] {
        const std::optional<QDate> &day = m_grid.selection();
        openNewEvent(day ? day->startOfDay(m_clock.timeZone()) : m_clock.now());
    });
    connect(&m_list, &EventsListViewModel::eventSelected, this, &PopoverViewModel::openDetail);
    connect(&m_list, &EventsListViewModel::quitRequested, this, &PopoverViewModel::quitRequested);
    connect(&m_list, &EventsListViewModel::currentTimeChanged, this, [this] {
        if (m_detail && m_sheetKind == EventDetailSheet)
            m_detail->refresh();
    });
}

void PopoverViewModel::appeared()
{
    m_eventManager.fetchEvents();
    m_grid.refreshToday();
    m_list.tick();
    m_list.clearOpenCalendarMessage();
}

void PopoverViewModel::escapePressed()
{
    if (!m_activeSheet) {
        emit closeRequested();
        return;
    }
    if (m_sheetKind == EventDetailSheet && m_detail && m_detail->showDeleteConfirm()) {
        m_detail->cancelDelete();
        return;
    }
    closeSheet(); // as Cancel or the close button: nothing reloads
}

void PopoverViewModel::openNewEvent(const QDateTime &initialDate)
{
    // One sheet at a time; the open one has to be closed first.
    if (m_activeSheet)
        return;
    if (m_form)
        m_form->deleteLater();
    m_form = new NewEventViewModel(initialDate, m_store, m_clock, this);
    connect(m_form, &NewEventViewModel::saved, this, [this, form = m_form.data()] {
        // A Zoho save can finish after its form was dismissed.
        if (m_form == form && m_activeSheet && m_sheetKind == NewEventSheet)
            closeSheet();
        m_eventManager.fetchEvents();
    });
    connect(m_form, &NewEventViewModel::cancelled, this, &PopoverViewModel::closeSheet);
    m_sheetKind = NewEventSheet;
    setSheet(ActiveSheet::newEvent(initialDate));
}

void PopoverViewModel::openDetail(const AnyCalendarEvent &event)
{
    if (m_activeSheet)
        return;
    if (m_detail)
        m_detail->deleteLater();
    m_detail = new EventDetailViewModel(event, m_store, m_clock, m_launcher, this);
    connect(m_detail, &EventDetailViewModel::closed, this, &PopoverViewModel::closeSheet);
    connect(m_detail, &EventDetailViewModel::deleted, this, [this] {
        closeSheet();
        m_eventManager.fetchEvents();
    });
    m_sheetKind = EventDetailSheet;
    setSheet(ActiveSheet::eventDetail(event));
}

void PopoverViewModel::closeSheet()
{
    setSheet(std::nullopt);
}

void PopoverViewModel::setSheet(const std::optional<ActiveSheet> &sheet)
{
    if (!sheet && !m_activeSheet)
        return;
    m_activeSheet = sheet;
    emit sheetChanged();
}
