#pragma once

#include "calendar/AnyCalendarEvent.h"

#include <QAbstractListModel>
#include <QTimeZone>
#include <QtQml/qqmlregistration.h>

// Rows of an event list with every text already made; the view only lays
// them out. The clock moves with setNow, which touches only what depends on it.
class EventRowsModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the events list's view model")
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)
public:
    enum Role {
        TitleRole = Qt::UserRole + 1,
        TimeTextRole,
        RelativeTextRole,
        ColorRole,
        IsZohoRole,
        IsHappeningRole,
        EventIdRole,
        AccessibleNameRole,
    };

    explicit EventRowsModel(QObject *parent = nullptr);

    void setEvents(const QList<AnyCalendarEvent> &events, const QDateTime &now, const QTimeZone &zone);
    void setNow(const QDateTime &now);
    const QList<AnyCalendarEvent> &events() const { return m_events; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void countChanged();

private:
    QList<AnyCalendarEvent> m_events;
    QDateTime m_now;
    QTimeZone m_zone;
};
