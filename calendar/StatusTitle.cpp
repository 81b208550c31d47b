// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/StatusTitle.h"

#include "calendar/CalendarEventManager.h"
#include "calendar/CalendarStore.h"
#include "calendar/EventFormatting.h"
#include "calendar/ZohoTypes.h"

#include <QCoreApplication>
#include <QTextBoundaryFinder>

QString StatusTitle::stateClass() const
{
    switch (state) {
    case State::Running:
        return QStringLiteral("running");
    case State::Upcoming:
        return QStringLiteral("event");
    case State::Idle:
        break;
    }
    return QStringLiteral("idle");
}

namespace StatusTitleBuilder {
namespace {

constexpr int MaxNameCharacters = 22;
const QString Separator = QStringLiteral(" \u00B7 ");

QList<CalendarEvent> timedOnly(QList<CalendarEvent> events)
{
    events.removeIf([](const CalendarEvent &event) { return event.allDay; });
    sortByStart(events);
    return events;
}

} // namespace

QString shortenedName(const QString &name)
{
    // Grapheme clusters, so that an emoji or a letter with combining marks
    // counts as one character and is never cut in half.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, name);
    int count = 0;
    qsizetype cutAt = -1;
    while (finder.toNextBoundary() != -1) {
        ++count;
        if (count == MaxNameCharacters)
            cutAt = finder.position();
    }
    if (count <= MaxNameCharacters)
        return name;
    return name.left(cutAt) + QChar(0x2026);
}

StatusTitle fromEvents(const QList<CalendarEvent> &today, const QList<CalendarEvent> &tomorrow, const QDateTime &now,
    const QLocale &locale)
{
    const QList<CalendarEvent> todayCandidates = timedOnly(today);
    const QList<CalendarEvent> tomorrowCandidates = timedOnly(tomorrow);

    StatusTitle title;
    for (const CalendarEvent &event : todayCandidates) {
        if (title.nextEvents.size() == StatusTitle::MaxListedEvents) {
            const int more = int(todayCandidates.size()) - StatusTitle::MaxListedEvents;
            title.nextEvents.append(QCoreApplication::translate("StatusTitle", "and %n more", nullptr, more));
            break;
        }
        title.nextEvents.append(locale.toString(event.start.toTimeZone(now.timeZone()).time(), QStringLiteral("HH:mm"))
            + QLatin1Char(' ') + EventFormatting::displayTitle(event));
    }

    const CalendarEvent *next = !todayCandidates.isEmpty() ? &todayCandidates.first()
        : !tomorrowCandidates.isEmpty()                    ? &tomorrowCandidates.first()
                                                           : nullptr;
    if (!next) {
        title.text = QLatin1Char(' ')
            + locale.toString(now.date(),
                QCoreApplication::translate("StatusTitle", "ddd d MMM", "date format of the panel's title"));
        return title;
    }

    // On one line first: a line break must not reach a panel's single line.
    const QString name = shortenedName(next->hasTitle ? EventFormatting::oneLineTitle(next->title)
                                                      : QCoreApplication::translate("StatusTitle", "Event"));
    const bool underWay = next->start <= now && next->end >= now;
    if (underWay) {
        const qint64 minutes = qMax<qint64>(1, now.msecsTo(next->end) / 60000);
        title.text = QLatin1Char(' ') + name + Separator
            + QCoreApplication::translate("StatusTitle", "%1m left", "minutes until the event ends").arg(minutes);
        title.state = StatusTitle::State::Running;
        return title;
    }
    const qint64 minutes = now.msecsTo(next->start) / 60000; // toward zero
    title.state = StatusTitle::State::Upcoming;
    if (minutes <= 59)
        title.text = QLatin1Char(' ') + name + Separator
            + QCoreApplication::translate("StatusTitle", "in %1m", "minutes until the event starts").arg(minutes);
    else
        title.text = QLatin1Char(' ') + name + Separator
            + locale.toString(next->start.toTimeZone(now.timeZone()).time(), QStringLiteral("HH:mm"));
    return title;
}

StatusTitle compute(
    const CalendarStore &store, const QSet<QString> &hiddenCalendarIds, const QDateTime &now, const QLocale &locale)
{
    const QSet<QString> visible = CalendarEventManager::visibleCalendarIds(store, hiddenCalendarIds);
    const QDateTime todayEnd = endOfDay(now);
    QDateTime tomorrow = now.addDays(1);
    if (!tomorrow.isValid())
        tomorrow = now;
    const QDateTime tomorrowEnd = endOfDay(tomorrow);
    // Zoho's events stay out of the title: they are as old as the last sync.
    const auto isZoho = [](const CalendarEvent &event) { return event.providerId == ZohoProviderId; };
    QList<CalendarEvent> today = store.events(now, todayEnd, visible);
    today.removeIf(isZoho);
    // Today's are all counted; of tomorrow's only the first timed one counts.
    return fromEvents(today,
        store.firstEvents(todayEnd, tomorrowEnd, visible, 1,
            [&isZoho](const CalendarEvent &event) { return event.allDay || isZoho(event); }),
        now, locale);
}

} // namespace StatusTitleBuilder
