// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/EventCreation.h"

#include "calendar/CalendarNames.h"

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

QList<CalendarTarget> targets(const CalendarStore &store)
{
    QList<CalendarInfo> writable;
    QList<CalendarInfo> zoho;
    for (const CalendarInfo &calendar : store.calendars()) {
        if (!calendar.allowsModifications)
            continue;
        (calendar.providerId == ZohoProviderId ? zoho : writable).append(calendar);
    }
    // QString's operator< compares code units: case-sensitive, no locale.
    std::stable_sort(writable.begin(), writable.end(),
        [](const CalendarInfo &a, const CalendarInfo &b) { return a.title < b.title; });
    QList<CalendarTarget> result;
    for (const CalendarInfo &calendar : std::as_const(writable) + zoho)
        result.append(CalendarTarget(calendar));
    return result;
}

QStringList targetNames(const CalendarStore &store, const QList<CalendarTarget> &targets)
{
    QHash<QString, QString> accounts;
    for (const CalendarSource &source : store.sources())
        accounts.insert(source.identifier, source.title);
    QList<CalendarNames::Named> named;
    named.reserve(targets.size());
    for (const CalendarTarget &target : targets)
        named.append({target.calendar().title, accounts.value(target.calendar().sourceId)});
    return CalendarNames::distinct(named);
}

std::optional<CalendarTarget> preselectedTarget(const CalendarStore &store, const QList<CalendarTarget> &targets)
{
    if (const std::optional<CalendarInfo> fallback = store.defaultCalendarForNewEvents()) {
        const CalendarTarget preferred(*fallback);
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

void save(const Draft &draft, const std::optional<CalendarTarget> &target, CalendarStore &store,
    std::function<void(const Result &)> done)
{
    if (!target)
        return done({false, noTargetMessage(), {}});
    if (const QString problem = storableRangeProblem(draft.start, draft.end, draft.allDay); !problem.isEmpty())
        return done({false, problem, {}});
    NewEventRequest request;
    request.calendarId = target->calendar().identifier;
    request.title = draft.title.trimmed();
    request.allDay = draft.allDay;
    request.start = draft.start;
    request.end = draft.end;
    // Zoho's errors are told as Zoho gives them; the store's as a failed save.
    const bool zoho = target->isZoho();
    store.saveEventLater(request, [done = std::move(done), zoho](const StoreResult &saved) {
        if (!saved.ok && !zoho)
            return done({false, QCoreApplication::translate("EventCreation", "Could not save: ") + saved.error, {}});
        done({saved.ok, saved.error, saved.eventId});
    });
}

} // namespace EventCreation
