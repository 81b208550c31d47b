// SPDX-License-Identifier: GPL-3.0-or-later
#include "popover/EventsListViewModel.h"

#include "calendar/CalendarEventManager.h"
#include "calendar/DesktopLauncher.h"
#include "calendar/MeetingLinks.h"
#include "settings/AppSettings.h"

#include <QCoreApplication>
#include <QLocale>

EventsListViewModel::EventsListViewModel(
    CalendarEventManager &events, AppSettings &settings, const Clock &clock, DesktopLauncher &launcher, QObject *parent)
    : QObject(parent)
    , m_events(events)
    , m_settings(settings)
    , m_clock(clock)
    , m_launcher(launcher)
    , m_currentTime(clock.now())
{
    connect(&m_events, &CalendarEventManager::todayEventsChanged, this, &EventsListViewModel::rebuild);
    connect(&m_events, &CalendarEventManager::upcomingEventsChanged, this, &EventsListViewModel::rebuild);
    connect(&m_settings, &AppSettings::todayExpandedChanged, this, &EventsListViewModel::sectionsChanged);
    connect(&m_settings, &AppSettings::upcomingExpandedChanged, this, &EventsListViewModel::sectionsChanged);
    connect(this, &EventsListViewModel::sectionsChanged, this, &EventsListViewModel::shownRowsChanged);
    const auto meetingLinkOf = [&store = events.store()](const AnyCalendarEvent &event) {
        return MeetingLinks::find(store.eventDetails(event.storeEvent));
    };
    m_firstRows.setMeetingLinkLookup(meetingLinkOf);
    m_upcomingRows.setMeetingLinkLookup(meetingLinkOf);
    m_clockTimer.setInterval(ClockIntervalMs);
    connect(&m_clockTimer, &QTimer::timeout, this, &EventsListViewModel::tick);
    m_clockTimer.start();
    rebuild();
}

QString EventsListViewModel::zohoNote(const QDateTime &cachedSince, const QTimeZone &zone)
{
    if (!cachedSince.isValid())
        return QCoreApplication::translate("EventRowsModel", "Zoho Calendar");
    //: Zoho's mark on an event, when Zoho could not be reached since the time named.
    return QCoreApplication::translate("EventsListViewModel", "Zoho Calendar, as of the last sync (%1)")
        .arg(QLocale().toString(cachedSince.toTimeZone(zone), QLocale::ShortFormat));
}

void EventsListViewModel::setZohoCachedSince(const QDateTime &synced)
{
    const QString note = zohoNote(synced, m_clock.timeZone());
    m_firstRows.setZohoNote(note);
    m_upcomingRows.setZohoNote(note);
}

void EventsListViewModel::setSelectedDate(const std::optional<QDate> &day)
{
    if (day == m_selectedDay)
        return;
    m_selectedDay = day;
    rebuild();
}

QString EventsListViewModel::firstSectionTitle() const
{
    if (!m_selectedDay)
        return QCoreApplication::translate("EventsListViewModel", "Today");
    return QLocale().toString(*m_selectedDay,
        //: The selected day's section title, in QDate::toString's format letters.
        QCoreApplication::translate("EventsListViewModel", "dddd, MMM d"));
}

bool EventsListViewModel::firstExpanded() const
{
    return m_settings.todayExpanded();
}

bool EventsListViewModel::upcomingExpanded() const
{
    return m_settings.upcomingExpanded();
}

QString EventsListViewModel::countText(const EventRowsModel &rows, bool expanded)
{
    if (expanded || rows.rowCount() == 0)
        return {};
    return QStringLiteral("(%1)").arg(rows.rowCount());
}

int EventsListViewModel::listHeightFor(int rows)
{
    return rows > 0 ? rows * (RowHeight + RowSpacing) - RowSpacing + ListEndMargin : 0;
}

EventsListViewModel::ShownRows EventsListViewModel::shownRows(int firstRows, int upcomingRows, int rowSpace)
{
    const int firstMost = qMin(firstRows, MaxShownRows);
    const int upcomingMost = qMin(upcomingRows, MaxShownRows);
    auto fits = [rowSpace](int first, int upcoming) {
        return qint64(listHeightFor(first)) + listHeightFor(upcoming) <= rowSpace;
    };
    // A section with rows shows one even where the room is short of it.
    ShownRows shown {qMin(firstMost, 1), qMin(upcomingMost, 1)};
    for (bool grown = true; grown;) {
        grown = false;
        if (shown.first < firstMost && fits(shown.first + 1, shown.upcoming)) {
            ++shown.first;
            grown = true;
        }
        if (shown.upcoming < upcomingMost && fits(shown.first, shown.upcoming + 1)) {
            ++shown.upcoming;
            grown = true;
        }
    }
    return shown;
}

EventsListViewModel::ShownRows EventsListViewModel::shownRows() const
{
    const int first = firstExpanded() ? m_firstRows.rowCount() : 0;
    const int upcoming = showUpcoming() && upcomingExpanded() ? m_upcomingRows.rowCount() : 0;
    return shownRows(first, upcoming, m_rowSpace);
}

void EventsListViewModel::setRowSpace(int pixels)
{
    if (pixels == m_rowSpace)
        return;
    const ShownRows before = shownRows();
    m_rowSpace = pixels;
    emit rowSpaceChanged();
    const ShownRows after = shownRows();
    if (after.first != before.first || after.upcoming != before.upcoming)
        emit shownRowsChanged();
}

void EventsListViewModel::toggleFirstSection()
{
    m_settings.setTodayExpanded(!m_settings.todayExpanded());
}

void EventsListViewModel::toggleUpcomingSection()
{
    m_settings.setUpcomingExpanded(!m_settings.upcomingExpanded());
}

void EventsListViewModel::selectFirstRow(int row)
{
    if (row >= 0 && row < m_firstRows.events().size())
        emit eventSelected(m_firstRows.events()[row]);
}

void EventsListViewModel::joinFirstRow(int row)
{
    if (const QUrl link = m_firstRows.joinLink(row); !link.isEmpty())
        m_launcher.openUrl(link);
}

void EventsListViewModel::joinUpcomingRow(int row)
{
    if (const QUrl link = m_upcomingRows.joinLink(row); !link.isEmpty())
        m_launcher.openUrl(link);
}

void EventsListViewModel::selectUpcomingRow(int row)
{
    if (row >= 0 && row < m_upcomingRows.events().size())
        emit eventSelected(m_upcomingRows.events()[row]);
}

void EventsListViewModel::openCalendar()
{
    if (m_launcher.openCalendarApp(QDate()))
        setOpenCalendarMessage({});
    else if (!m_launcher.hasCalendarApp())
        setOpenCalendarMessage(
            QCoreApplication::translate("EventsListViewModel", "No calendar application is installed"));
    else
        setOpenCalendarMessage(
            QCoreApplication::translate("EventsListViewModel", "The calendar application did not start"));
}

void EventsListViewModel::setOpenCalendarMessage(const QString &message)
{
    if (message == m_openCalendarMessage)
        return;
    m_openCalendarMessage = message;
    emit openCalendarMessageChanged();
}

void EventsListViewModel::tick()
{
    m_currentTime = m_clock.now();
    m_firstRows.setNow(m_currentTime);
    m_upcomingRows.setNow(m_currentTime);
    emit currentTimeChanged();
}

void EventsListViewModel::rebuild()
{
    const QList<AnyCalendarEvent> today = UnifiedEvents::fromStore(m_events.todayEvents());
    const QList<AnyCalendarEvent> upcoming = UnifiedEvents::fromStore(m_events.upcomingEvents());
    const QTimeZone zone = m_clock.timeZone();
    m_currentTime = m_clock.now();
    m_firstRows.setEvents(UnifiedEvents::eventsOfDay(m_selectedDay, today, upcoming, zone), m_currentTime, zone);
    m_upcomingRows.setEvents(upcoming, m_currentTime, zone);
    emit sectionsChanged();
    emit currentTimeChanged();
}
