// SPDX-License-Identifier: GPL-3.0-or-later
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
    // The VTIMEZONE this zone was built from, as text; empty for a zone
    // resolved by its name alone. With the TZID, enough to resolve it again.
    const QByteArray &definition() const { return m_definition; }
    // An IANA zone, or a fixed offset standing in for rules too costly to
    // follow: either way a QTimeZone does the arithmetic.
    bool isIana() const { return m_zone.isValid(); }
    const QTimeZone &ianaZone() const { return m_zone; }

    // The instant of a wall-clock time in this zone. IANA zones keep the
    // zone in the result; VTIMEZONE rules give a fixed UTC offset.
    QDateTime toDateTime(QDate date, QTime time) const;

private:
    friend class TimeZoneRegistry;
    ResolvedZone(QByteArray tzid, QTimeZone zone);
    ResolvedZone(QByteArray tzid, _icaltimezone *custom);
    ResolvedZone(QByteArray tzid, int fixedOffsetSeconds);

    QByteArray m_tzid;
    QByteArray m_definition;
    QTimeZone m_zone;
    _icaltimezone *m_custom = nullptr;
};

class TimeZoneRegistry
{
public:
    // Zones built from files' own rules are few in real calendars; past this
    // many, further ones are read as fixed offsets.
    static constexpr int MaxCustomZones = 2000;
    // Observances and listed onsets kept from one VTIMEZONE.
    static constexpr int MaxObservances = 50;
    static constexpr int MaxOnsetsPerObservance = 500;
    // Time for building one zone from its rules; more, and the zone is read
    // as the fixed offset of its last observance.
    static constexpr qint64 ZoneBudgetMs = 100;

    static TimeZoneRegistry &instance();

    // Thread-safe. `vtimezone` is the file's VTIMEZONE for this TZID, or
    // null. A TZID that names an IANA zone resolves by its name alone; other
    // zones by their rules' content, so two files defining one TZID
    // differently each get their own. Returns null when the TZID names
    // nothing known and no rules came with it. `problem` receives a note when
    // the rules had to be cut down.
    const ResolvedZone *resolve(
        const QByteArray &tzid, icalcomponent_impl *vtimezone = nullptr, QString *problem = nullptr);

    // The zone as `ResolvedZone::definition` describes it: by name when the
    // definition is empty, else from the VTIMEZONE text. Null when neither
    // resolves.
    const ResolvedZone *resolveDefinition(const QByteArray &tzid, const QByteArray &definition);

    // The IANA zone a free-form TZID stands for, or an invalid zone.
    static QTimeZone ianaZoneFor(const QByteArray &tzid);

private:
    TimeZoneRegistry() = default;
    std::shared_ptr<ResolvedZone> buildCustom(const QByteArray &tzid, icalcomponent_impl *vtimezone, QString *problem);

    QMutex m_mutex;
    QHash<QByteArray, std::shared_ptr<ResolvedZone>> m_byName;
    QHash<QByteArray, std::shared_ptr<ResolvedZone>> m_byContent;
};
