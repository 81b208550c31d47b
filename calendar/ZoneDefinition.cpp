// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/ZoneDefinition.h"

#include "calendar/ZoneOffsets.h"

#include <libical/ical.h>

#include <QList>

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

namespace ZoneDefinition {
namespace {

// One change of the zone's offset (or of its name or kind).
struct Change
{
    QDateTime atUtc;
    int offsetBefore = 0;
    int offsetAfter = 0;
    bool daylight = false;
    QString abbreviation;
    // The wall-clock time it happens at, read with the offset before it, as
    // an observance's DTSTART gives it (a UTC QDateTime standing for it).
    QDateTime onset;
};

// Changes in consecutive years that one yearly rule gives: the same
// month, weekday, wall-clock time, offsets and name, each year's within a
// week of days.
struct Run
{
    std::vector<size_t> changes;
    int minDay = 0;
    int maxDay = 0;
};

using RuleKey = std::tuple<int, int, int, int, int, bool, QString>;

RuleKey keyOf(const Change &change)
{
    const QDate day = change.onset.date();
    return {day.month(), day.dayOfWeek(), change.onset.time().msecsSinceStartOfDay(), change.offsetBefore,
        change.offsetAfter, change.daylight, change.abbreviation};
}

const char *weekdayName(int dayOfWeek)
{
    static const char *const names[] = {"MO", "TU", "WE", "TH", "FR", "SA", "SU"};
    return names[qBound(1, dayOfWeek, 7) - 1];
}

icaltimetype wallTime(const QDateTime &onset)
{
    icaltimetype time = icaltime_null_time();
    time.year = onset.date().year();
    time.month = onset.date().month();
    time.day = onset.date().day();
    time.hour = onset.time().hour();
    time.minute = onset.time().minute();
    time.second = onset.time().second();
    return time;
}

std::vector<Change> changesOf(const QTimeZone &zone, const QDateTime &from, const QDateTime &horizon)
{
    QList<QTimeZone::OffsetData> transitions;
    if (zone.hasTransitions()) {
        // The change in force at the start (one at the very instant
        // included), then every later one.
        const QTimeZone::OffsetData inForce = zone.previousTransition(from.addMSecs(1));
        if (inForce.atUtc.isValid())
            transitions.append(inForce);
        transitions += ZoneOffsets::changesBetween(zone, inForce.atUtc.isValid() ? inForce.atUtc : from, horizon);
    }
    std::vector<Change> changes;
    for (const QTimeZone::OffsetData &transition : transitions) {
        Change change;
        change.atUtc = transition.atUtc.toUTC();
        change.offsetBefore = zone.offsetFromUtc(change.atUtc.addSecs(-1));
        change.offsetAfter = transition.offsetFromUtc;
        change.daylight = transition.daylightTimeOffset != 0;
        change.abbreviation = transition.abbreviation;
        change.onset = change.atUtc.addSecs(change.offsetBefore);
        if (!changes.empty()) {
            const Change &last = changes.back();
            if (change.atUtc <= last.atUtc)
                continue;
            // Nothing a reader could tell apart.
            if (change.offsetAfter == last.offsetAfter && change.daylight == last.daylight
                && change.abbreviation == last.abbreviation)
                continue;
        }
        changes.push_back(std::move(change));
    }
    return changes;
}

std::vector<Run> runsOf(const std::vector<Change> &changes)
{
    std::vector<Run> runs;
    std::map<RuleKey, size_t> latestRun;
    for (size_t i = 0; i < changes.size(); ++i) {
        const QDate day = changes[i].onset.date();
        const RuleKey key = keyOf(changes[i]);
        if (const auto found = latestRun.find(key); found != latestRun.end()) {
            Run &run = runs[found->second];
            const int lastYear = changes[run.changes.back()].onset.date().year();
            if (lastYear == day.year() - 1 && qMax(run.maxDay, day.day()) - qMin(run.minDay, day.day()) <= 6) {
                run.changes.push_back(i);
                run.minDay = qMin(run.minDay, day.day());
                run.maxDay = qMax(run.maxDay, day.day());
                continue;
            }
        }
        runs.push_back({{i}, day.day(), day.day()});
        latestRun[key] = runs.size() - 1;
    }
    return runs;
}

// The RRULE that gives exactly the run's changes (and, when `open`, the same
// day in every later year).
QByteArray ruleOf(const Run &run, const std::vector<Change> &changes, bool open)
{
    const QDate first = changes[run.changes.front()].onset.date();
    const QByteArray weekday = weekdayName(first.dayOfWeek());
    QByteArray rule = "FREQ=YEARLY;BYMONTH=" + QByteArray::number(first.month()) + ";BYDAY=";
    const bool lastOfMonth = std::all_of(run.changes.begin(), run.changes.end(), [&](size_t i) {
        const QDate day = changes[i].onset.date();
        return day.day() + 7 > day.daysInMonth();
    });
    const int week = (run.minDay - 1) / 7;
    if (lastOfMonth) {
        rule += "-1" + weekday;
    } else if (week < 4 && (run.maxDay - 1) / 7 == week) {
        rule += QByteArray::number(week + 1) + weekday;
    } else {
        // "The weekday on or after the n-th": one of seven days.
        rule += weekday + ";BYMONTHDAY=";
        for (int day = run.minDay; day < run.minDay + 7 && day <= 31; ++day)
            rule += (day > run.minDay ? "," : "") + QByteArray::number(day);
    }
    if (!open) {
        // A day past the last change (UNTIL is UTC, the onsets wall-clock
        // times): readers that compare the two either way get the same
        // changes, and the next year's is months away.
        const QDateTime until = changes[run.changes.back()].atUtc.addDays(1);
        rule += ";UNTIL=" + until.toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")).toLatin1();
    }
    return rule;
}

icalcomponent *observance(const Change &change, const QByteArray &rule)
{
    icalcomponent *component = icalcomponent_new(change.daylight ? ICAL_XDAYLIGHT_COMPONENT : ICAL_XSTANDARD_COMPONENT);
    icalcomponent_add_property(component, icalproperty_new_tzoffsetfrom(change.offsetBefore));
    icalcomponent_add_property(component, icalproperty_new_tzoffsetto(change.offsetAfter));
    if (!change.abbreviation.isEmpty())
        icalcomponent_add_property(component, icalproperty_new_tzname(change.abbreviation.toUtf8().constData()));
    icalcomponent_add_property(component, icalproperty_new_dtstart(wallTime(change.onset)));
    if (!rule.isEmpty())
        icalcomponent_add_property(component, icalproperty_new_rrule(icalrecurrencetype_from_string(rule.constData())));
    return component;
}

} // namespace

icalcomponent *vtimezone(
    const QTimeZone &zone, const QByteArray &tzid, const QDateTime &from, const std::optional<QDateTime> &until)
{
    if (!zone.isValid() || !from.isValid())
        return nullptr;
    const int lastYear
        = until && until->isValid() ? qMax(from.date().year(), until->date().year()) : from.date().year();
    const int horizonYear = qMax(lastYear + LookAheadYears, LookAheadUntilYear);
    const QDateTime horizon(QDate(horizonYear, 1, 1), QTime(0, 0), QTimeZone::utc());
    std::vector<Change> changes = changesOf(zone, from, horizon);
    if (changes.empty() || changes.front().atUtc > from) {
        // No change known before the start: the offset there, from long before.
        Change always;
        always.offsetBefore = always.offsetAfter = zone.offsetFromUtc(from);
        always.daylight = zone.isDaylightTime(from);
        always.abbreviation = zone.abbreviation(from);
        always.onset = QDateTime(QDate(qMin(from.date().year(), 1970), 1, 1), QTime(0, 0), QTimeZone::utc());
        always.atUtc = always.onset.addSecs(-always.offsetBefore);
        changes.insert(changes.begin(), always);
    }

    icalcomponent *result = icalcomponent_new(ICAL_VTIMEZONE_COMPONENT);
    icalcomponent_add_property(result, icalproperty_new_tzid(tzid.constData()));
    for (const Run &run : runsOf(changes)) {
        const Change &first = changes[run.changes.front()];
        // Nothing that starts after the end of a series; a rule in force
        // by then stays whole.
        if (until && run.changes.front() > 0 && first.atUtc > *until)
            continue;
        QByteArray rule;
        if (run.changes.size() > 1) {
            const bool open = changes[run.changes.back()].onset.date().year() >= horizonYear - 1;
            rule = ruleOf(run, changes, open);
        }
        icalcomponent_add_component(result, observance(first, rule));
    }
    return result;
}

} // namespace ZoneDefinition
