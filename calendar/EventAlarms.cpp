// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/EventAlarms.h"

#include <libical/ical.h>

namespace EventAlarms {

namespace {

std::optional<EventAlarm> readAlarm(icalcomponent *alarm)
{
    icalproperty *action = icalcomponent_get_first_property(alarm, ICAL_ACTION_PROPERTY);
    if (!action)
        return std::nullopt;
    const icalproperty_action kind = icalproperty_get_action(action);
    if (kind != ICAL_ACTION_DISPLAY && kind != ICAL_ACTION_AUDIO)
        return std::nullopt;
    // A trigger libical could not read comes as an X-LIC-ERROR instead.
    icalproperty *trigger = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
    if (!trigger)
        return std::nullopt;
    const icaltriggertype value = icalproperty_get_trigger(trigger);
    EventAlarm result;
    if (!icaltime_is_null_time(value.time)) {
        if (!icaltime_is_valid_time(value.time) || value.time.is_date || !icaltime_is_utc(value.time))
            return std::nullopt;
        result.anchor = EventAlarm::Anchor::Instant;
        result.instant = QDateTime(QDate(value.time.year, value.time.month, value.time.day),
            QTime(value.time.hour, value.time.minute, value.time.second), QTimeZone::utc());
        if (!result.instant.isValid())
            return std::nullopt;
        return result;
    }
    if (icaldurationtype_is_bad_duration(value.duration))
        return std::nullopt;
    result.offsetSeconds = icaldurationtype_as_int(value.duration);
    icalparameter *related = icalproperty_get_first_parameter(trigger, ICAL_RELATED_PARAMETER);
    result.anchor = related && icalparameter_get_related(related) == ICAL_RELATED_END ? EventAlarm::Anchor::End
                                                                                      : EventAlarm::Anchor::Start;
    return result;
}

} // namespace

QList<EventAlarm> read(icalcomponent *event)
{
    QList<EventAlarm> alarms;
    if (!event)
        return alarms;
    for (icalcomponent *alarm = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT); alarm;
         alarm = icalcomponent_get_next_component(event, ICAL_VALARM_COMPONENT)) {
        if (const std::optional<EventAlarm> read = readAlarm(alarm); read && !alarms.contains(*read))
            alarms.append(*read);
    }
    return alarms;
}

std::optional<QDateTime> dueAt(const EventAlarm &alarm, const CalendarEvent &event, const QTimeZone &zone)
{
    if (alarm.anchor == EventAlarm::Anchor::Instant)
        return alarm.instant.isValid() ? std::optional(alarm.instant.toUTC()) : std::nullopt;
    const bool fromEnd = alarm.anchor == EventAlarm::Anchor::End;
    QDateTime anchor;
    if (event.allDay) {
        const QDate day = fromEnd ? event.endDate : event.startDate;
        if (!day.isValid())
            return std::nullopt;
        anchor = QDateTime(day, QTime(0, 0), zone);
    } else {
        anchor = fromEnd ? event.end : event.start;
    }
    if (!anchor.isValid())
        return std::nullopt;
    return anchor.toUTC().addSecs(alarm.offsetSeconds);
}

QString triggerKey(const EventAlarm &alarm)
{
    switch (alarm.anchor) {
    case EventAlarm::Anchor::Start:
        return QLatin1Char('S') + QString::number(alarm.offsetSeconds);
    case EventAlarm::Anchor::End:
        return QLatin1Char('E') + QString::number(alarm.offsetSeconds);
    case EventAlarm::Anchor::Instant:
        break;
    }
    return QLatin1Char('A') + alarm.instant.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
}

} // namespace EventAlarms
