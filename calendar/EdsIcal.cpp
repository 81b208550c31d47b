// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/EdsIcal.h"

#include "calendar/EventAlarms.h"
#include "calendar/EventFormatting.h"
#include "calendar/ZoneOffsets.h"

#include <QHash>
#include <QMutex>
#include <QSet>

namespace Eds {
namespace {

constexpr int MaxOccurrencesPerSeries = 5000;

} // namespace

QTimeZone ianaZone(const QByteArray &name)
{
    static QMutex mutex;
    static QHash<QByteArray, QTimeZone> zones;
    if (name.isEmpty())
        return {};
    const QMutexLocker locker(&mutex);
    auto it = zones.constFind(name);
    if (it == zones.constEnd()) {
        QTimeZone zone(name);
        if (!zone.isValid()) {
            // Exchange names zones the Windows way ("W. Europe Standard Time").
            const QByteArray iana = QTimeZone::windowsIdToDefaultIanaId(name);
            if (!iana.isEmpty())
                zone = QTimeZone(iana);
        }
        it = zones.insert(name, zone);
    }
    return *it;
}

namespace {

// The IANA zone a libical zone stands for ("/freeassociation.sourceforge.net/
// Europe/Berlin" and other vendor prefixes included), or an invalid zone.
QTimeZone qtZoneOf(const icaltimezone *zone)
{
    if (!zone)
        return {};
    auto *mutableZone = const_cast<icaltimezone *>(zone);
    if (const char *location = icaltimezone_get_location(mutableZone); location && *location) {
        if (QTimeZone byLocation = ianaZone(location); byLocation.isValid())
            return byLocation;
    }
    const char *tzid = icaltimezone_get_tzid(mutableZone);
    if (!tzid || !*tzid)
        return {};
    if (QTimeZone byTzid = ianaZone(tzid); byTzid.isValid())
        return byTzid;
    const char *matched = e_cal_match_tzid(tzid);
    return matched ? ianaZone(matched) : QTimeZone();
}

icaltimezone *nativeZone(ICalTimezone *zone)
{
    return zone ? static_cast<icaltimezone *>(i_cal_object_get_native(I_CAL_OBJECT(zone))) : nullptr;
}

struct TimePoint
{
    bool valid = false;
    bool isDate = false;
    bool floating = false;
    qint64 ms = 0;
    QDate date;
    QTime clock; // wall-clock time, for floating times
    QTimeZone zone;
};

TimePoint timePoint(const icaltimetype &time, const icaltimezone *zone, const QTimeZone &userZone)
{
    TimePoint point;
    if (icaltime_is_null_time(time))
        return point;
    const QDate date(time.year, time.month, time.day);
    if (!date.isValid())
        return point;
    point.valid = true;
    point.date = date;
    if (time.is_date) {
        point.isDate = true;
        point.ms = QDateTime(date, QTime(0, 0), userZone).toMSecsSinceEpoch();
        return point;
    }
    const QTime clock(time.hour, time.minute, qMin(time.second, 59));
    point.clock = clock;
    if (!zone)
        zone = time.zone;
    if (icaltime_is_utc(time) || zone == icaltimezone_get_utc_timezone()) {
        point.ms = QDateTime(date, clock, QTimeZone::utc()).toMSecsSinceEpoch();
        return point;
    }
    if (zone) {
        if (const QTimeZone qtZone = qtZoneOf(zone); qtZone.isValid()) {
            point.ms = ZoneOffsets::msecsOf(qtZone, date, clock);
            point.zone = qtZone;
            return point;
        }
        // A zone only the calendar defines: libical applies its rules.
        icaltimetype copy = time;
        copy.zone = nullptr;
        point.ms = qint64(icaltime_as_timet_with_zone(copy, zone)) * 1000;
        return point;
    }
    point.floating = true;
    point.ms = ZoneOffsets::msecsOf(userZone, date, clock);
    return point;
}

icaltimezone *zoneOfProperty(icalproperty *property, const ZoneLookup &zones)
{
    icalparameter *parameter = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
    if (!parameter)
        return nullptr;
    return nativeZone(
        resolveZone(icalparameter_get_tzid(parameter), const_cast<ZoneLookup *>(&zones), nullptr, nullptr));
}

// The key of an occurrence as CalendarEvent::recurrenceKey has it, which is
// also a RECURRENCE-ID EDS accepts: the date, the floating wall-clock time,
// or the instant in UTC.
QString keyOf(const TimePoint &point)
{
    if (point.isDate)
        return point.date.toString(QStringLiteral("yyyyMMdd"));
    if (point.floating)
        return point.date.toString(QStringLiteral("yyyyMMdd")) + point.clock.toString(QStringLiteral("'T'HHmmss"));
    return QDateTime::fromMSecsSinceEpoch(point.ms, QTimeZone::utc()).toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
}

QString text(const char *value)
{
    return value ? QString::fromUtf8(value) : QString();
}

struct Expansion
{
    const Series *series;
    const QTimeZone *userZone;
    qint64 fromMs;
    qint64 toMs;
    std::vector<Occurrence> *out;
    QSet<QString> replaced; // rid keys of changed or cancelled occurrences
    int count = 0;
};

gboolean addInstance(
    ICalComponent *, ICalTime *instanceStart, ICalTime *instanceEnd, gpointer data, GCancellable *, GError **)
{
    auto *expansion = static_cast<Expansion *>(data);
    const auto *start = static_cast<const icaltimetype *>(i_cal_object_get_native(I_CAL_OBJECT(instanceStart)));
    const auto *end = static_cast<const icaltimetype *>(i_cal_object_get_native(I_CAL_OBJECT(instanceEnd)));
    if (!start || !end)
        return TRUE;
    const EventRecord &master = *expansion->series->master;
    // EDS gives floating instances the default zone; they stay floating here,
    // so that their keys are the wall-clock times EDS names them by.
    icaltimetype startTime = *start;
    icaltimetype endTime = *end;
    if (master.floating)
        startTime.zone = endTime.zone = nullptr;
    const TimePoint startPoint = timePoint(startTime, nullptr, *expansion->userZone);
    const TimePoint endPoint = timePoint(endTime, nullptr, *expansion->userZone);
    if (!startPoint.valid)
        return TRUE;
    const QString key = keyOf(startPoint);
    if (expansion->replaced.contains(key))
        return TRUE;
    Occurrence occurrence;
    occurrence.ridKey = key;
    occurrence.record = expansion->series->master;
    if (master.allDay) {
        occurrence.startDate = startPoint.date;
        occurrence.endDate
            = endPoint.valid ? qMax(endPoint.date, startPoint.date.addDays(1)) : startPoint.date.addDays(1);
        occurrence.startMs = QDateTime(occurrence.startDate, QTime(0, 0), *expansion->userZone).toMSecsSinceEpoch();
        occurrence.endMs = QDateTime(occurrence.endDate, QTime(0, 0), *expansion->userZone).toMSecsSinceEpoch();
    } else {
        occurrence.startMs = startPoint.ms;
        occurrence.endMs = endPoint.valid ? qMax(endPoint.ms, startPoint.ms) : startPoint.ms;
    }
    if (overlapsRange(occurrence.startMs, occurrence.endMs, expansion->fromMs, expansion->toMs))
        expansion->out->push_back(std::move(occurrence));
    return ++expansion->count < MaxOccurrencesPerSeries;
}

ICalTime *utcTime(qint64 ms)
{
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
    ICalTime *time = i_cal_time_new_null_time();
    i_cal_time_set_date(time, utc.date().year(), utc.date().month(), utc.date().day());
    i_cal_time_set_time(time, utc.time().hour(), utc.time().minute(), utc.time().second());
    i_cal_time_set_timezone(time, i_cal_timezone_get_utc_timezone());
    return time;
}

} // namespace

ICalTimezone *resolveZone(const gchar *tzid, gpointer zoneLookup, GCancellable *cancellable, GError **)
{
    if (!tzid || !*tzid)
        return nullptr;
    if (ICalTimezone *zone = i_cal_timezone_get_builtin_timezone(tzid))
        return zone;
    if (ICalTimezone *zone = i_cal_timezone_get_builtin_timezone_from_tzid(tzid))
        return zone;
    if (const char *matched = e_cal_match_tzid(tzid)) {
        if (ICalTimezone *zone = i_cal_timezone_get_builtin_timezone(matched))
            return zone;
    }
    const QByteArray windowsIana = QTimeZone::windowsIdToDefaultIanaId(tzid);
    if (!windowsIana.isEmpty()) {
        if (ICalTimezone *zone = i_cal_timezone_get_builtin_timezone(windowsIana.constData()))
            return zone;
    }
    const auto *zones = static_cast<const ZoneLookup *>(zoneLookup);
    if (!zones || !zones->client)
        return nullptr;
    if (zones->mayAskService)
        return e_cal_client_tzlookup_cb(tzid, zones->client, cancellable, nullptr);
    return e_timezone_cache_get_timezone(E_TIMEZONE_CACHE(zones->client), tzid);
}

ICalTimezone *builtinZone(const QTimeZone &zone)
{
    if (!zone.isValid())
        return nullptr;
    const QByteArray id = zone.id();
    if (id == "UTC" || id == "Etc/UTC")
        return i_cal_timezone_get_utc_timezone();
    return i_cal_timezone_get_builtin_timezone(id.constData());
}

RecordPtr recordFromComponent(ICalComponent *component, const ZoneLookup &zones, const QTimeZone &userZone)
{
    auto *event = component ? static_cast<icalcomponent *>(i_cal_object_get_native(I_CAL_OBJECT(component))) : nullptr;
    if (!event || icalcomponent_isa(event) != ICAL_VEVENT_COMPONENT)
        return nullptr;
    const char *uid = icalcomponent_get_uid(event);
    icalproperty *startProperty = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
    if (!uid || !*uid || !startProperty)
        return nullptr;
    const TimePoint start
        = timePoint(icalproperty_get_dtstart(startProperty), zoneOfProperty(startProperty, zones), userZone);
    if (!start.valid)
        return nullptr;

    auto record = std::make_shared<EventRecord>();
    record->uid = QString::fromUtf8(uid);
    if (icalproperty *summary = icalcomponent_get_first_property(event, ICAL_SUMMARY_PROPERTY)) {
        // Kept as it is shown, on one line and bounded.
        record->title = EventFormatting::oneLineTitleFromUtf8(icalproperty_get_summary(summary));
        record->hasTitle = !record->title.trimmed().isEmpty();
    }
    record->cancelled = icalcomponent_get_status(event) == ICAL_STATUS_CANCELLED;
    record->allDay = start.isDate;
    record->floating = start.floating;
    record->zone = start.zone;

    TimePoint end;
    qint64 durationSeconds = -1;
    if (icalproperty *endProperty = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY))
        end = timePoint(icalproperty_get_dtend(endProperty), zoneOfProperty(endProperty, zones), userZone);
    else if (icalproperty *duration = icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY))
        durationSeconds = icaldurationtype_as_int(icalproperty_get_duration(duration));
    if (record->allDay) {
        record->startDate = start.date;
        QDate endDate = start.date.addDays(1);
        if (end.valid)
            endDate = end.isDate ? end.date : QDateTime::fromMSecsSinceEpoch(end.ms, userZone).date();
        else if (durationSeconds > 0)
            endDate = start.date.addDays(durationSeconds / 86400);
        record->endDate = qMax(endDate, start.date.addDays(1));
        record->startMs = start.ms;
        record->endMs = QDateTime(record->endDate, QTime(0, 0), userZone).toMSecsSinceEpoch();
    } else {
        record->startMs = start.ms;
        record->endMs = end.valid ? end.ms : start.ms + qMax<qint64>(durationSeconds, 0) * 1000;
        record->endMs = qMax(record->endMs, record->startMs);
    }

    if (icalproperty *ridProperty = icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY)) {
        gchar *rid = e_cal_util_component_get_recurid_as_string(component);
        record->rid = text(rid);
        g_free(rid);
        const TimePoint original
            = timePoint(icalproperty_get_recurrenceid(ridProperty), zoneOfProperty(ridProperty, zones), userZone);
        if (original.valid)
            record->ridKey = keyOf(original);
    }
    record->recurring = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY)
        || icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY);
    if (record->recurring && record->rid.isEmpty()) {
        char *ical = icalcomponent_as_ical_string_r(event);
        record->ical = QByteArray(ical);
        icalmemory_free_buffer(ical);
    }
    return record;
}

std::vector<Occurrence> expandSeries(
    const Series &series, qint64 fromMs, qint64 toMs, const ZoneLookup &zones, const QTimeZone &userZone)
{
    std::vector<Occurrence> out;
    Expansion expansion {&series, &userZone, fromMs, toMs, &out, {}, 0};
    for (const RecordPtr &detached : series.detached) {
        if (!detached->ridKey.isEmpty())
            expansion.replaced.insert(detached->ridKey);
        if (detached->cancelled)
            continue;
        Occurrence occurrence {
            detached->startMs, detached->endMs, detached->startDate, detached->endDate, detached->ridKey, detached};
        if (overlapsRange(occurrence.startMs, occurrence.endMs, fromMs, toMs))
            out.push_back(std::move(occurrence));
    }
    const RecordPtr &master = series.master;
    if (master && !master->recurring) {
        if (overlapsRange(master->startMs, master->endMs, fromMs, toMs))
            out.push_back({master->startMs, master->endMs, master->startDate, master->endDate, {}, master});
    } else if (master && master->startMs < toMs) {
        GObjectPtr<ICalComponent> component(i_cal_component_new_from_string(master->ical.constData()));
        if (component) {
            // Instances that began before the range may still reach into it.
            const qint64 reachMs = qMax<qint64>(master->endMs - master->startMs, 0) + 2 * 86400 * 1000LL;
            GObjectPtr<ICalTime> from(utcTime(fromMs - reachMs));
            GObjectPtr<ICalTime> to(utcTime(toMs));
            e_cal_recur_generate_instances_sync(component.get(), from.get(), to.get(), addInstance, &expansion,
                resolveZone, const_cast<ZoneLookup *>(&zones), builtinZone(userZone), nullptr, nullptr);
        }
    }
    std::sort(out.begin(), out.end(), [](const Occurrence &a, const Occurrence &b) { return a.startMs < b.startMs; });
    return out;
}

EventDetails detailsOf(ICalComponent *component)
{
    auto *event = component ? static_cast<icalcomponent *>(i_cal_object_get_native(I_CAL_OBJECT(component))) : nullptr;
    if (event && icalcomponent_isa(event) == ICAL_VCALENDAR_COMPONENT) {
        // A series with changed occurrences comes as a VCALENDAR: the series itself has no RECURRENCE-ID.
        icalcomponent *found = nullptr;
        for (icalcomponent *child = icalcomponent_get_first_component(event, ICAL_VEVENT_COMPONENT); child;
             child = icalcomponent_get_next_component(event, ICAL_VEVENT_COMPONENT)) {
            if (!found || !icalcomponent_get_first_property(child, ICAL_RECURRENCEID_PROPERTY))
                found = child;
        }
        event = found;
    }
    if (!event)
        return {};
    EventDetails details;
    details.notes = text(icalcomponent_get_description(event));
    details.location = text(icalcomponent_get_location(event));
    if (icalproperty *url = icalcomponent_get_first_property(event, ICAL_URL_PROPERTY))
        details.url = text(icalproperty_get_url(url));
    details.alarms = EventAlarms::read(event);
    return details;
}

} // namespace Eds
