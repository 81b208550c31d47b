#include "calendar/TimeZoneRegistry.h"

#include <libical/ical.h>

#include <QList>
#include <QMutexLocker>

namespace {
// libical's VTIMEZONE arithmetic caches lazily inside the zone object, so
// conversions through custom zones are serialised.
QMutex customZoneMutex;

QTimeZone tryIana(const QByteArray &name)
{
    if (name.isEmpty())
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

ResolvedZone::~ResolvedZone()
{
    if (m_custom)
        icaltimezone_free(m_custom, 1);
}

QDateTime ResolvedZone::toDateTime(QDate date, QTime time) const
{
    if (m_zone.isValid())
        return QDateTime(date, time, m_zone);
    icaltimetype wall = icaltime_null_time();
    wall.year = date.year();
    wall.month = date.month();
    wall.day = date.day();
    wall.hour = time.hour();
    wall.minute = time.minute();
    wall.second = time.second();
    QMutexLocker lock(&customZoneMutex);
    const time_t utc = icaltime_as_timet_with_zone(wall, m_custom);
    lock.unlock();
    const qint64 wallAsUtc = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
    const int offset = int(wallAsUtc - qint64(utc));
    return QDateTime::fromSecsSinceEpoch(qint64(utc), Qt::OffsetFromUTC, offset);
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

const ResolvedZone *TimeZoneRegistry::resolve(const QByteArray &tzid, icalcomponent *vtimezone)
{
    QMutexLocker lock(&m_mutex);
    if (auto it = m_zones.constFind(tzid); it != m_zones.constEnd() && (*it || !vtimezone))
        return it->get();

    std::shared_ptr<ResolvedZone> resolved;
    QTimeZone zone = ianaZoneFor(tzid);
    if (!zone.isValid() && vtimezone) {
        // A VTIMEZONE often says which IANA zone it copies.
        if (icalproperty *location = icalcomponent_get_first_property(vtimezone, ICAL_X_PROPERTY)) {
            for (; location; location = icalcomponent_get_next_property(vtimezone, ICAL_X_PROPERTY)) {
                const char *name = icalproperty_get_x_name(location);
                if (name && qstricmp(name, "X-LIC-LOCATION") == 0) {
                    zone = ianaZoneFor(QByteArray(icalproperty_get_x(location)));
                    break;
                }
            }
        }
    }
    if (zone.isValid()) {
        resolved.reset(new ResolvedZone(tzid, zone));
    } else if (vtimezone) {
        icaltimezone *custom = icaltimezone_new();
        if (custom && icaltimezone_set_component(custom, icalcomponent_new_clone(vtimezone))) {
            resolved.reset(new ResolvedZone(tzid, custom));
        } else if (custom) {
            icaltimezone_free(custom, 1);
        }
    }
    m_zones.insert(tzid, resolved);
    return resolved.get();
}
