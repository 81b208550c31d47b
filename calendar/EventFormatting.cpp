// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/EventFormatting.h"

#include <QCoreApplication>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cstring>

namespace EventFormatting {

QString timeText(const CalendarEvent &event, const QTimeZone &zone)
{
    return timeText(event.start, event.end, event.allDay, zone);
}

QString timeText(const QDateTime &start, const QDateTime &end, bool allDay, const QTimeZone &zone)
{
    if (allDay)
        return QCoreApplication::translate("EventFormatting", "All day");
    const QString format = QStringLiteral("HH:mm");
    return start.toTimeZone(zone).toString(format) + QChar(0x2013) + end.toTimeZone(zone).toString(format);
}

bool isLineBreakingOrControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

QString oneLineTitle(const QString &whole)
{
    QStringView title = whole;
    constexpr qsizetype ScannedUnits = ScannedTitleUnits;
    bool cut = false;
    if (title.size() > ScannedUnits) {
        qsizetype keep = ScannedUnits;
        if (title[keep - 1].isHighSurrogate())
            --keep;
        title = title.first(keep);
        cut = true;
    }

    const bool clean = std::none_of(
        title.begin(), title.end(), [](QChar c) { return isLineBreakingOrControl(char32_t(c.unicode())); });
    QString result;
    if (clean && !cut && title.size() <= MaxTitleCharacters)
        return whole; // the usual title, shared
    if (clean) {
        result = title.toString();
    } else {
        result.reserve(title.size());
        // A run of white space that holds a control character becomes one
        // space, or nothing at either end.
        qsizetype runStart = -1;
        bool runHasControl = false;
        auto endRun = [&](qsizetype at) {
            if (runStart < 0)
                return;
            if (!runHasControl)
                result += title.sliced(runStart, at - runStart);
            else if (runStart > 0 && at < title.size())
                result += QLatin1Char(' ');
            runStart = -1;
            runHasControl = false;
        };
        for (qsizetype i = 0; i < title.size(); ++i) {
            const QChar c = title[i];
            const bool control = isLineBreakingOrControl(char32_t(c.unicode()));
            if (control || c.isSpace()) {
                if (runStart < 0)
                    runStart = i;
                runHasControl = runHasControl || control;
                continue;
            }
            endRun(i);
            result += c;
        }
        endRun(title.size());
    }

    // Short titles are short in characters too: a code unit is at most one.
    if (result.size() > MaxTitleCharacters) {
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, result);
        qsizetype count = 0;
        qsizetype position = 0;
        while (count < MaxTitleCharacters && (position = finder.toNextBoundary()) != -1)
            ++count;
        if (count == MaxTitleCharacters && position < result.size()) {
            result.truncate(position);
            cut = true;
        }
    }
    if (cut) {
        while (!result.isEmpty() && result.back().isSpace())
            result.chop(1);
        result += QChar(0x2026);
    }
    return result;
}

QString oneLineTitleFromUtf8(const char *text)
{
    if (!text)
        return {};
    // Four bytes make at least two code units: a longer text still decodes
    // to more than is scanned, and is cut as a whole one would be.
    constexpr qsizetype DecodedBytes = 4 * ScannedTitleUnits;
    const qsizetype length = qsizetype(std::strlen(text));
    return oneLineTitle(QString::fromUtf8(text, qMin(length, DecodedBytes)));
}

QString displayTitle(const CalendarEvent &event)
{
    return event.hasTitle ? oneLineTitle(event.title) : QCoreApplication::translate("EventFormatting", "Untitled");
}

bool isHappening(const QDateTime &start, const QDateTime &end, const QDateTime &now)
{
    return start <= now && now <= end;
}

QString relativeTimeLabel(const QDateTime &start, const QDateTime &end, const QDateTime &now)
{
    constexpr qint64 Hour = 60;
    constexpr qint64 Day = 1440;
    if (now < start) {
        const qint64 minutes = now.secsTo(start) / 60;
        if (minutes < Hour)
            return QCoreApplication::translate("EventFormatting", "in %1m", "minutes until the start").arg(minutes);
        if (minutes < Day)
            return QCoreApplication::translate("EventFormatting", "in %1h", "hours until the start")
                .arg(minutes / Hour);
        return QCoreApplication::translate("EventFormatting", "in %1d", "days until the start").arg(minutes / Day);
    }
    if (now <= end) {
        const qint64 minutes = now.secsTo(end) / 60;
        if (minutes <= 59)
            return QCoreApplication::translate("EventFormatting", "ends in %1m", "minutes until the end").arg(minutes);
        return QCoreApplication::translate("EventFormatting", "now", "an event under way");
    }
    const qint64 minutes = start.secsTo(now) / 60;
    if (minutes < Hour)
        return QCoreApplication::translate(
            "EventFormatting", "-%1m", "minutes since the start of an event that is over")
            .arg(minutes);
    return QCoreApplication::translate("EventFormatting", "-%1h", "hours since the start of an event that is over")
        .arg(minutes / Hour);
}

} // namespace EventFormatting
