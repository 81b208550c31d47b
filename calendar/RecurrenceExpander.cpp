#include "calendar/RecurrenceExpander.h"

#include "calendar/CalendarTypes.h"
#include "calendar/TimeZoneRegistry.h"

#include <libical/ical.h>

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
    const QDateTime startTime = start.toDateTime(userZone);
    QDateTime endTime;
    if (explicitEnd && explicitEnd->isValid())
        endTime = explicitEnd->toDateTime(userZone);
    else if (record.durationDays > 0)
        endTime = start.addDays(record.durationDays).toDateTime(userZone).addSecs(record.durationSeconds);
    else
        endTime = startTime.addSecs(record.durationSeconds);
    const qint64 startMs = startTime.toMSecsSinceEpoch();
    return {startMs, qMax(startMs, endTime.toMSecsSinceEpoch())};
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
            until = wallTimeAt(seriesStart, until.toDateTime(userZone).toMSecsSinceEpoch(), userZone);
        if (seriesStart.isDate()) {
            until.kind = TimeKind::Date;
            until.time = QTime();
        }
    }
    rule.until = toIcal(until);
}

} // namespace

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

void expandFile(
    const ParsedFile &file, qint64 fromMs, qint64 toMs, const QTimeZone &userZone, std::vector<Occurrence> &out)
{
    for (quint32 seriesIndex = 0; seriesIndex < file.series.size(); ++seriesIndex) {
        const EventSeries &series = file.series[seriesIndex];
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
            for (const IcsTime &exdate : master.exdates) {
                if (exdate.isDate() && !master.start.isDate())
                    exdateDays.insert(exdate.date);
                else
                    exdates.insert(exdate.toDateTime(userZone).toMSecsSinceEpoch());
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
            const qint64 originalMs = override.recurrenceId.toDateTime(userZone).toMSecsSinceEpoch();
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
        const qint64 seriesStartMs = master.start.toDateTime(userZone).toMSecsSinceEpoch();
        consider(master.start, nullptr);

        for (const QByteArray &ruleText : master.rrules) {
            if (seriesStartMs >= toMs)
                break;
            icalrecurrencetype rule = icalrecurrencetype_from_string(ruleText.constData());
            if (rule.freq == ICAL_NO_RECURRENCE)
                continue;
            alignUntil(rule, master.start, userZone);
            icalrecur_iterator *iterator = icalrecur_iterator_new(rule, toIcal(master.start));
            if (!iterator)
                continue;
            const qint64 longestMs = (qint64(master.durationDays) * 86400 + master.durationSeconds + 2 * 86400) * 1000;
            if (jumpToWindow && rule.count == 0 && fromMs - longestMs > seriesStartMs)
                icalrecur_iterator_set_start(iterator, toIcal(wallTimeAt(master.start, fromMs - longestMs, userZone)));
            for (int step = 0; step < MaxStepsPerSeries && emittedCount < MaxOccurrencesPerSeries; ++step) {
                const icaltimetype next = icalrecur_iterator_next(iterator);
                if (icaltime_is_null_time(next))
                    break;
                IcsTime occurrence = master.start;
                occurrence.date = QDate(next.year, next.month, next.day);
                if (!occurrence.date.isValid())
                    break;
                if (!occurrence.isDate())
                    occurrence.time = QTime(next.hour, next.minute, qMin(next.second, 59));
                if (occurrence.toDateTime(userZone).toMSecsSinceEpoch() >= toMs)
                    break;
                consider(occurrence, nullptr);
            }
            icalrecur_iterator_free(iterator);
        }
        for (qsizetype i = 0; i < master.rdates.size(); ++i)
            consider(master.rdates[i], &master.rdateEnds[i]);
    }
}

} // namespace RecurrenceExpander
