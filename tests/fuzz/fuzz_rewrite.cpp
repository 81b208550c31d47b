// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the removal of events from a file as the store makes it: the input
// is the file; one occurrence of one of its series (chosen by the input's
// last byte) and then that whole series are removed. Whatever the input,
// nothing crashes, the line reader keeps every byte, and a removal that
// succeeds leaves every content line of the file as it was, in order, except
// the lines of whole VEVENTs it took out and the one EXDATE it added.
#include "../RewriteCheck.h"
#include "calendar/IcsLines.h"
#include "calendar/IcsParser.h"
#include "calendar/IcsWriter.h"
#include "calendar/RecurrenceExpander.h"

#include <QDateTime>
#include <QTimeZone>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "fuzz_rewrite: %s\n", what);
        std::abort();
    }
}

void removeAndCheck(
    const QByteArray &content, const QString &seriesKey, const QString &recurrenceKey, const QTimeZone &zone)
{
    const IcsWriter::Edit edit = IcsWriter::removeFromFile(content, seriesKey, recurrenceKey, zone);
    if (!edit.ok) {
        check(!edit.deleteFile && edit.content.isEmpty() && !edit.error.isEmpty(), "a refusal that says nothing");
        return;
    }
    if (edit.deleteFile)
        return;
    const RewriteCheck::Explanation change
        = RewriteCheck::explain(content, edit.content, recurrenceKey.isEmpty() ? 0 : 1);
    check(change.ok, "lines other than whole VEVENTs and one EXDATE changed");
    check(!change.removed.isEmpty() || !change.added.isEmpty(), "a removal that changed nothing");
    // What is left is read again as the store would.
    IcsParser::parse(QStringLiteral("/fuzz/event.ics"), QStringLiteral("fuzz"), edit.content);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QTimeZone zone("Europe/Berlin");
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));

    const IcsLines::Document document(content);
    QByteArray again;
    for (const IcsLines::Line &line : document.lines())
        again += QByteArrayView(content).sliced(line.begin, line.end - line.begin);
    check(again == content, "the lines do not add up to the text");

    const ParsedFile file = IcsParser::parse(QStringLiteral("/fuzz/event.ics"), QStringLiteral("fuzz"), content);
    if (file.series().empty())
        return 0;
    const quint32 index = size > 0 ? data[size - 1] % file.series().size() : 0;
    const EventSeries &series = file.series()[index];

    // The series' occurrences over a few weeks from its start.
    const EventRecord &first = series.hasMaster ? series.master : series.overrides.front();
    const qint64 from = first.start.toMSecs(zone) - 86400000;
    RecurrenceExpander::ExpansionBudget budget(200);
    std::vector<Occurrence> occurrences;
    RecurrenceExpander::expandFile(file, from, from + qint64(45) * 86400000, zone, occurrences, budget);
    QString recurrenceKey;
    for (const Occurrence &occurrence : occurrences) {
        if (occurrence.seriesIndex == index) {
            recurrenceKey = RecurrenceExpander::recurrenceKeyOfOccurrence(occurrence, zone);
            if (!recurrenceKey.isEmpty())
                break;
        }
    }
    if (!recurrenceKey.isEmpty())
        removeAndCheck(content, series.key, recurrenceKey, zone);
    // An override's original time, which the window may not hold.
    if (!series.overrides.empty())
        removeAndCheck(
            content, series.key, RecurrenceExpander::recurrenceKey(series.overrides.front().recurrenceId, zone), zone);
    removeAndCheck(content, series.key, {}, zone);
    return 0;
}
