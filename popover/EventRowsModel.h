#pragma once

#include "calendar/CalendarTypes.h"

#include <QAbstractListModel>
#include <QTimeZone>
#include <QtQml/qqmlregistration.h>

// Rows of an event list, with every text already made: the view only lays
// them out.
class EventRowsModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the popover's view model")
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)
public:
    enum Role { TitleRole = Qt::UserRole + 1, TimeTextRole, DayTextRole, ColorRole, EventIdRole };

    explicit EventRowsModel(QObject *parent = nullptr);

    void setEvents(const QList<CalendarEvent> &events, const QTimeZone &zone);
    const QList<CalendarEvent> &events() const { return m_events; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void countChanged();

private:
    QList<CalendarEvent> m_events;
    QTimeZone m_zone;
};
