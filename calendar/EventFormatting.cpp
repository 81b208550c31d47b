#include "calendar/EventFormatting.h"

#include <QCoreApplication>

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

QString displayTitle(const CalendarEvent &event)
{
    return event.hasTitle ? event.title : QCoreApplication::translate("EventFormatting", "Untitled");
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
            return QStringLiteral("in %1m").arg(minutes);
        if (minutes < Day)
            return QStringLiteral("in %1h").arg(minutes / Hour);
        return QStringLiteral("in %1d").arg(minutes / Day);
    }
    if (now <= end) {
        const qint64 minutes = now.secsTo(end) / 60;
        if (minutes <= 59)
            return QStringLiteral("ends in %1m").arg(minutes);
        return QStringLiteral("now");
    }
    const qint64 minutes = start.secsTo(now) / 60;
    if (minutes < Hour)
        return QStringLiteral("-%1m").arg(minutes);
    return QStringLiteral("-%1h").arg(minutes / Hour);
}

} // namespace EventFormatting
