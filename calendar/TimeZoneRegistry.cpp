// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/TimeZoneRegistry.h"

#include "calendar/RecurrenceRules.h"
#include "calendar/ZoneOffsets.h"

#include <libical/ical.h>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QList>
#include <QMutexLocker>

namespace {
// libical's VTIMEZONE arithmetic caches lazily inside the zone object, so
// conversions through custom zones are serialised.
QMutex customZoneMutex;

// Qt reads a name it does not know as a POSIX rule ("Office" becomes UTC
// under that name), so only names of the system's zone data count.
bool isKnownZoneName(const QByteArray &name)
{
    if (QTimeZone::isTimeZoneIdAvailable(name))
        return true;
    if (name.contains("..") || name.startsWith('/'))
        return false;
    static const QString zoneInfo = [] {
        const QString fromEnvironment = qEnvironmentVariable("TZDIR");
        return fromEnvironment.isEmpty() ? QStringLiteral("/usr/share/zoneinfo") : fromEnvironment;
    }();
    return QFileInfo(zoneInfo + QLatin1Char('/') + QString::fromUtf8(name)).isFile();
}

QTimeZone tryIana(const QByteArray &name)
{
    if (name.isEmpty() || !isKnownZoneName(name))
        return {};
    QTimeZone zone(name);
    return zone.isValid() ? zone : QTimeZone();
}
} // namespace

ResolvedZone::ResolvedZone(QByteArray tzid, QTimeZone zone)
    : m_tzid(std::move(tzid))
    , m_zone(std::move(zone))
{ }

ResolvedZone::ResolvedZone(QByteArray tzid, icaltimezone *custom)
    : m_tzid(std::move(tzid))
    , m_custom(custom)
{ }

ResolvedZone::ResolvedZone(QByteArray tzid, int fixedOffsetSeconds)
    : m_tzid(std::move(tzid))
    , m_zone(fixedOffsetSeconds)
{ }

ResolvedZone::~ResolvedZone()
{
    if (m_custom)
        icaltimezone_free(m_custom, 1);
}

QDateTime ResolvedZone::toDateTime(QDate date, QTime time) const
{
    if (m_zone.isValid())
        return ZoneOffsets::dateTimeOf(m_zone, date, time);
    // libical reads a wall time in a gap with the offset after it and a
    // repeated one as its second pass: the rule every other zone follows is
    // applied to the offsets it gives.
    auto offsetAt = [this](qint64 ms) {
        icaltimetype instant = icaltime_from_timet_with_zone(time_t(ms / 1000), 0, icaltimezone_get_utc_timezone());
        int isDaylight = 0;
        return qint64(icaltimezone_get_utc_offset_of_utc_time(m_custom, &instant, &isDaylight)) * 1000;
    };
    const qint64 wallAsUtc = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
    QMutexLocker lock(&customZoneMutex);
    const qint64 utc = ZoneOffsets::instantOfWallTime(wallAsUtc * 1000, offsetAt) / 1000;
    lock.unlock();
    const int offset = int(wallAsUtc - utc);
    return QDateTime::fromSecsSinceEpoch(utc, Qt::OffsetFromUTC, offset);
}

TimeZoneRegistry &TimeZoneRegistry::instance()
{
    static TimeZoneRegistry registry;
    return registry;
}

QTimeZone TimeZoneRegistry::ianaZoneFor(const QByteArray &rawTzid)
{
    QByteArray tzid = rawTzid.trimmed();
    if (tzid.size() >= 2 && tzid.startsWith('"') && tzid.endsWith('"'))
        tzid = tzid.mid(1, tzid.size() - 2);
    if (QTimeZone zone = tryIana(tzid); zone.isValid())
        return zone;
    // Vendor prefixes such as "/mozilla.org/20050126_1/Europe/Berlin" or
    // "/freeassociation.sourceforge.net/Tzfile/America/New_York".
    const QList<QByteArray> parts = tzid.split('/');
    for (int tail = 3; tail >= 2; --tail) {
        if (parts.size() <= tail)
            continue;
        const QByteArray candidate = parts.mid(parts.size() - tail).join('/');
        if (QTimeZone zone = tryIana(candidate); zone.isValid())
            return zone;
    }
    // Outlook and Exchange write Windows zone names.
    const QByteArray fromWindows = QTimeZone::windowsIdToDefaultIanaId(tzid);
    if (!fromWindows.isEmpty())
        return QTimeZone(fromWindows);
    return {};
}

namespace {

QTimeZone locationOf(icalcomponent *vtimezone)
{
    // A VTIMEZONE often says which IANA zone it copies.
    for (icalproperty *property = icalcomponent_get_first_property(vtimezone, ICAL_X_PROPERTY); property;
         property = icalcomponent_get_next_property(vtimezone, ICAL_X_PROPERTY)) {
        const char *name = icalproperty_get_x_name(property);
        if (name && qstricmp(name, "X-LIC-LOCATION") == 0)
            return TimeZoneRegistry::ianaZoneFor(QByteArray(icalproperty_get_x(property)));
    }
    return {};
}

// Real zones change their offsets yearly (or monthly in a few historic
// cases); anything more frequent, a rule that never matches, or thousands of
// onsets would make libical expand the zone for minutes. Such parts are left
// out. Returns how many parts were left out.
int trimObservances(icalcomponent *vtimezone)
{
    int removed = 0;
    int observances = 0;
    std::vector<icalcomponent *> doomedObservances;
    for (icalcomponent *observance = icalcomponent_get_first_component(vtimezone, ICAL_ANY_COMPONENT); observance;
         observance = icalcomponent_get_next_component(vtimezone, ICAL_ANY_COMPONENT)) {
        if (++observances > TimeZoneRegistry::MaxObservances) {
            doomedObservances.push_back(observance);
            continue;
        }
        std::vector<icalproperty *> doomed;
        int onsets = 0;
        icalproperty *start = icalcomponent_get_first_property(observance, ICAL_DTSTART_PROPERTY);
        const icaltimetype startTime = start ? icalproperty_get_dtstart(start) : icaltime_null_time();
        const QDate startDate(startTime.year, startTime.month, startTime.day);
        for (icalproperty *property = icalcomponent_get_first_property(observance, ICAL_ANY_PROPERTY); property;
             property = icalcomponent_get_next_property(observance, ICAL_ANY_PROPERTY)) {
            const icalproperty_kind kind = icalproperty_isa(property);
            if (kind == ICAL_RRULE_PROPERTY) {
                const icalrecurrencetype rule = icalproperty_get_rrule(property);
                const bool yearlyOrMonthly
                    = rule.freq == ICAL_YEARLY_RECURRENCE || rule.freq == ICAL_MONTHLY_RECURRENCE;
                qint64 daysAllowed = RecurrenceRules::RepeatingSpanDays;
                if (!yearlyOrMonthly || !startDate.isValid()
                    || RecurrenceRules::planFor(rule, startDate, daysAllowed) != RecurrenceRules::Plan::Libical)
                    doomed.push_back(property);
            } else if (kind == ICAL_RDATE_PROPERTY && ++onsets > TimeZoneRegistry::MaxOnsetsPerObservance) {
                doomed.push_back(property);
            }
        }
        for (icalproperty *property : doomed) {
            icalcomponent_remove_property(observance, property);
            icalproperty_free(property);
        }
        removed += int(doomed.size());
    }
    for (icalcomponent *observance : doomedObservances) {
        icalcomponent_remove_component(vtimezone, observance);
        icalcomponent_free(observance);
    }
    return removed + int(doomedObservances.size());
}

// The offset a zone ends on, for when its rules cannot be used.
int lastOffsetOf(icalcomponent *vtimezone)
{
    int offset = 0;
    icaltimetype latest = icaltime_null_time();
    for (icalcomponent *observance = icalcomponent_get_first_component(vtimezone, ICAL_ANY_COMPONENT); observance;
         observance = icalcomponent_get_next_component(vtimezone, ICAL_ANY_COMPONENT)) {
        icalproperty *to = icalcomponent_get_first_property(observance, ICAL_TZOFFSETTO_PROPERTY);
        icalproperty *start = icalcomponent_get_first_property(observance, ICAL_DTSTART_PROPERTY);
        if (!to)
            continue;
        const icaltimetype startTime = start ? icalproperty_get_dtstart(start) : icaltime_null_time();
        if (icaltime_is_null_time(latest) || icaltime_compare(startTime, latest) >= 0) {
            latest = startTime;
            offset = icalproperty_get_tzoffsetto(to);
        }
    }
    // Offsets beyond what any place uses are not offsets.
    return qBound(-16 * 3600, offset, 16 * 3600);
}

} // namespace

std::shared_ptr<ResolvedZone> TimeZoneRegistry::buildCustom(
    const QByteArray &tzid, icalcomponent *vtimezone, QString *problem)
{
    icalcomponent *trimmed = icalcomponent_new_clone(vtimezone);
    if (trimObservances(trimmed) > 0 && problem)
        *problem = QStringLiteral("rules of time zone \"%1\" cut down").arg(QString::fromUtf8(tzid));
    const int fallbackOffset = lastOffsetOf(trimmed);
    if (m_byContent.size() >= MaxCustomZones) {
        icalcomponent_free(trimmed);
        return std::shared_ptr<ResolvedZone>(new ResolvedZone(tzid, fallbackOffset));
    }
    icaltimezone *custom = icaltimezone_new();
    if (!custom || !icaltimezone_set_component(custom, trimmed)) {
        icalcomponent_free(trimmed);
        if (custom)
            icaltimezone_free(custom, 1);
        return nullptr;
    }
    // libical expands a zone's rules on first use; do it now, timed, so a
    // zone too costly to use is known before any event relies on it.
    QElapsedTimer elapsed;
    elapsed.start();
    icaltimetype probe = icaltime_null_time();
    probe.year = 2037;
    probe.month = 12;
    probe.day = 31;
    int isDaylight = 0;
    {
        QMutexLocker lock(&customZoneMutex);
        icaltimezone_get_utc_offset(custom, &probe, &isDaylight);
    }
    if (elapsed.elapsed() > ZoneBudgetMs) {
        icaltimezone_free(custom, 1);
        if (problem)
            *problem = QStringLiteral("time zone \"%1\" too costly to follow, read as a fixed offset")
                           .arg(QString::fromUtf8(tzid));
        return std::shared_ptr<ResolvedZone>(new ResolvedZone(tzid, fallbackOffset));
    }
    return std::shared_ptr<ResolvedZone>(new ResolvedZone(tzid, custom));
}

const ResolvedZone *TimeZoneRegistry::resolve(const QByteArray &tzid, icalcomponent *vtimezone, QString *problem)
{
    QMutexLocker lock(&m_mutex);
    if (auto it = m_byName.constFind(tzid); it != m_byName.constEnd() && (*it || !vtimezone))
        return it->get();
    if (!m_byName.contains(tzid)) {
        if (QTimeZone zone = ianaZoneFor(tzid); zone.isValid()) {
            auto resolved = std::shared_ptr<ResolvedZone>(new ResolvedZone(tzid, zone));
            m_byName.insert(tzid, resolved);
            return resolved.get();
        }
    }
    if (!vtimezone) {
        m_byName.insert(tzid, nullptr); // nothing known by that name, and no rules
        return nullptr;
    }
    char *text = icalcomponent_as_ical_string_r(vtimezone);
    const QByteArray definition(text);
    icalmemory_free_buffer(text);
    const QByteArray key = tzid + '\n' + QCryptographicHash::hash(definition, QCryptographicHash::Sha1);
    if (auto it = m_byContent.constFind(key); it != m_byContent.constEnd())
        return it->get();
    std::shared_ptr<ResolvedZone> resolved;
    if (QTimeZone zone = locationOf(vtimezone); zone.isValid())
        resolved.reset(new ResolvedZone(tzid, zone));
    else
        resolved = buildCustom(tzid, vtimezone, problem);
    if (resolved)
        resolved->m_definition = definition;
    m_byContent.insert(key, resolved);
    return resolved.get();
}

const ResolvedZone *TimeZoneRegistry::resolveDefinition(const QByteArray &tzid, const QByteArray &definition)
{
    if (definition.isEmpty())
        return resolve(tzid);
    icalcomponent *parsed = icalparser_parse_string(definition.constData());
    if (!parsed)
        return nullptr;
    icalcomponent *vtimezone = icalcomponent_isa(parsed) == ICAL_VTIMEZONE_COMPONENT
        ? parsed
        : icalcomponent_get_first_component(parsed, ICAL_VTIMEZONE_COMPONENT);
    const ResolvedZone *zone = vtimezone ? resolve(tzid, vtimezone) : nullptr;
    icalcomponent_free(parsed);
    return zone;
}
