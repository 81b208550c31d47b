#include "calendar/EventFormatting.h"

#include <QCoreApplication>

namespace EventFormatting {

QString timeText(const CalendarEvent &event, const QTimeZone &zone)
{
    if (event.allDay)
        return QCoreApplication::translate("EventFormatting", "All day");
    const QString format = QStringLiteral("HH:mm");
    return event.start.toTimeZone(zone).toString(format) + QChar(0x2013) + event.end.toTimeZone(zone).toString(format);
}

QString displayTitle(const CalendarEvent &event)
{
    return event.hasTitle ? event.title : QCoreApplication::translate("EventFormatting", "Untitled");
}

} // namespace EventFormatting
