#include "popover/EventRowsModel.h"

#include "calendar/EventFormatting.h"

#include <QLocale>

EventRowsModel::EventRowsModel(QObject *parent)
    : QAbstractListModel(parent)
{ }

void EventRowsModel::setEvents(const QList<CalendarEvent> &events, const QTimeZone &zone)
{
    beginResetModel();
    m_events = events;
    m_zone = zone;
    endResetModel();
    emit countChanged();
}

int EventRowsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_events.size());
}

QVariant EventRowsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_events.size())
        return {};
    const CalendarEvent &event = m_events[index.row()];
    switch (role) {
    case TitleRole:
        return EventFormatting::displayTitle(event);
    case TimeTextRole:
        return EventFormatting::timeText(event, m_zone);
    case DayTextRole:
        return QLocale().toString(
            event.allDay ? event.startDate : event.start.toTimeZone(m_zone).date(), QStringLiteral("ddd d MMM"));
    case ColorRole:
        return event.calendarColor.isEmpty() ? QStringLiteral("#8E8E93") : event.calendarColor;
    case EventIdRole:
        return event.id;
    default:
        return {};
    }
}

QHash<int, QByteArray> EventRowsModel::roleNames() const
{
    return {{TitleRole, "title"}, {TimeTextRole, "timeText"}, {DayTextRole, "dayText"}, {ColorRole, "calendarColor"},
        {EventIdRole, "eventId"}};
}
