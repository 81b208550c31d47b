// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the iCalendar reader as the store uses it: parse a file, expand its
// events over a few weeks, name each occurrence, and remove one of them.
#include "calendar/IcsParser.h"
#include "calendar/IcsWriter.h"
#include "calendar/RecurrenceExpander.h"

#include <QDateTime>
#include <QTimeZone>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QTimeZone zone("Europe/Berlin");
    static const qint64 from = QDateTime(QDate(2026, 3, 1), QTime(0, 0), zone).toMSecsSinceEpoch();
    static const qint64 to = QDateTime(QDate(2026, 4, 15), QTime(0, 0), zone).toMSecsSinceEpoch();

    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    const ParsedFile file = IcsParser::parse(QStringLiteral("/fuzz/event.ics"), QStringLiteral("fuzz"), content);
    RecurrenceExpander::ExpansionBudget budget(200);
    std::vector<Occurrence> occurrences;
    RecurrenceExpander::expandFile(file, from, to, zone, occurrences, budget);
    QString firstKey;
    for (const Occurrence &occurrence : occurrences) {
        const QString key = RecurrenceExpander::recurrenceKeyOfOccurrence(occurrence, zone);
        if (firstKey.isEmpty())
            firstKey = key;
    }
    if (!occurrences.empty())
        IcsWriter::removeFromFile(content, occurrences.front().series().key, firstKey, zone);
    return 0;
}
