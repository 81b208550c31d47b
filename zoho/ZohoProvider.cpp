// SPDX-License-Identifier: GPL-3.0-or-later
#include "zoho/ZohoProvider.h"

#include "calendar/EventRemoval.h"
#include "zoho/ZohoCalendarManager.h"

#include <QHash>

namespace {
const QString CalendarPrefix = zohoStoreCalendarId({});
// The id `brivane agenda --json` has always given Zoho's events.
const QString EventPrefix = QStringLiteral("zoho_");
} // namespace

ZohoProvider::ZohoProvider(ZohoCalendarManager &manager, QObject *parent)
    : CalendarProvider(parent)
    , m_manager(&manager)
{
    connect(&manager, &ZohoCalendarManager::calendarsChanged, this, &ZohoProvider::announceChange);
    connect(&manager, &ZohoCalendarManager::todayEventsChanged, this, &ZohoProvider::announceChange);
    connect(&manager, &ZohoCalendarManager::upcomingEventsChanged, this, &ZohoProvider::announceChange);
}

QString ZohoProvider::calendarIdOf(const QString &zohoCalendarId)
{
    return zohoStoreCalendarId(zohoCalendarId);
}

QString ZohoProvider::zohoCalendarId(const QString &calendarId)
{
    return calendarId.startsWith(CalendarPrefix) ? calendarId.mid(CalendarPrefix.size()) : QString();
}

QString ZohoProvider::eventIdOf(const QString &zohoEventId)
{
    return EventPrefix + zohoEventId;
}

CalendarSource ZohoProvider::source()
{
    CalendarSource source;
    source.identifier = QString(Id);
    source.title = tr("Zoho Calendar");
    source.providerId = QString(Id);
    source.service = QString(Id);
    return source;
}

CalendarEvent ZohoProvider::toCalendarEvent(const ZohoEvent &zoho, const QString &calendarTitle, const QTimeZone &zone)
{
    CalendarEvent event;
    event.id = eventIdOf(zoho.id);
    event.eventIdentifier = zoho.id;
    event.title = zoho.title;
    event.hasTitle = !zoho.title.isEmpty();
    event.start = zoho.startDate;
    event.end = zoho.endDate;
    event.allDay = zoho.isAllDay;
    if (zoho.isAllDay) {
        event.startDate = zoho.startDate.toTimeZone(zone).date();
        // Zoho's end is the day after the last, as iCalendar's; a day at least.
        event.endDate = std::max(zoho.endDate.toTimeZone(zone).date(), event.startDate.addDays(1));
    }
    event.calendarId = calendarIdOf(zoho.calendarId);
    event.calendarTitle = calendarTitle;
    event.calendarColor = zoho.calendarColor.isValid() ? zoho.calendarColor.name(QColor::HexRgb).toUpper() : QString();
    event.sourceId = QString(Id);
    event.providerId = QString(Id);
    return event;
}

void ZohoProvider::start()
{
    QMetaObject::invokeMethod(this, &CalendarProvider::loaded, Qt::QueuedConnection);
    announceChange();
}

void ZohoProvider::announceChange()
{
    // A sync replaces three lists one after another: one announcement.
    if (m_changeAnnounced)
        return;
    m_changeAnnounced = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_changeAnnounced = false;
            emit changed();
        },
        Qt::QueuedConnection);
}

bool ZohoProvider::isReadable() const
{
    return m_manager && !m_manager->calendars().isEmpty();
}

QList<CalendarSource> ZohoProvider::sources() const
{
    if (!isReadable())
        return {};
    return {source()};
}

QList<CalendarInfo> ZohoProvider::calendars() const
{
    QList<CalendarInfo> result;
    if (!m_manager)
        return result;
    for (const ZohoCalendar &zoho : m_manager->calendars()) {
        CalendarInfo calendar;
        calendar.identifier = calendarIdOf(zoho.id);
        calendar.title = zoho.name;
        if (const std::optional<QColor> color = hexColor(zoho.color))
            calendar.color = color->name(QColor::HexRgb).toUpper();
        calendar.sourceId = QString(Id);
        calendar.providerId = QString(Id);
        calendar.allowsModifications = true; // new events; Zoho's own stay as they are
        result.append(calendar);
    }
    return result;
}

QList<CalendarEvent> ZohoProvider::allEvents() const
{
    QList<CalendarEvent> result;
    if (!m_manager)
        return result;
    QHash<QString, QString> titles;
    for (const ZohoCalendar &calendar : m_manager->calendars())
        titles.insert(calendar.id, calendar.name);
    const QTimeZone zone = m_manager->clock().timeZone();
    for (const QList<ZohoEvent> *list : {&m_manager->todayEvents(), &m_manager->upcomingEvents()}) {
        for (const ZohoEvent &event : *list)
            result.append(toCalendarEvent(event, titles.value(event.calendarId), zone));
    }
    return result;
}

QList<CalendarEvent> ZohoProvider::events(
    const QDateTime &start, const QDateTime &end, const QSet<QString> &calendarIds, qsizetype atLeastFirst) const
{
    Q_UNUSED(atLeastFirst); // a week of events at most: all of them
    QList<CalendarEvent> result;
    const qint64 rangeStart = start.toMSecsSinceEpoch();
    const qint64 rangeEnd = end.toMSecsSinceEpoch();
    for (CalendarEvent &event : allEvents()) {
        if (!calendarIds.isEmpty() && !calendarIds.contains(event.calendarId))
            continue;
        if (overlapsRange(event.start.toMSecsSinceEpoch(), event.end.toMSecsSinceEpoch(), rangeStart, rangeEnd))
            result.append(std::move(event));
    }
    sortByStart(result);
    return result;
}

std::optional<CalendarEvent> ZohoProvider::eventById(const QString &id) const
{
    if (!id.startsWith(EventPrefix))
        return std::nullopt;
    for (const CalendarEvent &event : allEvents()) {
        if (event.id == id)
            return event;
    }
    return std::nullopt;
}

EventDetails ZohoProvider::eventDetails(const CalendarEvent &event) const
{
    Q_UNUSED(event); // Zoho's list gives title and times alone
    return {};
}

StoreResult ZohoProvider::saveEvent(const NewEventRequest &request)
{
    Q_UNUSED(request);
    return StoreResult::failure(tr("A Zoho calendar takes new events only in the background."));
}

void ZohoProvider::saveEventLater(const NewEventRequest &request, SaveCallback done)
{
    if (!m_manager) {
        const StoreResult failure = StoreResult::failure(ZohoError::notAuthenticated().description());
        QMetaObject::invokeMethod(
            this, [done = std::move(done), failure] { done(failure); }, Qt::QueuedConnection);
        return;
    }
    // The manager calls back itself, from the event loop, and is asked for
    // the uid only while it is still there.
    m_manager->createEvent(request.title, request.start, request.end, request.allDay,
        zohoCalendarId(request.calendarId),
        [manager = m_manager, done = std::move(done)](const std::optional<ZohoError> &error) {
            if (error)
                return done(StoreResult::failure(error->description()));
            const QString uid = manager ? manager->lastCreatedEventId() : QString();
            done(StoreResult::success(uid.isEmpty() ? QString() : eventIdOf(uid)));
        });
}

StoreResult ZohoProvider::removeEvent(const CalendarEvent &event, RemoveSpan span)
{
    Q_UNUSED(event);
    Q_UNUSED(span);
    return StoreResult::failure(EventRemoval::zohoRefusal());
}
