// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/RecurrenceExpander.h"

#include <functional>
#include <vector>

// Every occurrence of every event within a window of days around now,
// expanded once and kept sorted, so that the lists' and the title's queries
// are a binary search instead of a recurrence expansion.
class OccurrenceIndex
{
public:
    // Occurrences at least this long are kept apart and scanned whole, so
    // that a search for short ones can start just before the range.
    static constexpr qint64 LongEventMs = 2LL * 24 * 3600 * 1000;

    void rebuild(qint64 fromMs, qint64 toMs, const std::vector<const ParsedFile *> &files, const QTimeZone &userZone,
        RecurrenceExpander::ExpansionBudget &budget);
    void clear();
    // Builds from occurrences already expanded (kept from an earlier run).
    void rebuildFrom(qint64 fromMs, qint64 toMs, std::vector<Occurrence> occurrences);

    // Every indexed occurrence, in no particular order.
    template<typename Visit> void forEach(Visit visit) const
    {
        for (const Occurrence &occurrence : m_short)
            visit(occurrence);
        for (const Occurrence &occurrence : m_long)
            visit(occurrence);
    }

    bool isBuilt() const { return m_built; }
    qint64 windowStartMs() const { return m_fromMs; }
    qint64 windowEndMs() const { return m_toMs; }
    bool covers(qint64 fromMs, qint64 toMs) const { return m_built && fromMs >= m_fromMs && toMs <= m_toMs; }

    void removeFile(const ParsedFile *file);
    // False when the file's rules were cut short by their time budget.
    bool addFile(const ParsedFile &file, const QTimeZone &userZone);

    // Occurrences overlapping [fromMs, toMs) that pass `accept`, ordered by
    // start. The pointers stay valid until the index changes.
    std::vector<const Occurrence *> query(
        qint64 fromMs, qint64 toMs, const std::function<bool(const ParsedFile &)> &accept) const;

    size_t size() const { return m_short.size() + m_long.size(); }

private:
    void insert(const Occurrence &occurrence);

    bool m_built = false;
    qint64 m_fromMs = 0;
    qint64 m_toMs = 0;
    std::vector<Occurrence> m_short; // sorted by start
    std::vector<Occurrence> m_long;
};

// The order every query result takes: by start, then by file and position,
// so that equal starts always come out the same way.
bool occurrenceLess(const Occurrence &a, const Occurrence &b);
