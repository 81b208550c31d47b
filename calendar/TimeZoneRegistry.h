#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QTimeZone>

#include <memory>

struct _icaltimezone;
struct icalcomponent_impl;

// A TZID resolved once for the whole process: an IANA zone where the name
// (or a Windows name, or a vendor-prefixed IANA path) is known, otherwise
// the rules of the VTIMEZONE that came with it.
class ResolvedZone
{
public:
    ~ResolvedZone();
    ResolvedZone(const ResolvedZone &) = delete;
    ResolvedZone &operator=(const ResolvedZone &) = delete;

    const QByteArray &tzid() const { return m_tzid; }
    bool isIana() const { return m_zone.isValid(); }
    const QTimeZone &ianaZone() const { return m_zone; }

    // The instant of a wall-clock time in this zone. IANA zones keep the
    // zone in the result; VTIMEZONE rules give a fixed UTC offset.
    QDateTime toDateTime(QDate date, QTime time) const;

private:
    friend class TimeZoneRegistry;
    ResolvedZone(QByteArray tzid, QTimeZone zone);
    ResolvedZone(QByteArray tzid, _icaltimezone *custom);

    QByteArray m_tzid;
    QTimeZone m_zone;
    _icaltimezone *m_custom = nullptr;
};

class TimeZoneRegistry
{
public:
    static TimeZoneRegistry &instance();

    // Thread-safe. `vtimezone` is the file's VTIMEZONE for this TZID, or
    // null. Returns null when the TZID names nothing known and no rules came
    // with it.
    const ResolvedZone *resolve(const QByteArray &tzid, icalcomponent_impl *vtimezone = nullptr);

    // The IANA zone a free-form TZID stands for, or an invalid zone.
    static QTimeZone ianaZoneFor(const QByteArray &tzid);

private:
    TimeZoneRegistry() = default;
    QMutex m_mutex;
    QHash<QByteArray, std::shared_ptr<ResolvedZone>> m_zones;
};
