// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>

#include <QList>

#include <memory>
#include <optional>

struct icalrecurrencetype;

// libical's rule iterator can spend minutes inside a single step: it walks
// period by period (second by second for FREQ=SECONDLY) until year 2582 when
// a rule never matches again (BYMONTH=2;BYMONTHDAY=30). These helpers decide
// up front how a rule is expanded so that no step is unbounded:
// rules that cannot match again are not iterated at all, and rules repeating
// more often than daily are iterated here, a day at a time.
namespace RecurrenceRules {

// A rule read from its text. libical hands the RSCALE name over as a copy
// the reader must free; this does.
class ParsedRule
{
public:
    explicit ParsedRule(const QByteArray &text);
    ~ParsedRule();
    ParsedRule(const ParsedRule &) = delete;
    ParsedRule &operator=(const ParsedRule &) = delete;

    icalrecurrencetype &get() { return *m_rule; }
    const icalrecurrencetype &get() const { return *m_rule; }

private:
    std::unique_ptr<icalrecurrencetype> m_rule;
};

enum class Plan : quint8 {
    Libical, // safe to hand to libical's iterator
    SubDaily, // HOURLY, MINUTELY or SECONDLY: SubDailyIterator
    NothingAfterStart, // no day after DTSTART can ever match
    TooCostlyToCheck, // the file's allowance for checking rules ran out first
};

// Days a file's rules may be checked for, all together; a file of real
// events never comes near (their rules match within days).
constexpr qint64 CheckedDaysPerFile = 2'000'000;

// How the rule is to be expanded. Checking whether any day after `start`
// can match takes from `daysAllowed`.
Plan planFor(const icalrecurrencetype &rule, QDate start, qint64 &daysAllowed);

// Whether `day` passes the rule's day-level filters (BYMONTH, BYWEEKNO,
// BYYEARDAY, BYMONTHDAY, and BYDAY with its ordinal where the frequency
// gives one a meaning: within the month or the year). Every occurrence of
// the rule falls on such a day (BYSETPOS only narrows further), so a day
// that fails here can never hold an occurrence.
bool dayPassesFilters(const icalrecurrencetype &rule, QDate day);

// The Gregorian calendar repeats every 400 years; a day-level pattern that
// matches nothing in that span never matches.
constexpr int RepeatingSpanDays = 146097;

// The occurrences of a rule with FREQ=HOURLY, MINUTELY or SECONDLY, on the
// series' wall clock, in order. Each call to `next` does bounded work: days
// that fail the day filters are skipped whole, hours and minutes likewise.
class SubDailyIterator
{
public:
    // Elementary checks allowed between two occurrences; a rule that needs
    // more (its times never line up with its interval) ends there.
    static constexpr qint64 MaxChecksPerStep = 4'000'000;

    SubDailyIterator(const icalrecurrencetype &rule, const QDateTime &start);

    // Continues from the first period at or after `wallClock` (rules without
    // COUNT only, as libical's own jump).
    void jumpTo(const QDateTime &wallClock);
    std::optional<QDateTime> next();

private:
    QDateTime periodStart(qint64 index) const;
    qint64 firstPeriodAtOrAfter(const QDateTime &wallClock) const;

    // The wall clock as a naive time line: UTC stands in for "no zone".
    QDateTime m_start;
    qint64 m_unitSeconds = 1;
    qint64 m_interval = 1;
    int m_count = 0;
    QDateTime m_until; // invalid: none
    int m_produced = 0;
    qint64 m_period = 0;
    QList<QDateTime> m_pending; // candidates of the current period, in order
    bool m_finished = false;
    QDateTime m_end; // libical's last year: nothing after it
    struct Rule;
    std::shared_ptr<const Rule> m_rule; // shared: the iterator stays cheap to copy
};

} // namespace RecurrenceRules
