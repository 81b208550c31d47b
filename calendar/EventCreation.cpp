// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/EventCreation.h"

#include "calendar/CalendarNames.h"
#include "calendar/ZohoEventWriter.h"

#include <QCoreApplication>
#include <QTimeZone>

#include <algorithm>

namespace EventCreation {

Times defaultTimes(const QDateTime &requestedDate, const QDateTime &now)
{
    const bool passedToday = requestedDate < now && requestedDate.toTimeZone(now.timeZone()).date() == now.date();
    const QDateTime initialDate = passedToday ? now.toTimeZone(requestedDate.timeZone()) : requestedDate;
    QDateTime fullHour(initialDate.date(), QTime(initialDate.time().hour(), 0), initialDate.timeZone());
    if (!fullHour.isValid())
        fullHour = initialDate;
    QDateTime start = fullHour.addSecs(3600);
    if (!start.isValid())
        start = initialDate;
    return {start, start.addSecs(3600)};
}

QList<CalendarTarget> targets(const CalendarStore &store, const QList<ZohoCalendar> &zohoCalendars)
{
    QList<CalendarInfo> writable;
    for (const CalendarInfo &calendar : store.calendars()) {
        if (calendar.allowsModifications)
            writable.append(calendar);
    }
    // QString's operator< compares code units: case-sensitive, no locale.
    std::stable_sort(writable.begin(), writable.end(),
        [](const CalendarInfo &a, const CalendarInfo &b) { return a.title < b.title; });
    QList<CalendarTarget> result;
    for (const CalendarInfo &calendar : writable)
        result.append(CalendarTarget::local(calendar));
    for (const ZohoCalendar &calendar : zohoCalendars)
        result.append(CalendarTarget::zoho(calendar));
    return result;
}

QString zohoAccountName()
{
    return QCoreApplication::translate("EventCreation", "Zoho Calendar");
}

QStringList targetNames(const CalendarStore &store, const QList<CalendarTarget> &targets)
{
    QHash<QString, QString> accounts;
    for (const CalendarSource &source : store.sources())
        accounts.insert(source.identifier, source.title);
    QList<CalendarNames::Named> named;
    named.reserve(targets.size());
    for (const CalendarTarget &target : targets) {
        if (const CalendarInfo *calendar = target.localCalendar())
            named.append({calendar->title, accounts.value(calendar->sourceId)});
        else
            named.append({target.zohoCalendar()->name, zohoAccountName()});
    }
    return CalendarNames::distinct(named);
}

std::optional<CalendarTarget> preselectedTarget(const CalendarStore &store, const QList<CalendarTarget> &targets)
{
    if (const std::optional<CalendarInfo> fallback = store.defaultCalendarForNewEvents()) {
        const CalendarTarget preferred = CalendarTarget::local(*fallback);
        // A default that cannot take the event (read-only, gone) is passed over.
        if (targets.contains(preferred))
            return preferred;
    }
    if (targets.isEmpty())
        return std::nullopt;
    return targets.first();
}

bool canSave(const QString &title)
{
    return !title.trimmed().isEmpty();
}

QString noTargetMessage()
{
    return QCoreApplication::translate("EventCreation", "No calendar selected");
}

void save(const Draft &draft, const std::optional<CalendarTarget> &target, CalendarStore &store, ZohoEventWriter *zoho,
    std::function<void(const Result &)> done)
{
    const QString title = draft.title.trimmed();
    if (!target)
        return done({false, noTargetMessage(), {}});
    if (const QString problem = storableRangeProblem(draft.start, draft.end, draft.allDay); !problem.isEmpty())
        return done({false, problem, {}});

    if (const CalendarInfo *calendar = target->localCalendar()) {
        NewEventRequest request;
        request.calendarId = calendar->identifier;
        request.title = title;
        request.allDay = draft.allDay;
        request.start = draft.start;
        request.end = draft.end;
        const StoreResult saved = store.saveEvent(request);
        if (!saved.ok)
            return done({false, QCoreApplication::translate("EventCreation", "Could not save: ") + saved.error, {}});
        return done({true, {}, saved.eventId});
    }

    if (!zoho)
        return done({false, ZohoError::notAuthenticated().description(), {}});
    const QString calendarId = target->zohoCalendar()->id;
    // The writer calls back itself, so it is still there to ask for the uid.
    zoho->createEvent(
        title, draft.start, draft.end, draft.allDay, calendarId, [done, zoho](const std::optional<ZohoError> &error) {
            if (error)
                return done({false, error->description(), {}});
            const QString uid = zoho->lastCreatedEventId();
            // The id the popover and `brivane agenda` give Zoho events.
            done({true, {}, uid.isEmpty() ? QString() : QStringLiteral("zoho_") + uid});
        });
}

} // namespace EventCreation
