// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/RecurrenceExpander.h"

#include "calendar/CalendarTypes.h"
#include "calendar/RecurrenceRules.h"
#include "calendar/TimeZoneRegistry.h"

#include <libical/ical.h>

#include <QElapsedTimer>
#include <QSet>

#include <atomic>

namespace RecurrenceExpander {
namespace {

std::atomic_bool jumpToWindow {true};

struct Span
{
    qint64 startMs;
    qint64 endMs;
};

Span spanOf(const EventRecord &record, const IcsTime &start, const IcsTime *explicitEnd, const QTimeZone &userZone)
{
    const qint64 startMs = start.toMSecs(userZone);
    qint64 endMs = 0;
    if (explicitEnd && explicitEnd->isValid())
        endMs = explicitEnd->toMSecs(userZone);
    else if (record.durationDays > 0)
        endMs = start.addDays(record.durationDays).toMSecs(userZone) + record.durationSeconds * 1000;
    else
        endMs = startMs + record.durationSeconds * 1000;
    return {startMs, qMax(startMs, endMs)};
}

// The wall-clock reading of an instant in the frame the series repeats in.
IcsTime wallTimeAt(const IcsTime &like, qint64 ms, const QTimeZone &userZone)
{
    IcsTime result = like;
    QDateTime local;
    switch (like.kind) {
    case TimeKind::Utc:
        local = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
        break;
    case TimeKind::Zoned:
        if (like.zone && like.zone->isIana()) {
            local = QDateTime::fromMSecsSinceEpoch(ms, like.zone->ianaZone());
        } else {
            // VTIMEZONE rules: read the offset near that instant.
            const QDateTime utc = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
            local = utc.addSecs(like.zone->toDateTime(utc.date(), utc.time()).offsetFromUtc());
        }
        break;
    case TimeKind::Floating:
    case TimeKind::Date:
        local = QDateTime::fromMSecsSinceEpoch(ms, userZone);
        break;
    }
    result.date = local.date();
    if (!like.isDate())
        result.time = local.time();
    return result;
}

icaltimetype toIcal(const IcsTime &time)
{
    icaltimetype value = icaltime_null_time();
    value.year = time.date.year();
    value.month = time.date.month();
    value.day = time.date.day();
    value.is_date = time.isDate() ? 1 : 0;
    if (!time.isDate()) {
        value.hour = time.time.hour();
        value.minute = time.time.minute();
        value.second = time.time.second();
    }
    return value;
}

// UNTIL is compared on the series' wall clock, so a UTC UNTIL of a zoned
// series is first moved onto that clock.
void alignUntil(icalrecurrencetype &rule, const IcsTime &seriesStart, const QTimeZone &userZone)
{
    if (icaltime_is_null_time(rule.until))
        return;
    IcsTime until;
    until.date = QDate(rule.until.year, rule.until.month, rule.until.day);
    if (!until.date.isValid()) {
        rule.until = icaltime_null_time();
        return;
    }
    if (rule.until.is_date) {
        until.kind = TimeKind::Date;
        if (!seriesStart.isDate()) {
            // A DATE UNTIL on a timed series: through the end of that day.
            until = seriesStart;
            until.date = QDate(rule.until.year, rule.until.month, rule.until.day);
            until.time = QTime(23, 59, 59);
        }
    } else {
        until.time = QTime(rule.until.hour, rule.until.minute, qMin(rule.until.second, 59));
        until.kind = icaltime_is_utc(rule.until) ? TimeKind::Utc : seriesStart.kind;
        until.zone = seriesStart.zone;
        if (until.kind == TimeKind::Utc && seriesStart.kind != TimeKind::Utc)
            until = wallTimeAt(seriesStart, until.toMSecs(userZone), userZone);
        if (seriesStart.isDate()) {
            until.kind = TimeKind::Date;
            until.time = QTime();
        }
    }
    rule.until = toIcal(until);
}

// The next wall-clock time of one rule, from libical or, for rules more
// frequent than daily, from our own bounded iterator.
class RuleSteps
{
public:
    RuleSteps(const icalrecurrencetype &rule, RecurrenceRules::Plan plan, const IcsTime &start)
    {
        if (plan == RecurrenceRules::Plan::SubDaily)
            m_subDaily.emplace(rule, QDateTime(start.date, start.isDate() ? QTime(0, 0) : start.time));
        else
            m_libical = icalrecur_iterator_new(rule, toIcal(start));
    }
    ~RuleSteps()
    {
        if (m_libical)
            icalrecur_iterator_free(m_libical);
    }
    RuleSteps(const RuleSteps &) = delete;
    RuleSteps &operator=(const RuleSteps &) = delete;

    bool isValid() const { return m_libical || m_subDaily; }
    void jumpTo(const IcsTime &wallClock)
    {
        if (m_subDaily)
            m_subDaily->jumpTo(QDateTime(wallClock.date, wallClock.isDate() ? QTime(0, 0) : wallClock.time));
        else
            icalrecur_iterator_set_start(m_libical, toIcal(wallClock));
    }
    // False at the end of the rule.
    bool next(QDate &date, QTime &time)
    {
        if (m_subDaily) {
            const std::optional<QDateTime> next = m_subDaily->next();
            if (!next)
                return false;
            date = next->date();
            time = next->time();
            return true;
        }
        const icaltimetype next = icalrecur_iterator_next(m_libical);
        if (icaltime_is_null_time(next))
            return false;
        date = QDate(next.year, next.month, next.day);
        time = QTime(next.hour, next.minute, qMin(next.second, 59));
        return date.isValid();
    }

private:
    icalrecur_iterator *m_libical = nullptr;
    std::optional<RecurrenceRules::SubDailyIterator> m_subDaily;
};

} // namespace

ExpansionBudget::ExpansionBudget(qint64 poolMs, qint64 perFileMs)
    : m_poolNs(poolMs * 1000000)
    , m_perFileNs(perFileMs * 1000000)
{ }

qint64 ExpansionBudget::allowanceNs(const ParsedFile &file) const
{
    const qint64 share = file.recurrenceOverBudget ? qMin(m_perFileNs, MarkedFileMs * 1000000) : m_perFileNs;
    return qMax<qint64>(0, qMin(share, m_poolNs));
}

void setJumpToWindowEnabled(bool enabled)
{
    jumpToWindow = enabled;
}

QString recurrenceKey(const IcsTime &originalStart, const QTimeZone &userZone)
{
    switch (originalStart.kind) {
    case TimeKind::Date:
        return originalStart.date.toString(QStringLiteral("yyyyMMdd"));
    case TimeKind::Floating:
        return QDateTime(originalStart.date, originalStart.time).toString(QStringLiteral("yyyyMMdd'T'HHmmss"));
    case TimeKind::Utc:
    case TimeKind::Zoned:
        break;
    }
    return originalStart.toDateTime(userZone).toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
}

QString recurrenceKeyOfOccurrence(const Occurrence &occurrence, const QTimeZone &userZone)
{
    const EventSeries &series = occurrence.series();
    if (occurrence.overrideIndex >= 0)
        return recurrenceKey(occurrence.record().recurrenceId, userZone);
    if (!series.hasMaster || !series.master.repeats())
        return {};
    return recurrenceKey(wallTimeAt(series.master.start, occurrence.startMs, userZone), userZone);
}

bool expandFile(
    const ParsedFile &file, qint64 fromMs, qint64 toMs, const QTimeZone &userZone, std::vector<Occurrence> &out)
{
    ExpansionBudget budget(ExpansionBudget::PerFileMs);
    return expandFile(file, fromMs, toMs, userZone, out, budget);
}

bool expandFile(const ParsedFile &file, qint64 fromMs, qint64 toMs, const QTimeZone &userZone,
    std::vector<Occurrence> &out, ExpansionBudget &budget)
{
    QElapsedTimer elapsed;
    elapsed.start();
    const qint64 allowanceNs = budget.allowanceNs(file);
    bool cutShort = false;
    auto outOfTime = [&] {
        if (!cutShort && elapsed.nsecsElapsed() > allowanceNs)
            cutShort = true;
        return cutShort;
    };

    for (quint32 seriesIndex = 0; seriesIndex < file.series().size(); ++seriesIndex) {
        const EventSeries &series = file.series()[seriesIndex];
        int emittedCount = 0;
        auto addOccurrence = [&](const Span &span, qint32 overrideIndex) {
            if (emittedCount >= MaxOccurrencesPerSeries || !overlapsRange(span.startMs, span.endMs, fromMs, toMs))
                return;
            ++emittedCount;
            out.push_back({span.startMs, span.endMs, &file, seriesIndex, overrideIndex, nullptr});
        };

        const EventRecord &master = series.master;
        QSet<qint64> exdates;
        QSet<QDate> exdateDays;
        if (series.hasMaster) {
            for (const IcsTime &exdate : master.repetition().exdates) {
                if (exdate.isDate() && !master.start.isDate())
                    exdateDays.insert(exdate.date);
                else
                    exdates.insert(exdate.toMSecs(userZone));
            }
        }
        auto isExcluded = [&](qint64 originalStartMs, const IcsTime &originalStart) {
            return exdates.contains(originalStartMs)
                || (!exdateDays.isEmpty() && exdateDays.contains(originalStart.date));
        };

        // Overrides stand in for the occurrence they replace; a cancelled one
        // removes it.
        QSet<qint64> overridden;
        for (size_t i = 0; i < series.overrides.size(); ++i) {
            const EventRecord &override = series.overrides[i];
            const qint64 originalMs = override.recurrenceId.toMSecs(userZone);
            overridden.insert(originalMs);
            if (override.cancelled || (series.hasMaster && isExcluded(originalMs, override.recurrenceId)))
                continue;
            addOccurrence(spanOf(override, override.start, nullptr, userZone), qint32(i));
        }
        if (!series.hasMaster)
            continue;
        if (!master.repeats()) {
            addOccurrence(spanOf(master, master.start, nullptr, userZone), -1);
            continue;
        }

        QSet<qint64> seen;
        auto consider = [&](const IcsTime &start, const IcsTime *explicitEnd) {
            const Span span = spanOf(master, start, explicitEnd, userZone);
            if (seen.contains(span.startMs))
                return;
            seen.insert(span.startMs);
            if (overridden.contains(span.startMs) || isExcluded(span.startMs, start))
                return;
            addOccurrence(span, -1);
        };

        // DTSTART is always the first occurrence, whether the rule matches it or not.
        const qint64 seriesStartMs = master.start.toMSecs(userZone);
        consider(master.start, nullptr);

        const RecurrenceSet &repetition = master.repetition();
        for (qsizetype ruleIndex = 0; ruleIndex < repetition.rrules.size(); ++ruleIndex) {
            const RecurrenceRules::Plan plan = repetition.rrulePlans.value(ruleIndex, RecurrenceRules::Plan::Libical);
            if (seriesStartMs >= toMs || plan == RecurrenceRules::Plan::NothingAfterStart
                || plan == RecurrenceRules::Plan::TooCostlyToCheck || outOfTime())
                continue;
            RecurrenceRules::ParsedRule parsed(repetition.rrules[ruleIndex]);
            icalrecurrencetype &rule = parsed.get();
            if (rule.freq == ICAL_NO_RECURRENCE)
                continue;
            alignUntil(rule, master.start, userZone);
            RuleSteps steps(rule, plan, master.start);
            if (!steps.isValid())
                continue;
            const qint64 longestMs = (qint64(master.durationDays) * 86400 + master.durationSeconds + 2 * 86400) * 1000;
            if (jumpToWindow && rule.count == 0 && fromMs - longestMs > seriesStartMs)
                steps.jumpTo(wallTimeAt(master.start, fromMs - longestMs, userZone));
            IcsTime occurrence = master.start;
            for (int step = 0; step < MaxStepsPerSeries && emittedCount < MaxOccurrencesPerSeries; ++step) {
                if (step % 32 == 31 && outOfTime())
                    break;
                QTime time;
                if (!steps.next(occurrence.date, time))
                    break;
                if (!occurrence.isDate())
                    occurrence.time = time;
                if (occurrence.toMSecs(userZone) >= toMs)
                    break;
                consider(occurrence, nullptr);
            }
        }
        for (qsizetype i = 0; i < repetition.rdates.size(); ++i)
            consider(repetition.rdates[i], &repetition.rdateEnds[i]);
    }

    budget.spend(elapsed.nsecsElapsed());
    if (cutShort) {
        file.recurrenceOverBudget = true;
        budget.noteCutShort(file);
    }
    return !cutShort;
}

} // namespace RecurrenceExpander
