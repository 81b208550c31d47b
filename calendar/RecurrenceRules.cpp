// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/RecurrenceRules.h"

#include <libical/ical.h>

#include <QList>
#include <QTimeZone>

#include <algorithm>
#include <bitset>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace RecurrenceRules {
namespace {

// libical gives up on every rule after this year.
constexpr int LastYear = 2582;

template<size_t N> bool isEmpty(const short (&values)[N])
{
    return values[0] == ICAL_RECURRENCE_ARRAY_MAX;
}

template<size_t N, typename Predicate> bool anyOf(const short (&values)[N], Predicate matches)
{
    for (size_t i = 0; i < N && values[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
        if (matches(int(values[i])))
            return true;
    }
    return false;
}

// 1 = Monday … 7 = Sunday, as QDate counts.
int qtWeekday(short byDayValue)
{
    const int icalDay = int(icalrecurrencetype_day_day_of_week(byDayValue)); // 1 = Sunday … 7 = Saturday
    return icalDay == 1 ? 7 : icalDay - 1;
}

int isoWeeksIn(int isoYear)
{
    return QDate(isoYear, 12, 28).weekNumber();
}

bool hasDayFilters(const icalrecurrencetype &rule)
{
    return !isEmpty(rule.by_month) || !isEmpty(rule.by_week_no) || !isEmpty(rule.by_year_day)
        || !isEmpty(rule.by_month_day) || !isEmpty(rule.by_day);
}

bool isGregorian(const icalrecurrencetype &rule)
{
    return !rule.rscale || qstricmp(rule.rscale, "GREGORIAN") == 0;
}

QDateTime naive(QDate date, QTime time)
{
    return QDateTime(date, time, QTimeZone::utc());
}

} // namespace

ParsedRule::ParsedRule(const QByteArray &text)
    : m_rule(std::make_unique<icalrecurrencetype>(icalrecurrencetype_from_string(text.constData())))
{ }

ParsedRule::~ParsedRule()
{
    std::free(m_rule->rscale);
}

bool dayPassesFilters(const icalrecurrencetype &rule, QDate day)
{
    if (!isEmpty(rule.by_month)) {
        const int month = day.month();
        if (!anyOf(rule.by_month, [month](int value) { return icalrecurrencetype_month_month(short(value)) == month; }))
            return false;
    }
    if (!isEmpty(rule.by_month_day)) {
        const int dayOfMonth = day.day();
        const int length = day.daysInMonth();
        if (!anyOf(rule.by_month_day,
                [&](int value) { return value > 0 ? value == dayOfMonth : length + value + 1 == dayOfMonth; }))
            return false;
    }
    if (!isEmpty(rule.by_year_day)) {
        const int dayOfYear = day.dayOfYear();
        const int length = day.daysInYear();
        if (!anyOf(rule.by_year_day,
                [&](int value) { return value > 0 ? value == dayOfYear : length + value + 1 == dayOfYear; }))
            return false;
    }
    // Week numbers follow the week start; only the ISO numbering (weeks from
    // Monday) is checked here, other starts let every day through.
    if (!isEmpty(rule.by_week_no) && rule.week_start == ICAL_MONDAY_WEEKDAY) {
        int isoYear = 0;
        const int week = day.weekNumber(&isoYear);
        const int weeks = isoWeeksIn(isoYear);
        if (!anyOf(rule.by_week_no, [&](int value) { return value > 0 ? value == week : weeks + value + 1 == week; }))
            return false;
    }
    if (!isEmpty(rule.by_day)) {
        const int weekday = day.dayOfWeek();
        // Where an ordinal counts: the n-th weekday of the month (MONTHLY, or
        // YEARLY with BYMONTH) or of the year (plain YEARLY). Elsewhere it
        // has no meaning and only the weekday is checked.
        enum class Within { Nothing, Month, Year } within = Within::Nothing;
        if (rule.freq == ICAL_MONTHLY_RECURRENCE
            || (rule.freq == ICAL_YEARLY_RECURRENCE && !isEmpty(rule.by_month) && isEmpty(rule.by_week_no)))
            within = Within::Month;
        else if (rule.freq == ICAL_YEARLY_RECURRENCE && isEmpty(rule.by_week_no))
            within = Within::Year;
        const int index = within == Within::Month ? day.day() : day.dayOfYear();
        const int length = within == Within::Month ? day.daysInMonth() : day.daysInYear();
        const int fromStart = (index - 1) / 7 + 1; // 1 = first such weekday
        const int fromEnd = -((length - index) / 7 + 1); // -1 = last
        if (!anyOf(rule.by_day, [&](int value) {
                if (qtWeekday(short(value)) != weekday)
                    return false;
                const int position = icalrecurrencetype_day_position(short(value));
                return position == 0 || within == Within::Nothing || position == fromStart || position == fromEnd;
            }))
            return false;
    }
    return true;
}

Plan planFor(const icalrecurrencetype &rule, QDate start, qint64 &daysAllowed)
{
    if (!isGregorian(rule) || !start.isValid())
        return Plan::Libical;
    if (hasDayFilters(rule)) {
        const QDate last = qMin(start.addDays(RepeatingSpanDays), QDate(LastYear, 12, 31));
        bool matches = false;
        for (QDate day = start; day <= last && !matches; day = day.addDays(1)) {
            if (--daysAllowed < 0)
                return Plan::TooCostlyToCheck;
            matches = dayPassesFilters(rule, day);
        }
        if (!matches)
            return Plan::NothingAfterStart;
    }
    switch (rule.freq) {
    case ICAL_SECONDLY_RECURRENCE:
    case ICAL_MINUTELY_RECURRENCE:
    case ICAL_HOURLY_RECURRENCE:
        return Plan::SubDaily;
    default:
        return Plan::Libical;
    }
}

struct SubDailyIterator::Rule
{
    icalrecurrencetype_frequency freq = ICAL_SECONDLY_RECURRENCE;
    icalrecurrencetype filters; // the day-level parts, for dayPassesFilters
    std::bitset<24> hours;
    std::bitset<60> minutes;
    std::bitset<61> seconds;
    bool limitHours = false;
    bool limitMinutes = false; // a limit for MINUTELY and SECONDLY, an expansion for HOURLY
    bool limitSeconds = false; // a limit for SECONDLY, an expansion otherwise
    std::vector<int> setPositions;
};

SubDailyIterator::SubDailyIterator(const icalrecurrencetype &rule, const QDateTime &start)
    : m_start(naive(start.date(), start.time()))
    , m_interval(qMax<qint64>(1, rule.interval))
    , m_count(qMax(0, rule.count))
    , m_end(naive(QDate(LastYear + 1, 1, 1), QTime(0, 0)))
{
    auto parsed = std::make_shared<Rule>();
    parsed->freq = rule.freq;
    parsed->filters = rule;
    parsed->filters.rscale = nullptr; // not owned here
    m_unitSeconds = rule.freq == ICAL_HOURLY_RECURRENCE ? 3600 : rule.freq == ICAL_MINUTELY_RECURRENCE ? 60 : 1;
    for (size_t i = 0; i < ICAL_BY_HOUR_SIZE && rule.by_hour[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
        if (rule.by_hour[i] >= 0 && rule.by_hour[i] < 24)
            parsed->hours.set(size_t(rule.by_hour[i]));
        parsed->limitHours = true;
    }
    for (size_t i = 0; i < ICAL_BY_MINUTE_SIZE && rule.by_minute[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
        if (rule.by_minute[i] >= 0 && rule.by_minute[i] < 60)
            parsed->minutes.set(size_t(rule.by_minute[i]));
        parsed->limitMinutes = true;
    }
    for (size_t i = 0; i < ICAL_BY_SECOND_SIZE && rule.by_second[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
        // A leap second (60) never comes on a wall clock without them.
        if (rule.by_second[i] >= 0 && rule.by_second[i] < 60)
            parsed->seconds.set(size_t(rule.by_second[i]));
        parsed->limitSeconds = true;
    }
    for (size_t i = 0; i < ICAL_BY_SETPOS_SIZE && rule.by_set_pos[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i)
        parsed->setPositions.push_back(rule.by_set_pos[i]);
    if (!icaltime_is_null_time(rule.until)) {
        const QDate date(rule.until.year, rule.until.month, rule.until.day);
        m_until = rule.until.is_date
            ? naive(date, QTime(23, 59, 59))
            : naive(date, QTime(rule.until.hour, rule.until.minute, qMin(rule.until.second, 59)));
    }
    if (!m_start.isValid())
        m_finished = true;
    m_rule = std::move(parsed);
}

QDateTime SubDailyIterator::periodStart(qint64 index) const
{
    return m_start.addSecs(index * m_interval * m_unitSeconds);
}

qint64 SubDailyIterator::firstPeriodAtOrAfter(const QDateTime &wallClock) const
{
    const qint64 step = m_interval * m_unitSeconds;
    const qint64 offset = m_start.secsTo(wallClock);
    if (offset <= 0)
        return 0;
    return (offset + step - 1) / step;
}

void SubDailyIterator::jumpTo(const QDateTime &wallClock)
{
    if (m_count > 0)
        return;
    const QDateTime target = naive(wallClock.date(), wallClock.time());
    const qint64 step = m_interval * m_unitSeconds;
    const qint64 offset = m_start.secsTo(target);
    // The period that holds `target`, so none of its occurrences is missed.
    const qint64 period = offset <= 0 ? 0 : offset / step;
    if (period > m_period) {
        m_period = period;
        m_pending.clear();
    }
}

std::optional<QDateTime> SubDailyIterator::next()
{
    const Rule &rule = *m_rule;
    qint64 checks = 0;
    while (!m_finished) {
        if (!m_pending.isEmpty()) {
            const QDateTime candidate = m_pending.takeFirst();
            if (m_until.isValid() && candidate > m_until) {
                m_finished = true;
                break;
            }
            ++m_produced;
            if (m_count > 0 && m_produced >= m_count)
                m_finished = true;
            return candidate;
        }
        if (++checks > MaxChecksPerStep) {
            m_finished = true;
            break;
        }
        const QDateTime period = periodStart(m_period);
        if (!period.isValid() || period >= m_end || (m_until.isValid() && period > m_until.addSecs(3600))) {
            m_finished = true;
            break;
        }
        const QDate day = period.date();
        const QTime time = period.time();
        if (!dayPassesFilters(rule.filters, day)) {
            m_period = qMax(m_period + 1, firstPeriodAtOrAfter(naive(day.addDays(1), QTime(0, 0))));
            continue;
        }
        if (rule.limitHours && !rule.hours.test(size_t(time.hour()))) {
            m_period = qMax(m_period + 1, firstPeriodAtOrAfter(naive(day, QTime(time.hour(), 0)).addSecs(3600)));
            continue;
        }
        const bool minutesLimit = rule.limitMinutes && rule.freq != ICAL_HOURLY_RECURRENCE;
        if (minutesLimit && !rule.minutes.test(size_t(time.minute()))) {
            m_period
                = qMax(m_period + 1, firstPeriodAtOrAfter(naive(day, QTime(time.hour(), time.minute())).addSecs(60)));
            continue;
        }
        const bool secondsLimit = rule.limitSeconds && rule.freq == ICAL_SECONDLY_RECURRENCE;
        if (secondsLimit && !rule.seconds.test(size_t(time.second()))) {
            ++m_period;
            continue;
        }

        // The candidates of this period, in order.
        QList<QDateTime> candidates;
        auto secondsOf = [&]() {
            QList<int> list;
            if (rule.limitSeconds) {
                for (int s = 0; s < 60; ++s) {
                    if (rule.seconds.test(size_t(s)))
                        list.append(s);
                }
            } else {
                list.append(m_start.time().second());
            }
            return list;
        };
        if (rule.freq == ICAL_SECONDLY_RECURRENCE) {
            candidates.append(period);
        } else if (rule.freq == ICAL_MINUTELY_RECURRENCE) {
            const QDateTime minute = naive(day, QTime(time.hour(), time.minute()));
            for (int s : secondsOf())
                candidates.append(minute.addSecs(s));
        } else {
            const QDateTime hour = naive(day, QTime(time.hour(), 0));
            QList<int> minutes;
            if (rule.limitMinutes) {
                for (int m = 0; m < 60; ++m) {
                    if (rule.minutes.test(size_t(m)))
                        minutes.append(m);
                }
            } else {
                minutes.append(m_start.time().minute());
            }
            const QList<int> seconds = secondsOf();
            for (int m : minutes) {
                for (int s : seconds)
                    candidates.append(hour.addSecs(m * 60 + s));
            }
        }
        if (!rule.setPositions.empty() && !candidates.isEmpty()) {
            QList<QDateTime> chosen;
            const qsizetype size = candidates.size();
            for (int position : rule.setPositions) {
                const qsizetype index = position > 0 ? position - 1 : size + position;
                if (index >= 0 && index < size && !chosen.contains(candidates[index]))
                    chosen.append(candidates[index]);
            }
            std::sort(chosen.begin(), chosen.end());
            candidates = chosen;
        }
        candidates.removeIf([this](const QDateTime &candidate) { return candidate < m_start; });
        m_pending = candidates;
        ++m_period;
    }
    return std::nullopt;
}

} // namespace RecurrenceRules
