// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/OccurrenceIndex.h"

#include "calendar/CalendarTypes.h"

#include <algorithm>

bool occurrenceLess(const Occurrence &a, const Occurrence &b)
{
    if (a.startMs != b.startMs)
        return a.startMs < b.startMs;
    if (a.file != b.file)
        return a.file->pathUtf8 < b.file->pathUtf8;
    if (a.seriesIndex != b.seriesIndex)
        return a.seriesIndex < b.seriesIndex;
    return a.overrideIndex < b.overrideIndex;
}

namespace {
bool startsBefore(const Occurrence &a, const Occurrence &b)
{
    return a.startMs < b.startMs;
}
} // namespace

void OccurrenceIndex::clear()
{
    m_built = false;
    m_short.clear();
    m_long.clear();
}

void OccurrenceIndex::rebuild(qint64 fromMs, qint64 toMs, const std::vector<const ParsedFile *> &files,
    const QTimeZone &userZone, RecurrenceExpander::ExpansionBudget &budget)
{
    std::vector<Occurrence> all;
    for (const ParsedFile *file : files)
        RecurrenceExpander::expandFile(*file, fromMs, toMs, userZone, all, budget);
    rebuildFrom(fromMs, toMs, std::move(all));
}

void OccurrenceIndex::rebuildFrom(qint64 fromMs, qint64 toMs, std::vector<Occurrence> occurrences)
{
    clear();
    m_fromMs = fromMs;
    m_toMs = toMs;
    for (Occurrence &occurrence : occurrences)
        (occurrence.endMs - occurrence.startMs >= LongEventMs ? m_long : m_short).push_back(std::move(occurrence));
    std::sort(m_short.begin(), m_short.end(), startsBefore);
    m_built = true;
}

void OccurrenceIndex::insert(const Occurrence &occurrence)
{
    if (occurrence.endMs - occurrence.startMs >= LongEventMs) {
        m_long.push_back(occurrence);
        return;
    }
    m_short.insert(std::upper_bound(m_short.begin(), m_short.end(), occurrence, startsBefore), occurrence);
}

void OccurrenceIndex::removeFile(const ParsedFile *file)
{
    auto ofFile = [file](const Occurrence &occurrence) { return occurrence.file == file; };
    std::erase_if(m_short, ofFile);
    std::erase_if(m_long, ofFile);
}

bool OccurrenceIndex::addFile(const ParsedFile &file, const QTimeZone &userZone)
{
    if (!m_built)
        return true;
    std::vector<Occurrence> added;
    const bool complete = RecurrenceExpander::expandFile(file, m_fromMs, m_toMs, userZone, added);
    for (const Occurrence &occurrence : added)
        insert(occurrence);
    return complete;
}

std::vector<const Occurrence *> OccurrenceIndex::query(
    qint64 fromMs, qint64 toMs, const std::function<bool(const ParsedFile &)> &accept) const
{
    std::vector<const Occurrence *> result;
    Occurrence probe;
    probe.startMs = fromMs - LongEventMs;
    for (auto it = std::lower_bound(m_short.begin(), m_short.end(), probe, startsBefore);
         it != m_short.end() && it->startMs < toMs; ++it) {
        if (overlapsRange(it->startMs, it->endMs, fromMs, toMs) && accept(*it->file))
            result.push_back(&*it);
    }
    for (const Occurrence &occurrence : m_long) {
        if (overlapsRange(occurrence.startMs, occurrence.endMs, fromMs, toMs) && accept(*occurrence.file))
            result.push_back(&occurrence);
    }
    std::sort(
        result.begin(), result.end(), [](const Occurrence *a, const Occurrence *b) { return occurrenceLess(*a, *b); });
    return result;
}
