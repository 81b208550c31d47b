// SPDX-License-Identifier: GPL-3.0-or-later
#include "popover/EventRowsModel.h"

#include "calendar/EventFormatting.h"
#include "calendar/MeetingLinks.h"

#include <QCoreApplication>

namespace {
// Same rows in the same order with the same texts: nothing to redraw.
bool sameRows(const QList<AnyCalendarEvent> &a, const QList<AnyCalendarEvent> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const AnyCalendarEvent &x, const AnyCalendarEvent &y) {
        return x.id == y.id && x.title == y.title && x.startDate == y.startDate && x.endDate == y.endDate
            && x.isAllDay == y.isAllDay && x.color == y.color && x.source == y.source;
    });
}
} // namespace

EventRowsModel::EventRowsModel(QObject *parent)
    : QAbstractListModel(parent)
    , m_zohoNote(QCoreApplication::translate("EventRowsModel", "Zoho Calendar"))
{ }

void EventRowsModel::setZohoNote(const QString &note)
{
    if (note == m_zohoNote)
        return;
    m_zohoNote = note;
    if (!m_events.isEmpty())
        emit dataChanged(index(0), index(int(m_events.size()) - 1), {ZohoNoteRole, AccessibleNameRole});
}

void EventRowsModel::setEvents(const QList<AnyCalendarEvent> &events, const QDateTime &now, const QTimeZone &zone)
{
    if (zone == m_zone && sameRows(events, m_events)) {
        m_events = events; // the payloads may still differ (a new occurrence object)
        setNow(now);
        return;
    }
    const bool countChanges = events.size() != m_events.size();
    beginResetModel();
    m_meetingLinks.clear();
    m_events = events;
    m_now = now;
    m_zone = zone;
    endResetModel();
    if (countChanges)
        emit countChanged();
}

void EventRowsModel::setNow(const QDateTime &now)
{
    if (now == m_now)
        return;
    m_now = now;
    if (!m_events.isEmpty())
        emit dataChanged(index(0), index(int(m_events.size()) - 1),
            {RelativeTextRole, IsHappeningRole, AccessibleNameRole, CanJoinRole});
}

QUrl EventRowsModel::joinLink(int row) const
{
    if (row < 0 || row >= m_events.size() || !m_meetingLinkOf)
        return {};
    const AnyCalendarEvent &event = m_events[row];
    const QDateTime leadStart = event.startDate.addSecs(-qint64(MeetingLinks::JoinLeadMinutes) * 60);
    if (event.isAllDay || m_now < leadStart || m_now >= event.endDate)
        return {};
    auto cached = m_meetingLinks.constFind(event.id);
    if (cached == m_meetingLinks.constEnd())
        cached = m_meetingLinks.insert(event.id, m_meetingLinkOf(event));
    return *cached;
}

int EventRowsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_events.size());
}

QVariant EventRowsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_events.size())
        return {};
    const AnyCalendarEvent &event = m_events[index.row()];
    switch (role) {
    case TitleRole:
        return event.title;
    case TimeTextRole:
        return EventFormatting::timeText(event.startDate, event.endDate, event.isAllDay, m_zone);
    case RelativeTextRole:
        return EventFormatting::relativeTimeLabel(event.startDate, event.endDate, m_now);
    case ColorRole:
        return event.color;
    case IsZohoRole:
        return event.source == Source::Zoho;
    case IsHappeningRole:
        return EventFormatting::isHappening(event.startDate, event.endDate, m_now);
    case EventIdRole:
        return event.id;
    case ZohoNoteRole:
        return event.source == Source::Zoho ? m_zohoNote : QString();
    case CanJoinRole:
        return !joinLink(index.row()).isEmpty();
    case AccessibleNameRole: {
        QStringList parts {event.title,
            EventFormatting::timeText(event.startDate, event.endDate, event.isAllDay, m_zone),
            EventFormatting::relativeTimeLabel(event.startDate, event.endDate, m_now)};
        if (event.source == Source::Zoho)
            parts.append(m_zohoNote);
        return parts.join(QStringLiteral(", "));
    }
    default:
        return {};
    }
}

QHash<int, QByteArray> EventRowsModel::roleNames() const
{
    return {{TitleRole, "title"}, {TimeTextRole, "timeText"}, {RelativeTextRole, "relativeText"},
        {ColorRole, "eventColor"}, {IsZohoRole, "isZoho"}, {IsHappeningRole, "isHappening"}, {EventIdRole, "eventId"},
        {AccessibleNameRole, "accessibleName"}, {CanJoinRole, "canJoin"}, {ZohoNoteRole, "zohoNote"}};
}
