// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/CalendarStore.h"

#include <QDeadlineTimer>
#include <QEventLoop>

CalendarStore::CalendarStore(QObject *parent)
    : QObject(parent)
{ }

CalendarStore::~CalendarStore() = default;

void CalendarStore::addProvider(CalendarProvider *provider)
{
    provider->setParent(this);
    m_providers.push_back(provider);
    connect(provider, &CalendarProvider::changed, this, &CalendarStore::changed);
    connect(provider, &CalendarProvider::loaded, this, [this] {
        if (isLoaded())
            emit loaded();
    });
}

void CalendarStore::finishBackgroundWork()
{
    for (CalendarProvider *provider : m_providers)
        provider->finishBackgroundWork();
}

void CalendarStore::takeInPendingChanges()
{
    for (CalendarProvider *provider : m_providers)
        provider->takeInPendingChanges();
}

bool CalendarStore::isLoaded() const
{
    return std::all_of(m_providers.begin(), m_providers.end(), [](const CalendarProvider *p) { return p->isLoaded(); });
}

bool CalendarStore::answersAtOnce(const QDateTime &start, const QDateTime &end) const
{
    return std::all_of(m_providers.begin(), m_providers.end(),
        [&](const CalendarProvider *p) { return p->answersAtOnce(start, end); });
}

bool CalendarStore::waitUntilLoaded(int timeoutMs)
{
    if (isLoaded())
        return true;
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &CalendarStore::loaded, &loop, &QEventLoop::quit);
    timeout.start(timeoutMs);
    loop.exec();
    return isLoaded();
}

void CalendarStore::requestAccess(std::function<void(bool granted)> onAnswer)
{
    const bool granted = std::any_of(
        m_providers.begin(), m_providers.end(), [](const CalendarProvider *p) { return p->isReadable(); });
    QMetaObject::invokeMethod(
        this, [onAnswer = std::move(onAnswer), granted] { onAnswer(granted); }, Qt::QueuedConnection);
}

QList<CalendarSource> CalendarStore::sources() const
{
    QList<CalendarSource> all;
    for (const CalendarProvider *provider : m_providers)
        all += provider->sources();
    return all;
}

QList<CalendarInfo> CalendarStore::calendars() const
{
    QList<CalendarInfo> all;
    for (const CalendarProvider *provider : m_providers)
        all += provider->calendars();
    return all;
}

std::optional<CalendarInfo> CalendarStore::calendar(const QString &calendarId) const
{
    for (const CalendarInfo &info : calendars()) {
        if (info.identifier == calendarId)
            return info;
    }
    return std::nullopt;
}

std::optional<CalendarInfo> CalendarStore::defaultCalendarForNewEvents() const
{
    for (const CalendarProvider *provider : m_providers) {
        const QString id = provider->defaultCalendarId();
        if (!id.isEmpty()) {
            if (auto info = calendar(id))
                return info;
        }
    }
    return std::nullopt;
}

QList<CalendarEvent> CalendarStore::events(
    const QDateTime &start, const QDateTime &end, const QSet<QString> &calendarIds, qsizetype atLeastFirst) const
{
    if (m_providers.size() == 1)
        return m_providers.front()->events(start, end, calendarIds, atLeastFirst);
    QList<CalendarEvent> all;
    // A provider that may have left events out is complete only up to the
    // start of the last it gave: so is the whole list.
    std::optional<QDateTime> completeUntil;
    for (const CalendarProvider *provider : m_providers) {
        const QList<CalendarEvent> part = provider->events(start, end, calendarIds, atLeastFirst);
        if (atLeastFirst >= 0 && !part.isEmpty() && part.size() >= atLeastFirst
            && (!completeUntil || part.last().start < *completeUntil))
            completeUntil = part.last().start;
        all += part;
    }
    sortByStart(all);
    if (completeUntil)
        all.removeIf([&completeUntil](const CalendarEvent &event) { return *completeUntil < event.start; });
    return all;
}

QList<CalendarEvent> CalendarStore::firstEvents(const QDateTime &start, const QDateTime &end,
    const QSet<QString> &calendarIds, qsizetype count, const std::function<bool(const CalendarEvent &)> &leftOut) const
{
    // A few more each time some are left out.
    for (qsizetype asked = qMax<qsizetype>(count, 1);; asked *= 4) {
        QList<CalendarEvent> found = events(start, end, calendarIds, asked);
        const qsizetype given = found.size();
        if (leftOut)
            found.removeIf(leftOut);
        if (found.size() >= count || given < asked)
            return found.mid(0, count);
    }
}

std::optional<CalendarEvent> CalendarStore::eventById(const QString &id) const
{
    for (const CalendarProvider *provider : m_providers) {
        if (std::optional<CalendarEvent> event = provider->eventById(id))
            return event;
    }
    return std::nullopt;
}

CalendarProvider *CalendarStore::providerOfCalendar(const QString &calendarId) const
{
    for (CalendarProvider *provider : m_providers) {
        const QList<CalendarInfo> own = provider->calendars();
        if (std::any_of(own.begin(), own.end(), [&](const CalendarInfo &c) { return c.identifier == calendarId; }))
            return provider;
    }
    return nullptr;
}

EventDetails CalendarStore::eventDetails(const CalendarEvent &event) const
{
    for (const CalendarProvider *provider : m_providers) {
        if (provider->providerId() == event.providerId)
            return provider->eventDetails(event);
    }
    return {};
}

StoreResult CalendarStore::saveEvent(const NewEventRequest &request)
{
    CalendarProvider *provider = providerOfCalendar(request.calendarId);
    if (!provider)
        return StoreResult::failure(tr("The calendar no longer exists."));
    return provider->saveEvent(request);
}

void CalendarStore::saveEventLater(const NewEventRequest &request, CalendarProvider::SaveCallback done)
{
    CalendarProvider *provider = providerOfCalendar(request.calendarId);
    if (!provider) {
        const StoreResult gone = StoreResult::failure(tr("The calendar no longer exists."));
        QMetaObject::invokeMethod(
            this, [done = std::move(done), gone] { done(gone); }, Qt::QueuedConnection);
        return;
    }
    provider->saveEventLater(request, std::move(done));
}

StoreResult CalendarStore::removeEvent(const CalendarEvent &event, RemoveSpan span)
{
    CalendarProvider *provider = providerOfCalendar(event.calendarId);
    if (!provider)
        return StoreResult::failure(tr("The calendar no longer exists."));
    return provider->removeEvent(event, span);
}
